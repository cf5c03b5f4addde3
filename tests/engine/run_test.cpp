// Whole runs: sources that fail, vanish or shrink, and a host that changes
// settings or stops the rip between lines.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "rip.h"
#include "testutil.h"

namespace kolvane {
namespace {

using Lines = std::vector<std::string>;

struct ScriptedHost : RipHost {
    Settings current;
    std::chrono::milliseconds interval{0};
    std::function<bool(int pump, const Progress&)> onPump;
    int pumps = 0;

    Settings settings() override { return current; }
    bool pump(const Progress& progress) override {
        ++pumps;
        return onPump ? onPump(pumps, progress) : true;
    }
    std::chrono::milliseconds pumpInterval() const override { return interval; }
};

// A ripper with its state, result list and a real appending opener.
struct Rig {
    RipState state;
    ResultStore store;
    FileOpener opener;
    Ripper ripper{state, store, opener, "\n"};
    ScriptedHost host;

    Rig(std::string fields, bool toFile = false, std::string outfile = {}) {
        host.current.fields = std::move(fields);
        host.current.toFile = toFile;
        state.Outfile = std::move(outfile);
        ripper.prepare(host.current);
    }
    RunResult run(ByteSource& source) { return ripper.run(source, "src.txt", host); }
};

std::string joinLines(const Lines& lines, std::size_t from, std::size_t to) {
    std::string text;
    for (std::size_t i = from; i < to; ++i) text += lines[i] + "\n";
    return text;
}

struct ReadFault {
    const char* name;
    std::string text;
    std::size_t failAt;
    std::int64_t wantLine;
    Lines want;
};

TEST(Run, ReadFailureStopsWithFileAndLineAndKeepsEarlierResults) {
    const ReadFault faults[] = {
        {"AtStart", "a|1\nb|2\nc|3\n", 0, 1, {}},
        {"MidSecondLine", "a|1\nb|2\nc|3\n", 5, 2, {"1"}},
        {"AfterSecondLine", "a|1\nb|2\nc|3\n", 8, 3, {"1", "2"}},
        {"BeforeLastTerminator", "a|1\nb|2\nc|3\n", 11, 3, {"1", "2"}},
        {"AfterCrThatMayStartCrLf", "a|1\rb|2\r", 4, 1, {}},
    };
    for (const auto& f : faults) {
        for (bool toFile : {false, true}) {
            test::TempDir dir;
            Rig rig("2", toFile, dir.path("out.txt"));
            test::StringSource source(f.text, 3, f.failAt);
            RunResult result = rig.run(source);
            ASSERT_TRUE(result.error) << f.name;
            EXPECT_EQ(result.error->message(), "Cannot read src.txt at line " +
                                                   std::to_string(f.wantLine) +
                                                   ": Input/output error")
                << f.name;
            EXPECT_EQ(rig.state.Ripcount, static_cast<std::int64_t>(f.want.size())) << f.name;
            if (toFile) {
                EXPECT_EQ(test::readFile(dir.path("out.txt")), joinLines(f.want, 0, f.want.size()))
                    << f.name;
            } else {
                EXPECT_EQ(test::items(rig.store), f.want) << f.name;
            }
        }
    }
}

TEST(Run, SourcesThatCannotBeOpened) {
    test::TempDir dir;
    const std::string missing = dir.path("missing.txt");
    const std::string folder = dir.root().string();
    const struct {
        std::string path;
        std::string message;
    } rows[] = {
        {missing, "Cannot open " + missing + ": No such file or directory"},
        {folder, "Cannot read " + folder + ": Is a directory"},
        {"", "Cannot read: no source file given"},
    };
    for (const auto& row : rows) {
        auto source = FileSource::open(row.path);
        ASSERT_FALSE(source) << row.path;
        EXPECT_EQ(source.error().message(), row.message);
    }
}

TEST(Run, SourceThatShrinksWhileRead) {
    test::TempDir dir;
    const std::string path = dir.path("src.txt");
    std::string text, firstForty;
    for (int i = 1; i <= 100; ++i) {
        text += "line" + std::to_string(i) + "|" + std::to_string(i) + "\n";
        if (i == 40) firstForty = text;
    }
    test::writeFile(path, text);
    auto source = FileSource::open(path);
    ASSERT_TRUE(source);
    std::filesystem::resize_file(path, firstForty.size());
    Rig rig("2");
    RunResult result = rig.run(**source);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->message(),
              "Cannot read src.txt at line 41: the file became shorter while it was read");
    EXPECT_EQ(rig.store.size(), 40u);
    EXPECT_EQ(rig.store.at(39), "40");
}

TEST(Run, OutputIntoItsOwnSourceEnds) {
    test::TempDir dir;
    const std::string path = dir.path("src.txt");
    test::writeFile(path, "a|1\nb|2\n");
    auto source = FileSource::open(path);
    ASSERT_TRUE(source);
    Rig rig("2", true, path);
    EXPECT_FALSE(rig.ripper.run(**source, path, rig.host).error);
    EXPECT_EQ(test::readFile(path), "a|1\nb|2\n1\n2\n");
}

TEST(Run, BytesRoundTripThroughFiles) {
    using namespace std::string_literals;
    test::TempDir dir;
    test::writeFile(dir.path("src.txt"), "\xe9t\xe9|\0\xff\r\n\xc3(|x\x80\n|\0"s);
    auto source = FileSource::open(dir.path("src.txt"));
    ASSERT_TRUE(source);
    Rig rig("2,1", true, dir.path("out.txt"));
    rig.host.current.join = "\xa6";
    ASSERT_FALSE(rig.run(**source).error);
    EXPECT_EQ(test::readFile(dir.path("out.txt")),
              "\0\xff\xa6\xe9t\xe9\nx\x80\xa6\xc3(\n\0\xa6\n"s);
}

// Enough lines for the host to be asked to pump a dozen times, from a source
// whose reads let the host's 1 ms interval pass.
struct PumpedRun {
    Lines lines;
    test::StringSource source;

    PumpedRun()
        : lines(makeLines()), source(joinLines(lines, 0, lines.size()), 16 << 10, {}, true) {}
    static Lines makeLines() {
        Lines lines;
        for (int i = 1; i <= 20000; ++i) lines.push_back("k" + std::to_string(i));
        return lines;
    }
};

TEST(Run, PumpReturningFalseStopsBetweenLinesAndFlushes) {
    test::TempDir dir;
    PumpedRun input;
    Rig rig("1", true, dir.path("out.txt"));
    rig.host.interval = std::chrono::milliseconds(1);
    std::int64_t countAtStop = -1;
    rig.host.onPump = [&](int pump, const Progress& progress) {
        countAtStop = progress.ripcount;
        return pump < 3;
    };
    RunResult result = rig.run(input.source);
    EXPECT_FALSE(result.error);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(rig.host.pumps, 3);
    ASSERT_GT(countAtStop, 0);
    ASSERT_LT(countAtStop, 20000);
    EXPECT_EQ(rig.state.Ripcount, countAtStop);
    EXPECT_EQ(test::readFile(dir.path("out.txt")),
              joinLines(input.lines, 0, static_cast<std::size_t>(countAtStop)));
}

TEST(Run, SettingsChangedInPumpApplyFromTheNextLine) {
    PumpedRun input;
    Rig rig("1,1");
    rig.host.interval = std::chrono::milliseconds(1);
    std::size_t switchedAt = 0;
    rig.host.onPump = [&](int pump, const Progress& progress) {
        if (pump == 2) {
            switchedAt = static_cast<std::size_t>(progress.ripcount);
            rig.host.current.join = "-";
            rig.host.current.fields = "5";  // the field list is parsed once per rip
        }
        return true;
    };
    ASSERT_FALSE(rig.run(input.source).error);
    ASSERT_GT(rig.host.pumps, 2);
    ASSERT_EQ(rig.store.size(), input.lines.size());
    for (std::size_t i = 0; i < input.lines.size(); ++i) {
        const std::string& k = input.lines[i];
        ASSERT_EQ(rig.store.at(i), k + (i < switchedAt ? ":" : "-") + k) << i;
    }
}

TEST(Run, OutfileSwitchedMidRun) {
    test::TempDir dir;
    const std::string first = dir.path("first.txt"), second = dir.path("second.txt");
    test::writeFile(first, "old\r\n");
    PumpedRun input;
    Rig rig("1", true, first);
    rig.host.interval = std::chrono::milliseconds(1);
    std::size_t switchedAt = 0;
    rig.host.onPump = [&](int pump, const Progress& progress) {
        if (pump == 1) {
            switchedAt = static_cast<std::size_t>(progress.ripcount);
            rig.state.Outfile = second;
        }
        return true;
    };
    ASSERT_FALSE(rig.run(input.source).error);
    ASSERT_GT(switchedAt, 0u);
    EXPECT_EQ(rig.state.Ripcount, 20000);
    EXPECT_EQ(test::readFile(first), "old\r\n" + joinLines(input.lines, 0, switchedAt));
    EXPECT_EQ(test::readFile(second), joinLines(input.lines, switchedAt, input.lines.size()));
}

}  // namespace
}  // namespace kolvane
