// LineReader against a plain reference splitter, over every way the bytes can
// fall across read calls and buffer blocks.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "linereader.h"
#include "testutil.h"

namespace kolvane {
namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

Lines readAll(const std::string& text, std::size_t blockSize, std::size_t chunk) {
    test::StringSource source(text, chunk);
    LineReader reader(source, blockSize);
    Lines lines;
    for (auto line = reader.next(); line || reader.pending(); line = reader.next()) {
        if (line) lines.emplace_back(*line);
    }
    EXPECT_FALSE(reader.failure());
    EXPECT_EQ(reader.lineNumber(), std::ssize(lines));
    EXPECT_EQ(reader.offset(), text.size());
    return lines;
}

TEST(LineReader, SplitsLikeTheReferenceAcrossBlocksAndReads) {
    const std::pair<std::string, Lines> cases[] = {
        // clang-format off
        {"", {}}, {"\n", {""}}, {"a\nbb\n", {"a", "bb"}}, {"a\r\nbb\r\n", {"a", "bb"}},
        {"a\rbb\r", {"a", "bb"}}, {"a\r\nb\nc\rd", {"a", "b", "c", "d"}}, {"abc\r", {"abc"}},
        {"\n\r\n\r\r\n\n", {"", "", "", "", ""}}, {"a\n\rb", {"a", "", "b"}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"\0\xff\xfe\n\xe9t\xe9\r\n\xc3("s, {"\0\xff\xfe"s, "\xe9t\xe9", "\xc3("}},
        // clang-format on
    };
    for (const auto& [text, want] : cases) {
        ASSERT_EQ(test::referenceLines(text), want) << text;  // the reference itself
        for (std::size_t block : {1, 8, 64}) {
            for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, SIZE_MAX}) {
                EXPECT_EQ(readAll(text, block, chunk), want) << text << block << " " << chunk;
            }
        }
    }
}

TEST(LineReader, LinesAroundTheBlockSize) {
    // Lines one byte under, at and over the block, so that each terminator, and
    // the CR and LF of a CR LF, fall on either side of a block boundary.
    for (std::size_t block : {std::size_t{8}, std::size_t{64}, LineReader::kBlockSize}) {
        for (std::size_t len = block - 2; len <= block + 1; ++len) {
            for (std::string eol : {"\n", "\r", "\r\n"}) {
                std::string text = std::string(len, 'x') + eol + "y" + eol +
                                   std::string(len + 1, 'z') + eol + std::string(2 * len, 'w');
                for (std::size_t chunk : {block < 100 ? 1 : block / 3, block - 1, SIZE_MAX}) {
                    EXPECT_EQ(readAll(text, block, chunk), test::referenceLines(text))
                        << "block " << block << " len " << len << " chunk " << chunk;
                }
            }
        }
    }
}

TEST(LineReader, StopsAtALineOverItsLimit) {
    for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, SIZE_MAX}) {
        const std::string text =
            "short\n" + std::string(40, 'x') + "\n" + std::string(41, 'y') + "\nnot read\n";
        test::StringSource source(text, chunk);
        LineReader reader(source, 8, 40);
        Lines lines;
        for (auto line = reader.next(); line || reader.pending(); line = reader.next()) {
            if (line) lines.emplace_back(*line);
        }
        EXPECT_EQ(lines, (Lines{"short", std::string(40, 'x')})) << chunk;
        ASSERT_TRUE(reader.failure());
        EXPECT_EQ(reader.failure()->code, EFBIG);
        EXPECT_EQ(reader.lineNumber(), 2);
    }
}

}  // namespace
}  // namespace kolvane
