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
    std::vector<std::size_t> cutEnds{};
    bool more = false;
};

class Samples : public testing::TestWithParam<SampleCase> {};

TEST_P(Samples, KeepTheLinesWithinBounds) {
    const SampleCase& c = GetParam();
    test::StringSource source(c.source, c.chunk);
    auto sample = readSample(source, "src.txt", c.limits);
    ASSERT_TRUE(sample) << sample.error().message();
    EXPECT_EQ(sample->text, c.text);
    EXPECT_EQ(sample->cutEnds, c.cutEnds);
    EXPECT_EQ(sample->more, c.more);
}

const SampleText::Limits kLoose{};
// clang-format off
INSTANTIATE_TEST_SUITE_P(ColumnSample, Samples, testing::Values(
    SampleCase{"EveryLineEnd", "a\r\nb\rc\nd", 1, kLoose, "a\r\nb\rc\nd"},
    SampleCase{"CrLfSplitBetweenReads", "ab\r\ncd\r", 3, kLoose, "ab\r\ncd\r"},
    SampleCase{"EmptyLinesStay", "\n\nx", 64, kLoose, "\n\nx"},
    SampleCase{"LineOfTheBoundIsWhole", "abcd\nxy", 64, {10, 4}, "abcd\nxy"},
    SampleCase{"LongLineKeptInPart", "abcdefgh\nxy\n", 3, {10, 4}, "abcd\nxy\n", {5}},
    SampleCase{"LinesBounded", "a\nb\nc\n", 64, {2}, "a\nb\n", {}, true},
    SampleCase{"KeptBytesBounded", "ab\ncd\nef\n", 64, {10, 10, 4}, "ab\ncd\n", {}, true},
    SampleCase{"ReadBytesBounded", std::string(20, 'a') + "\nb\n", 4, {10, 4, 100, 8},
               "aaaa\n", {5}, true}),
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

// A quote opened in a line kept only in part may close in the part not kept:
// the record ends with that line, and the lines after it are records again.
TEST(ColumnSample, RecordEndsWithALineKeptInPart) {
    const std::string text = "id,\"abc\n1,b\n2,c\n";
    const auto records = splitSample(text, {",", true}, 10, 5, {8});
    ASSERT_EQ(records.size(), 3u);
    EXPECT_TRUE(records[0].cut);
    EXPECT_EQ(records[0].fields.front(), "id");
    EXPECT_FALSE(records[1].cut);
    EXPECT_EQ(records[1].bytes, "1,b");
    EXPECT_FALSE(records[2].cut);
}

}  // namespace
}  // namespace kolvane
