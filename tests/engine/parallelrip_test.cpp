// The parallel rip against the sequential one on blocks of a few bytes, where
// lines, CR LF pairs and failures fall across blocks in every way.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "parallelrip.h"
#include "testutil.h"

namespace kolvane {
namespace {

using test::FileRip;
using test::ripToFile;

TEST(ParallelRip, GivesWhatOneThreadGives) {
    const std::string texts[] = {
        "a|1\nb|2\r\nc|3\rd|4", "x\r\r\n\n\ny|long line that is longer than any block|z\r\n|\r",
        "1|2|3|4|5|6|7|8|9\n9|8|7|6|5|4|3|2|1\n \n|\n",
        "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n",  // CR LF split across blocks
    };
    const Settings settings[] = {
        {.fields = "2,1,2"},
        {.split = "|", .join = "-", .fields = "[2]<[1]", .skipEmpty = true, .templateMode = true},
        {.split = "||", .fields = "1"},
        {.split = "", .fields = "1"},
    };
    for (const auto& text : texts) {
        for (const auto& s : settings) {
            for (std::size_t failAt : {std::size_t{7}, std::size_t{20}, SIZE_MAX}) {
                // Blocks of 3, 4 and 5 bytes put each CR LF across a block's end.
                for (std::size_t block : {3, 4, 5}) {
                    const FileRip how{.failAt = failAt, .block = block};
                    const auto one = ripToFile(text, s, 0, how);
                    EXPECT_EQ(ripToFile(text, s, 3, how), one)
                        << text << " " << s.fields << " " << failAt << " " << block;
                    EXPECT_EQ(one.error.empty(), failAt >= text.size());
                }
            }
        }
    }
}

TEST(ParallelRip, StopsAtAResultOverTheBound) {
    // A template whose values hold placeholders, and a plain list of repeats.
    const std::pair<std::string, Settings> cases[] = {
        {"a|b\n[2][2][2]|[3][3][3]|[4][4][4]|xxxxxx\nc|d\n",
         {.fields = "[1]", .templateMode = true}},
        {"a|b\nabcdef|x\nc|d\n", {.fields = "1,1,1"}},
    };
    for (const auto& [text, s] : cases) {
        const auto one = ripToFile(text, s, 0, {.maxResult = 10});
        EXPECT_EQ(one.error, "Cannot rip src.txt at line 2: the result line would pass 10 bytes");
        EXPECT_EQ(one.file.substr(0, 1), "a");
        EXPECT_EQ(ripToFile(text, s, 2, {.maxResult = 10}), one) << s.fields;
    }
}

TEST(ParallelRip, StopsAtALineOverTheLimitAndKeepsTheLinesBefore) {
    const std::string text = "a|1\n" + std::string(30, 'x') + "\nc|3\n";
    const auto o = ripToFile(text, {.fields = "2"}, 2, {.lineLimit = 20});
    EXPECT_EQ(o.file, "1\r\n");
    EXPECT_EQ(o.count, 1);
    EXPECT_EQ(o.error,
              "Cannot read src.txt at line 2: a line is longer than 20 bytes, the most one line "
              "may hold");
}

// Output past the output file's buffer, so that full buffers are written
// while the rip goes on, whole or up to a full disk.
TEST(ParallelRip, FullDiskLeavesWholeLinesAndCountsThem) {
    std::string text, all;
    for (int i = 1; i <= 60000; ++i) {
        text += std::to_string(i) + "|x\n";
        all += std::to_string(i) + "\r\n";
    }
    ASSERT_GT(all.size(), OutputFile::kBufferSize);
    const auto whole = ripToFile(text, {.fields = "1"}, 3, {.chunk = 4096});
    EXPECT_EQ(whole.file, all);
    EXPECT_EQ(whole.count, 60000);
    const auto o = ripToFile(text, {.fields = "1"}, 3, {.chunk = 4096, .budget = 300000});
    ASSERT_LT(o.file.size(), all.size());
    EXPECT_EQ(o.file, all.substr(0, o.file.size()));
    EXPECT_TRUE(o.file.ends_with("\r\n"));
    EXPECT_EQ(o.count, std::count(o.file.begin(), o.file.end(), '\n'));
    EXPECT_EQ(o.error, "Cannot write out at line " + std::to_string(o.count + 1) +
                           ": No space left on device");
}

}  // namespace
}  // namespace kolvane
