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

// Rips `fields` into the list, or into `outfile` with LF line ends.
struct RunRig : test::Rig {
    explicit RunRig(std::string fields, std::string outfile = {}) : Rig("\n") {
        host.current = {.fields = std::move(fields), .toFile = !outfile.empty()};
        state.Outfile = std::move(outfile);
    }
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
            RunRig rig("2", toFile ? dir.path("out.txt") : "");
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
    RunRig rig("2");
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
    RunRig rig("2", path);
    EXPECT_FALSE(rig.run(**source).error);
    EXPECT_EQ(test::readFile(path), "a|1\nb|2\n1\n2\n");
}

// Rips the lines "k1" to "k20000" from a source whose every read lets the
// host's 1 ms pump interval pass, so the host is asked to pump a dozen times.
// `onPump` gets the pump's number and the count of lines emitted before it.
RunResult pumpedRun(RunRig& rig, Lines& lines, std::function<bool(int, std::size_t)> onPump) {
    for (int i = 1; i <= 20000; ++i) lines.push_back(std::string("k").append(std::to_string(i)));
    test::StringSource source(joinLines(lines, 0, lines.size()), 16 << 10, {}, true);
    rig.host.interval = std::chrono::milliseconds(1);
    rig.host.onPump = [&](int pump, const Progress& progress) {
        return onPump(pump, static_cast<std::size_t>(progress.ripcount));
    };
    return rig.run(source);
}

TEST(Run, PumpReturningFalseStopsBetweenLinesAndFlushes) {
    test::TempDir dir;
    RunRig rig("1", dir.path("out.txt"));
    Lines lines;
    std::size_t emitted = 0;
    RunResult result = pumpedRun(rig, lines, [&](int pump, std::size_t count) {
        emitted = count;
        return pump < 3;
    });
    EXPECT_FALSE(result.error);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(rig.host.pumps, 3);
    ASSERT_GT(emitted, 0u);
    EXPECT_EQ(rig.state.Ripcount, static_cast<std::int64_t>(emitted));
    EXPECT_EQ(test::readFile(dir.path("out.txt")), joinLines(lines, 0, emitted));
}

TEST(Run, SettingsChangedInPumpApplyFromTheNextLine) {
    RunRig rig("1,1");
    Lines lines;
    std::size_t switched = 0;
    ASSERT_FALSE(pumpedRun(rig, lines, [&](int pump, std::size_t count) {
                     if (pump != 2) return true;
                     switched = count;
                     rig.host.current.join = "-";
                     rig.host.current.fields = "5";  // the field list is parsed once per rip
                     return true;
                 }).error);
    ASSERT_GT(switched, 0u);
    ASSERT_EQ(rig.store.size(), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(rig.store.at(i), lines[i] + (i < switched ? ":" : "-") + lines[i]) << i;
    }
}

TEST(Run, OutfileSwitchedMidRun) {
    test::TempDir dir;
    const std::string first = dir.path("first.txt"), second = dir.path("second.txt");
    test::writeFile(first, "old\r\n");
    RunRig rig("1", first);
    Lines lines;
    std::size_t switched = 0;
    ASSERT_FALSE(pumpedRun(rig, lines, [&](int pump, std::size_t count) {
                     if (pump == 1) rig.state.Outfile = second;
                     if (pump == 1) switched = count;
                     return true;
                 }).error);
    ASSERT_GT(switched, 0u);
    EXPECT_EQ(rig.state.Ripcount, 20000);
    EXPECT_EQ(test::readFile(first), "old\r\n" + joinLines(lines, 0, switched));
    EXPECT_EQ(test::readFile(second), joinLines(lines, switched, lines.size()));
}

}  // namespace
}  // namespace kolvane
