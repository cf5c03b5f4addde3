// LineReader against a plain reference splitter, over every way the bytes can
// fall across read calls and buffer blocks.
#include <gtest/gtest.h>

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
    while (auto line = reader.next()) lines.emplace_back(*line);
    EXPECT_FALSE(reader.failure());
    EXPECT_EQ(reader.lineNumber(), static_cast<std::int64_t>(lines.size()));
    EXPECT_EQ(reader.offset(), text.size());
    return lines;
}

struct ReaderCase {
    const char* name;
    std::string text;
    Lines want;
};

const ReaderCase kCases[] = {
    {"Empty", "", {}},
    {"LoneLf", "\n", {""}},
    {"Lf", "a\nbb\n", {"a", "bb"}},
    {"CrLf", "a\r\nbb\r\n", {"a", "bb"}},
    {"Cr", "a\rbb\r", {"a", "bb"}},
    {"Mixed", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
    {"NoTerminatorAtEnd", "a\nlast", {"a", "last"}},
    {"EmptyLines", "\n\r\n\r\r\n\n", {"", "", "", "", ""}},
    {"LfCrIsTwoEnds", "a\n\rb", {"a", "", "b"}},
    {"CrCrLf", "a\r\r\nb", {"a", "", "b"}},
    {"TrailingCr", "abc\r", {"abc"}},
    {"Bytes", "\0\xff\xfe\n\xe9t\xe9\r\n\xc3("s, {"\0\xff\xfe"s, "\xe9t\xe9", "\xc3("}},
};

TEST(LineReader, SplitsLikeTheReferenceAcrossBlocksAndReads) {
    for (const auto& c : kCases) {
        ASSERT_EQ(test::referenceLines(c.text), c.want) << c.name;  // the reference itself
        for (std::size_t block : {1, 8, 64}) {
            for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, SIZE_MAX}) {
                EXPECT_EQ(readAll(c.text, block, chunk), c.want)
                    << c.name << " block " << block << " chunk " << chunk;
            }
        }
    }
}

TEST(LineReader, LinesAroundTheBlockSize) {
    // Lines one byte under, at and over the block, so that each terminator, and
    // the CR and LF of a CR LF, fall on either side of a block boundary.
    for (std::size_t block : {8, 64}) {
        for (std::size_t len = block - 2; len <= block + 1; ++len) {
            for (const char* eol : {"\n", "\r", "\r\n"}) {
                std::string text = std::string(len, 'x') + eol + "y" + eol +
                                   std::string(len + 1, 'z') + eol + std::string(2 * len, 'w');
                for (std::size_t chunk : {std::size_t{1}, block - 1, SIZE_MAX}) {
                    EXPECT_EQ(readAll(text, block, chunk), test::referenceLines(text))
                        << "block " << block << " len " << len << " chunk " << chunk;
                }
            }
        }
    }
}

TEST(LineReader, RealBlockSize) {
    const std::size_t block = LineReader::kBlockSize;
    std::string text;
    Lines want;
    for (std::size_t len : {block - 1, block - 2, block, block + 1, std::size_t{3}, 3 * block}) {
        want.push_back(std::string(len, static_cast<char>('a' + want.size())));
        text += want.back() + "\r\n";
    }
    // The first line's CR is the last byte of the first block, its LF comes with
    // the next read.
    EXPECT_EQ(readAll(text, block, SIZE_MAX), want);
    EXPECT_EQ(readAll(text, block, 1000), want);
}

}  // namespace
}  // namespace kolvane
