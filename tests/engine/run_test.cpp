// Whole runs: where result lines go (the result list, an appended output file),
// sources and writers that fail half way, and a host that changes settings or
// stops the rip between lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testutil.h"
#include "windowripper.h"

namespace kolvane {
namespace {

using Lines = std::vector<std::string>;

std::string joinLines(const Lines& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

TEST(ResultStore, ItemsRoundTripAcrossChunks) {
    // Every kind of gap at a chunk's end, empty items at the start and end of
    // chunks, and items bigger than a whole chunk of 1 MiB.
    Lines want;
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < 5000; ++i) {
        std::size_t size = i % 97 == 0 ? 0 : (i * 7919) % 1500;
        if (i == 1000 || i == 1001 || i == 3000) size = i == 3000 ? 3 << 20 : (1 << 20) + 13;
        want.emplace_back(size, static_cast<char>(i % 251));
        bytes += size;
    }
    ResultStore store;
    // The second round hands items over as a rip does, many at a time.
    for (int round = 0; round < 2; ++round) {
        std::string batch;
        std::vector<LineEnd> ends;
        for (std::size_t i = 0; i < want.size(); ++i) {
            if (round == 0) {
                store.append(want[i]);
                continue;
            }
            batch += want[i];
            ends.push_back({batch.size(), 1});
            if (i % 7 == 6 || i + 1 == want.size()) {
                store.commitLines(batch, ends, 0);
                ends.clear();
                EXPECT_TRUE(batch.empty());
            }
        }
        ASSERT_EQ(store.size(), want.size());
        EXPECT_EQ(store.bytes(), bytes);
        EXPECT_TRUE(test::items(store) == want);
        store.clear();
    }
}

// A long line's result stays in the buffer it was built in, room and all:
// copying a result of a gigabyte stalled the window's thread for a second.
TEST(ResultStore, LongResultIsKeptWhereItWasBuilt) {
    ResultStore store;
    std::string result(std::size_t{5} << 20, 'x');
    result.reserve(std::size_t{16} << 20);
    const char* const built = result.data();
    const LineEnd end{result.size(), 1};
    store.commitLines(result, {&end, 1}, 0);
    EXPECT_EQ(store.at(0).data(), built);
    EXPECT_EQ(store.at(0).size(), std::size_t{5} << 20);
}

// Runs of `lines` lines of `length` bytes each before the CR LF, onto a disk
// that takes `budget` bytes, and after a reopen takes the rest or nothing:
// the file ends on a whole line and holds exactly the count of them.
struct DiskFullCase {
    const char* name;
    std::size_t lines, length, budget;
    bool retryWorks;
};

TEST(DiskFull, FileEndsOnAWholeLineAndCountMatchesIt) {
    const DiskFullCase cases[] = {
        {"MidFirstLine", 100, 10, 5, false},
        {"OnALineEnd", 100, 10, 12 * 40, false},
        // 1024 lines of 256 bytes fill the write buffer exactly, so the line that
        // fills it goes out in the same write as the others.
        {"BufferFilledExactly", 3000, 254, 1000, false},
        {"LineLongerThanBuffer", 3, 300000, 450000, false},
        {"RetrySucceeds", 60000, 10, 300001, true},
        {"RetrySucceedsOnLongLine", 3, 300000, 100, true},
    };
    for (const DiskFullCase& c : cases) {
        test::TempDir dir;
        const std::string out = dir.path("out.txt"), earlier = "from an earlier run\r\n";
        test::writeFile(out, earlier);
        test::Rig rig;
        rig.opener.budgets = {c.budget, c.retryWorks ? SIZE_MAX : 0};
        std::string source, results;
        for (std::size_t i = 1; i <= c.lines; ++i) {
            std::string line = std::to_string(i);
            line.resize(c.length, 'x');
            source += line + "\n";
            results += line + "\r\n";
        }
        RunResult result = rig.into("1", out).run(source);
        EXPECT_EQ(rig.opener.opens, 2u) << c.name;  // one retry, appending to the same file
        const auto kept = static_cast<std::size_t>(rig.ripper.ripcount());
        EXPECT_EQ(test::readFile(out), earlier + results.substr(0, kept * (c.length + 2)))
            << c.name;
        EXPECT_EQ(kept == c.lines, c.retryWorks) << c.name;
        EXPECT_EQ(result.error ? result.error->message() : "",
                  c.retryWorks ? ""
                               : "Cannot write " + out + " at line " + std::to_string(kept + 1) +
                                     ": No space left on device")
            << c.name;
    }
}

TEST(Run, ReadFailureStopsWithFileAndLineAndKeepsEarlierResults) {
    const std::tuple<std::string, std::size_t, int, std::string> faults[] = {
        {"a|1\nb|2\nc|3\n", 0, 1, ""},
        {"a|1\nb|2\nc|3\n", 5, 2, "1\n"},
        {"a|1\nb|2\nc|3\n", 8, 3, "1\n2\n"},
        {"a|1\nb|2\nc|3\n", 11, 3, "1\n2\n"},
        {"a|1\rb|2\r", 4, 1, ""},  // the CR might have started a CR LF
    };
    for (const auto& [text, failAt, line, want] : faults) {
        for (bool toFile : {false, true}) {
            test::TempDir dir;
            test::Rig rig("\n");
            rig.into("2", toFile ? std::optional(dir.path("out.txt")) : std::nullopt);
            test::StringSource source(text, 3, failAt);
            RunResult result = rig.run(source);
            ASSERT_TRUE(result.error) << failAt;
            EXPECT_EQ(result.error->message(), "Cannot read src.txt at line " +
                                                   std::to_string(line) + ": Input/output error");
            EXPECT_EQ(toFile ? test::readFile(rig.to.path) : joinLines(test::items(rig.store)),
                      want);
            EXPECT_EQ(rig.ripper.ripcount(), std::count(want.begin(), want.end(), '\n'));
        }
    }
}

// Another program appends to the output between our failed write and the
// cut back: cutting would take its line with ours, so the file stays as it
// is, nothing is retried, and the error says why its end holds part of a line.
TEST(OutputFile, NeverCutsWhatAnotherWriterAppended) {
    test::TempDir dir;
    const std::string out = dir.path("out.txt");
    test::Rig rig;
    rig.opener.budgets = {6};
    rig.opener.onFull = [&] { std::ofstream(out, std::ios::app) << "other\r\n"; };
    RunResult result = rig.into("1", out).run("abc\ndef\n");
    EXPECT_EQ(test::readFile(out), "abc\r\ndother\r\n");
    EXPECT_EQ(rig.opener.opens, 1u);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->message(),
              "Cannot write " + out +
                  " at line 2: No space left on device (the file's end moved while it was "
                  "written, so it was left as it is)");
}

TEST(OutputFile, FailedCloseIsAnError) {
    test::TempDir dir;
    test::Rig rig;
    rig.opener.closeError = EIO;
    RunResult result = rig.into("1", dir.path("out.txt")).run("a\n");
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->message(),
              "Cannot write " + dir.path("out.txt") + ": Input/output error");
}

// Each field names the next one twice: replacing field by field doubles the
// line every time, until the bound stops it. What came before stays.
TEST(Run, TemplateThatGrowsWithoutBoundStopsWithAnError) {
    std::string bomb = "[2][2]";
    for (int i = 2; i <= 40; ++i)
        bomb += "|[" + std::to_string(i + 1) + "][" + std::to_string(i + 1) + "]";
    test::Rig rig("\r\n", test::kNoPumps, 1 << 20);
    rig.current = {.fields = "[1]", .templateMode = true};
    RunResult result = rig.run("ok\n" + bomb + "\n");
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->message(),
              "Cannot rip src.txt at line 2: the result line would pass 1 MiB");
    EXPECT_EQ(test::items(rig.store), std::vector<std::string>{"ok"});
}

// The bound is on what a result adds to its line: -f 1 of a long line is fine.
TEST(Run, ResultMayBeAsLongAsItsLine) {
    test::Rig rig("\n", test::kNoPumps, 8);
    EXPECT_FALSE(rig.into("1").run("0123456789abcdef|x\n").error);
    EXPECT_EQ(test::items(rig.store), std::vector<std::string>{"0123456789abcdef"});
    EXPECT_TRUE(rig.into("1,1").run("0123456789abcdef|x\n").error);
    // Exactly as long as its line is still within the bound.
    EXPECT_FALSE(rig.into("1,2").run("0123456789abcdef|x\n").error);
    EXPECT_EQ(test::items(rig.store), std::vector<std::string>{"0123456789abcdef:x"});
}

// A quote in the split string of a quoted rip reads records no way at all:
// refused at the start, and ignored when typed in the middle of a rip (below).
TEST(Run, QuoteInTheSplitStringOfAQuotedRipIsRefused) {
    test::Rig rig;
    rig.current = {.split = ",\"", .fields = "1", .quoted = true};
    const RunResult result = rig.run("\"a\",\"b\"\n");
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->message(),
              "Cannot rip src.txt: in quoted mode the split string cannot hold a double quote");
    EXPECT_TRUE(rig.store.empty());
}

// A window's one ripper takes quoted mode after plain rips, which sized its
// index without the quote map.
TEST(Run, QuotedRipAfterAPlainOne) {
    test::Rig rig("\n");
    const std::string line = "1|\"b|c\"|d\n";
    rig.into("2").run(line);
    rig.current.quoted = true;
    EXPECT_FALSE(rig.run(line).error);
    EXPECT_EQ(test::items(rig.store), std::vector<std::string>{"b|c"});
}

TEST(Run, NoSourceFileGiven) {
    auto source = FileSource::open("");
    ASSERT_FALSE(source);
    EXPECT_EQ(source.error().message(), "Cannot read: no source file given");
}

TEST(Run, SourceThatShrinksWhileRead) {
    test::TempDir dir;
    const std::string path = dir.path("src.txt");
    std::string text;
    for (int i = 1; i <= 100; ++i) text += std::to_string(i) + "\n";
    test::writeFile(path, text);
    auto source = FileSource::open(path);
    ASSERT_TRUE(source);
    std::filesystem::resize_file(path, text.find("\n41\n") + 1);
    test::Rig rig;
    RunResult result = rig.into("1").run(**source);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->message(),
              "Cannot read src.txt at line 41: the file became shorter while it was read");
    EXPECT_EQ(rig.store.size(), 40u);
}

// Lines 1 to 20000, under a clock that moves 1 ms each time it is read and a
// 3 ms pump interval, so the host is asked to pump every few lines. At the second pump
// the output file, the join and the field list change; the third stops the rip.
// Only the list is parsed once per rip: the rest applies from the next line on,
// and what went to each file is flushed there.
TEST(Run, PumpChangesSettingsAndStopsBetweenLines) {
    test::TempDir dir;
    const std::string first = dir.path("first.txt"), second = dir.path("second.txt");
    test::writeFile(first, "old\n");
    auto tick = std::chrono::steady_clock::time_point{};
    test::Rig rig("\n", PumpPolicy{std::chrono::milliseconds(3), 0,
                                   [&] { return tick += std::chrono::milliseconds(1); }});
    rig.into("1,1", first);
    std::string text;
    for (int i = 1; i <= 20000; ++i) text += std::to_string(i) + "\n";
    test::StringSource source(text, 16 << 10);
    int switched = 0, stopped = 0;
    rig.onPump = [&](int pump, const Progress& progress) {
        (pump == 2 ? switched : stopped) = static_cast<int>(progress.ripcount);
        if (pump == 2) {
            rig.to.path = second;
            rig.current.join = "-";
            rig.current.fields = "5";
        }
        return pump < 3;
    };
    RunResult result = rig.run(source);
    EXPECT_TRUE(result.stopped && !result.error);
    EXPECT_EQ(rig.pumps, 3);
    ASSERT_GT(switched, 0);
    ASSERT_GT(stopped, switched);
    EXPECT_EQ(rig.ripper.ripcount(), stopped);
    std::string before = "old\n", after;
    for (int i = 1; i <= stopped; ++i) {
        const std::string n = std::to_string(i);
        (i <= switched ? before : after) += n + (i <= switched ? ":" : "-") + n + "\n";
    }
    EXPECT_EQ(test::readFile(first), before);
    EXPECT_EQ(test::readFile(second), after);
}

// Quoting turned on, and then the split string changed, in the middle of a
// rip: each applies from the next record on, also inside a block the reader
// cut by the old rules; a split string quoted mode cannot read is ignored. Once the reader kept its
// first rules, and records were cut wrongly.
TEST(Run, QuotingAndSplitChangedMidRipApplyFromTheNextRecord) {
    std::string text;
    for (int i = 0; i < 60000; ++i) text += std::to_string(i) + ",\"a\nb;c\",x\n";
    test::Rig rig("\n", PumpPolicy{std::chrono::milliseconds(0), 16 << 10});
    rig.current = {.split = ",", .fields = "3,1"};
    std::vector<std::int64_t> at;  // the results before each change
    rig.onPump = [&](int pump, const Progress& progress) {
        if (pump == 5 || pump == 40) at.push_back(progress.ripcount);
        if (pump == 5) rig.current.quoted = true;
        if (pump == 40) rig.current.split = ";";
        if (pump == 50) rig.current.split = "\"";  // refused: ";" goes on
        return true;
    };
    test::StringSource source(text, 4096);
    ASSERT_FALSE(rig.run(source).error);
    ASSERT_EQ(at.size(), 2u);
    // What the same records give, each read and ripped by the rules of its turn.
    Lines want;
    std::size_t pos = 0;
    for (const Dialect& dialect : {Dialect{",", false}, Dialect{",", true}, Dialect{";", true}}) {
        const std::size_t stop = want.size() < std::size_t(at[0]) ? std::size_t(at[0])
                                 : dialect.split == ","           ? std::size_t(at[1])
                                                                  : SIZE_MAX;
        Settings s{.split = dialect.split, .fields = "3,1"};
        s.quoted = dialect.quoted;
        const RipPlan plan(s, fieldListFor(s, {}));
        LineRipper ripper;
        ripper.configure(plan);
        while (want.size() < stop && pos < text.size()) {
            const RecordEnd end = readRecord(text, pos, dialect, [](std::size_t) {});
            ripper.rip(std::string_view(text).substr(pos, end.end - pos), want.emplace_back());
            pos = end.next;
        }
    }
    EXPECT_EQ(test::items(rig.store), want);
}

// In the list, a pass shows every line ripped before it, over a megabyte of
// them, and a setting changed in it applies from the next line on.
TEST(Run, PassInTheListShowsEveryLineBeforeIt) {
    test::Rig rig("\n", PumpPolicy{std::chrono::milliseconds(0), 64 << 10});
    std::string text;
    for (int i = 1; i <= 200000; ++i) text += std::to_string(i) + "|x\n";
    test::StringSource source(text, 64 << 10);
    std::int64_t switched = 0;
    rig.onPump = [&](int pump, const Progress& progress) {
        EXPECT_EQ(static_cast<std::int64_t>(rig.store.size()), progress.ripcount);
        if (pump == 20) {
            switched = progress.ripcount;
            rig.current.join = "-";
        }
        return true;
    };
    EXPECT_FALSE(rig.into("1,2").run(source).error);
    ASSERT_GT(switched, 0);
    Lines want;
    for (int i = 1; i <= 200000; ++i)
        want.push_back(std::to_string(i) + (i <= switched ? ":x" : "-x"));
    EXPECT_TRUE(test::items(rig.store) == want);
}

// A source that has nothing yet never holds the rip: the host is asked to pump
// after every read that brought nothing, whatever the stride, and can stop it,
// also in the middle of a line that never ends.
TEST(Run, SourceWithNoDataYetStillPumpsAndStops) {
    for (const std::string text : {"", "a|1\nb|2"}) {
        test::Rig rig("\n", PumpPolicy{std::chrono::milliseconds(0), 1 << 20});
        test::TricklingSource source(text, text.empty() ? SIZE_MAX : 3);
        rig.onPump = [&](int pump, const Progress&) { return pump < 50; };
        RunResult result = rig.into("2").run(source);
        EXPECT_FALSE(result.error);
        EXPECT_EQ(result.stopped, text.empty());
        // Every read that brought nothing was followed by a pump.
        if (text.empty()) {
            EXPECT_EQ(source.reads, 50u);
        } else {
            EXPECT_GE(std::size_t(rig.pumps), 3 * text.size());
        }
        EXPECT_EQ(test::items(rig.store), text.empty() ? Lines{} : Lines({"1", "2"}));
    }
}

}  // namespace
}  // namespace kolvane
