// The column grid's sample: lines read with the rip's line ends, kept as
// they stood and within bounds, and records cut as a rip cuts them.
#include "columnsample.h"

#include <gtest/gtest.h>

#include "testutil.h"

namespace kolvane {
namespace {

struct SampleCase {
    const char* name;
    std::string source;
    std::size_t chunk;  // bytes a read gives at most
    SampleText::Limits limits;
    std::string text;
    bool cut = false, more = false;
};
std::ostream& operator<<(std::ostream& os, const SampleCase& c) {
    return os << c.name;
}

class Samples : public testing::TestWithParam<SampleCase> {};

TEST_P(Samples, KeepTheLinesWithinBounds) {
    const SampleCase& c = GetParam();
    test::StringSource source(c.source, c.chunk);
    auto sample = readSample(source, "src.txt", c.limits);
    ASSERT_TRUE(sample) << sample.error().message();
    EXPECT_EQ(sample->text, c.text);
    EXPECT_EQ(sample->cut, c.cut);
    EXPECT_EQ(sample->more, c.more);
}

const SampleText::Limits kLoose{};
// clang-format off
INSTANTIATE_TEST_SUITE_P(ColumnSample, Samples, testing::Values(
    SampleCase{"EveryLineEnd", "a\r\nb\rc\nd", 1, kLoose, "a\r\nb\rc\nd"},
    SampleCase{"CrLfSplitBetweenReads", "ab\r\ncd\r", 3, kLoose, "ab\r\ncd\r"},
    SampleCase{"EmptyLinesStay", "\n\nx", 64, kLoose, "\n\nx"},
    SampleCase{"LineOfTheBoundIsWhole", "abcd\nxy", 64, {10, 4}, "abcd\nxy"},
    SampleCase{"LongLineKeptInPart", "abcdefgh\nxy\n", 3, {10, 4}, "abcd\nxy\n", true},
    SampleCase{"LinesBounded", "a\nb\nc\n", 64, {2}, "a\nb\n", false, true},
    SampleCase{"KeptBytesBounded", "ab\ncd\nef\n", 64, {10, 10, 4}, "ab\ncd\n", false, true},
    SampleCase{"ReadBytesBounded", std::string(20, 'a') + "\nb\n", 4, {10, 4, 100, 8},
               "aaaa\n", true, true}),
    test::rowName);
// clang-format on

TEST(ColumnSample, ReadFailureNamesFileAndLine) {
    test::StringSource source("a\nb\nc", 64, 4);
    auto sample = readSample(source, "src.txt", kLoose);
    ASSERT_FALSE(sample);
    EXPECT_EQ(sample.error().file, "src.txt");
    EXPECT_EQ(sample.error().line, 3);
}

TEST(ColumnSample, QuotedRecordsSpanLinesAndKeepTheirQuotes) {
    const std::string text = "id,name\r\n1,\"Berg,\r\nAnna\"\r\n2,x,y\r\n";
    const auto quoted = splitSample(text, {",", true}, 10, 2);
    ASSERT_EQ(quoted.size(), 3u);
    EXPECT_EQ(quoted[1].fields, (std::vector<std::string_view>{"1", "\"Berg,\r\nAnna\""}));
    EXPECT_EQ(quoted[2].fieldCount, 3u);  // more than the fields kept
    EXPECT_EQ(quoted[2].fields.size(), 2u);
    EXPECT_EQ(splitSample(text, {",", false}, 10, 5).size(), 4u);
    EXPECT_EQ(splitSample(text, {",", false}, 2, 5).size(), 2u);
}

}  // namespace
}  // namespace kolvane
