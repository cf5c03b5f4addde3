// Where result lines go: the in-memory result list and the appended output file,
// including a disk that fills up half way through a run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rip.h"
#include "testutil.h"

namespace kolvane {
namespace {

TEST(ResultStore, ItemsRoundTripAcrossChunks) {
    const std::size_t chunk = std::size_t{1} << 20;
    std::vector<std::string> want;
    // Sizes that leave every kind of gap at a chunk's end, empty items at the
    // start and end of chunks, and items bigger than a whole chunk.
    for (std::size_t i = 0; i < 5000; ++i) {
        std::size_t size = (i * 7919) % 1500;
        if (i % 97 == 0) size = 0;
        if (i == 1000 || i == 1001) size = chunk + 13;
        if (i == 3000) size = 3 * chunk;
        want.emplace_back(size, static_cast<char>(i % 251));
    }
    ResultStore store;
    for (int round = 0; round < 2; ++round) {  // the second round checks clear()
        std::uint64_t bytes = 0;
        for (const auto& item : want) {
            store.append(item);
            bytes += item.size();
        }
        ASSERT_EQ(store.size(), want.size());
        EXPECT_EQ(store.bytes(), bytes);
        EXPECT_GT(bytes, 8 * chunk);
        for (std::size_t i = 0; i < want.size(); ++i) ASSERT_EQ(store.at(i), want[i]) << i;
        store.clear();
        EXPECT_TRUE(store.empty());
        EXPECT_EQ(store.bytes(), 0u);
    }
}

// Rips `lines` whole into `path`, appending; the rig's state outlives the run.
RunResult ripToFile(test::Rig& rig, const std::string& path,
                    const std::vector<std::string>& lines) {
    rig.host.current = {.fields = "1", .toFile = true};
    rig.state.Outfile = path;
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    test::StringSource source(text);
    return rig.run(source);
}

std::vector<std::string> numberedLines(std::size_t count, std::size_t length) {
    std::vector<std::string> lines;
    for (std::size_t i = 1; i <= count; ++i) {
        std::string line = std::to_string(i);
        line.resize(length, 'x');
        lines.push_back(line);
    }
    return lines;
}

std::string joined(const std::vector<std::string>& lines, std::size_t count,
                   const std::string& eol) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += lines[i] + eol;
    return text;
}

TEST(OutputFile, RunsAppendInOrderAndKeepEarlierContent) {
    for (std::string eol : {"\r\n", "\n"}) {
        test::TempDir dir;
        const std::string out = dir.path("out.txt");
        test::writeFile(out, "earlier\n");
        test::Rig rig(eol);
        ripToFile(rig, out, {"a", "b"});
        ripToFile(rig, out, {"c", "", "d"});
        EXPECT_EQ(test::readFile(out), "earlier\na" + eol + "b" + eol + "c" + eol + "d" + eol);
        EXPECT_EQ(rig.state.Ripcount, 2);
    }
}

TEST(OutputFile, EmptyPathDropsLinesButCountsThem) {
    test::FaultyOpener opener;
    test::Rig rig("\r\n", &opener);
    RunResult result = ripToFile(rig, "", {"a", "b", "c"});
    EXPECT_FALSE(result.error);
    EXPECT_EQ(rig.state.Ripcount, 3);
    EXPECT_EQ(opener.opens, 0u);
}

struct DiskFullCase {
    const char* name;
    std::size_t lines;
    std::size_t length;  // bytes per line before its CR LF
    std::size_t budget;  // bytes the first writer takes
    bool retryWorks;     // whether the reopened writer takes the rest
};

void PrintTo(const DiskFullCase& c, std::ostream* os) {
    *os << c.name;
}

class DiskFull : public testing::TestWithParam<DiskFullCase> {};

TEST_P(DiskFull, FileEndsOnAWholeLineAndCountMatchesIt) {
    const DiskFullCase& c = GetParam();
    test::TempDir dir;
    const std::string out = dir.path("out.txt");
    const std::string earlier = "from an earlier run\r\n";
    test::writeFile(out, earlier);
    test::FaultyOpener opener;
    opener.budgets = {c.budget};
    if (!c.retryWorks) opener.budgets.push_back(0);
    test::Rig rig("\r\n", &opener);
    auto lines = numberedLines(c.lines, c.length);
    RunResult result = ripToFile(rig, out, lines);

    EXPECT_EQ(opener.opens, 2u);  // one retry, and it appended to the same file
    std::size_t kept = static_cast<std::size_t>(rig.state.Ripcount);
    ASSERT_LE(kept, lines.size());
    const std::string file = test::readFile(out), want = earlier + joined(lines, kept, "\r\n");
    EXPECT_TRUE(file == want) << "the file has " << file.size() << " bytes, " << kept
                              << " lines make " << want.size();
    if (c.retryWorks) {
        EXPECT_FALSE(result.error);
        EXPECT_EQ(kept, lines.size());
        return;
    }
    ASSERT_TRUE(result.error);
    EXPECT_LT(kept, lines.size());
    EXPECT_EQ(result.error->action, "Cannot write");
    EXPECT_EQ(result.error->file, out);
    EXPECT_EQ(result.error->cause, "No space left on device");
    EXPECT_EQ(result.error->line, rig.state.Ripcount + 1);  // the first line not in the file
}

INSTANTIATE_TEST_SUITE_P(
    Writes, DiskFull,
    testing::Values(DiskFullCase{"FullAtOnce", 100, 10, 0, false},
                    DiskFullCase{"MidFirstLine", 100, 10, 5, false},
                    DiskFullCase{"OnALineEnd", 100, 10, 12 * 40, false},
                    DiskFullCase{"InSecondBlock", 60000, 10, 300001, false},
                    // 1024 lines of 256 bytes fill the write buffer exactly, so the
                    // line that fills it goes out in the same write as the others.
                    DiskFullCase{"BufferFilledExactly", 3000, 254, 1000, false},
                    DiskFullCase{"LineLongerThanBuffer", 3, 300000, 450000, false},
                    DiskFullCase{"RetrySucceeds", 60000, 10, 300001, true},
                    DiskFullCase{"RetrySucceedsOnLongLine", 3, 300000, 100, true}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(OutputFile, DevFullStopsTheRunAtItsFirstLine) {
    test::Rig rig;
    RunResult result = ripToFile(rig, "/dev/full", {"a", "b"});
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->message(), "Cannot write /dev/full at line 1: No space left on device");
    EXPECT_EQ(rig.state.Ripcount, 0);
}

}  // namespace
}  // namespace kolvane
