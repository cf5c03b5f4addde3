// Where a part's records start, against the plainest reading: records read
// one after the other from the text's start. Every offset of random texts
// thick with quotes, split strings and line ends is an edge, read back a few
// bytes at a time, so that the states must agree or be carried through many
// stretches, in UTF-8 and in UTF-16 with a mark (edges inside code units
// and surrogate pairs).
#include <gtest/gtest.h>

#include <random>

#include "partsource.h"
#include "testutil.h"

namespace kolvane {
namespace {

using namespace std::string_literals;

struct Token {
    std::string utf8, utf16le;
};
// clang-format off
const Token kTokens[] = {{"\"", "\"\0"s}, {",", ",\0"s}, {"|", "|\0"s}, {"\n", "\n\0"s}, {"\r", "\r\0"s},
                         {"a", "a\0"s}, {"\xC3\xA9", "\xE9\0"s}, {"\xF0\x9F\x98\x80", "\x3D\xD8\x00\xDE"s}};
// clang-format on

struct PartEdgeCase {
    const char* name;
    Dialect dialect;
    bool utf16;
};

class PartEdges : public testing::TestWithParam<PartEdgeCase> {};

TEST_P(PartEdges, FirstRecordFromEveryOffset) {
    const PartEdgeCase& c = GetParam();
    std::mt19937 random(33);
    test::TempDir dir;
    for (int round = 0; round < 12; ++round) {
        // The text, and each UTF-8 offset's file offset where a token starts.
        std::string text, file = c.utf16 ? "\xFF\xFE" : "";
        std::vector<std::uint64_t> offsetOf;
        const std::size_t tokens = 20 + random() % 300;
        for (std::size_t i = 0; i < tokens; ++i) {
            const Token& t = kTokens[random() % (round % 2 ? 8 : 4)];  // quotes thick or sparse
            offsetOf.resize(text.size() + 1, file.size());
            text += t.utf8;
            file += c.utf16 ? t.utf16le : t.utf8;
        }
        offsetOf.resize(text.size() + 1, file.size());
        std::vector<std::uint64_t> starts;
        for (std::size_t pos = 0; pos < text.size();) {
            starts.push_back(offsetOf[pos]);
            pos = readRecord(text, pos, c.dialect, [](std::size_t) {}).next;
        }
        starts.push_back(file.size());
        test::writeFile(dir.path("f"), file);
        const SourcePart part{dir.path("f"), *textFormOf(file, "", true), file.size()};
        for (std::uint64_t at = 0; at <= file.size(); ++at) {
            const std::uint64_t unitStart = c.utf16 && at > 2 ? at & ~std::uint64_t{1} : at;
            const auto next = std::lower_bound(starts.begin(), starts.end(), unitStart);
            auto found = firstRecordFrom(part, at, c.dialect, PartReading{3, 5});
            ASSERT_TRUE(found) << found.error().message();
            ASSERT_EQ(*found, *next) << "at " << at << " of " << testing::PrintToString(file);
            // From a record start known before it, reading back stops there.
            if (next != starts.begin()) {
                ASSERT_EQ(*firstRecordFrom(part, at, c.dialect, {3, 5}, next[-1]), *next) << at;
            }
        }
    }
}

// clang-format off
const PartEdgeCase kEdgeCases[] = {
    {"Plain", {",", false}, false},
    {"Quoted", {",", true}, false},
    {"QuotedSplitOfTwoBytes", {",|", true}, false},
    {"QuotedSplitOfThreeBytes", {",|,", true}, false},
    {"QuotedNoSplit", {"", true}, false},
    {"Utf16Plain", {",", false}, true},
    {"Utf16Quoted", {",", true}, true},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Parts, PartEdges, testing::ValuesIn(kEdgeCases), test::rowName);

}  // namespace
}  // namespace kolvane
