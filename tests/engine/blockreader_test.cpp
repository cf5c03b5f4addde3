// The one line-end rule and the block reader against a plain reference
// splitter, over every way the bytes can fall across reads and blocks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "blockripper.h"
#include "lineend.h"
#include "testutil.h"

namespace kolvane {
namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

const std::pair<std::string, Lines> kTexts[] = {
    // clang-format off
    {"", {}}, {"\n", {""}}, {"a\nbb\n", {"a", "bb"}}, {"a\r\nbb\r\n", {"a", "bb"}},
    {"a\rbb\r", {"a", "bb"}}, {"a\r\nb\nc\rd", {"a", "b", "c", "d"}}, {"abc\r", {"abc"}},
    {"\n\r\n\r\r\n\n", {"", "", "", "", ""}}, {"a\n\rb", {"a", "", "b"}},
    {"a\r\r\nb", {"a", "", "b"}},
    {"\0\xff\xfe\n\xe9t\xe9\r\n\xc3("s, {"\0\xff\xfe"s, "\xe9t\xe9", "\xc3("}},
    // clang-format on
};

// The lines of `text` by findLineBreak(), all bytes being there.
Lines byRule(const std::string& text) {
    Lines lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto brk = findLineBreak(text.data(), pos, text.size(), true);
        lines.emplace_back(text, pos, (brk ? brk->eol : text.size()) - pos);
        pos = brk ? brk->next : text.size();
    }
    return lines;
}

TEST(LineEnd, RuleSplitsLikeTheReferenceAndCutsOnlyWhereALineSurelyEnds) {
    for (const auto& [text, want] : kTexts) {
        ASSERT_EQ(test::referenceLines(text), want) << text;  // the reference itself
        EXPECT_EQ(byRule(text), want) << text;
        // Cut after its last sure line end, every prefix keeps whole lines of
        // the text: a CR at the prefix's end is never taken for one.
        for (std::size_t n = 0; n <= text.size(); ++n) {
            const std::size_t cut = lastLineEnd(text.data(), 0, n);
            ASSERT_LE(cut, n);
            const Lines before = test::referenceLines(text.substr(0, cut));
            EXPECT_TRUE(std::equal(before.begin(), before.end(), want.begin())) << text << n;
            EXPECT_TRUE(cut == 0 || text[cut - 1] == '\n' || text[cut - 1] == '\r') << n;
            EXPECT_FALSE(cut > 0 && cut < text.size() && text[cut - 1] == '\r' && text[cut] == '\n')
                << text << n;
        }
    }
}

// Blocks read with `block` bytes at a time from a source giving `chunk`
// bytes a read: they hold the text, each cut after a line end.
std::vector<std::string> blocksOf(const std::string& text, std::size_t block, std::size_t chunk) {
    test::StringSource source(text, chunk);
    BlockReader reader(source, block, defaultLineLimit(), [] { return true; });
    RipBlock b;
    std::vector<std::string> blocks;
    while (reader.read(b)) blocks.emplace_back(b.data, b.size);
    EXPECT_FALSE(reader.stopped());
    return blocks;
}

TEST(BlockReader, BlocksEndOnLineEndsAcrossBlockSizesAndReads) {
    std::vector<std::string> texts;
    for (const auto& [text, want] : kTexts) texts.push_back(text);
    // Lines one byte under, at and over the block, so that each terminator,
    // and the CR and LF of a CR LF, fall on either side of a block boundary.
    for (std::size_t len = 6; len <= 9; ++len) {
        for (std::string eol : {"\n", "\r", "\r\n"}) {
            texts.push_back(std::string(len, 'x') + eol + "y" + eol + std::string(len + 1, 'z') +
                            eol + std::string(2 * len, 'w'));
        }
    }
    for (const std::string& text : texts) {
        for (std::size_t block : {1, 8, 64}) {
            for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, SIZE_MAX}) {
                Lines lines;
                std::string whole;
                for (const std::string& b : blocksOf(text, block, chunk)) {
                    whole += b;
                    for (auto& line : test::referenceLines(b)) lines.push_back(line);
                }
                EXPECT_EQ(whole, text) << block << " " << chunk;
                EXPECT_EQ(lines, test::referenceLines(text)) << text << block << " " << chunk;
            }
        }
    }
}

}  // namespace
}  // namespace kolvane
