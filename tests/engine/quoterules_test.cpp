// The scalar reading of one record, case by case: quoted ones as Python's
// csv module reads them with its default dialect.
#include "quoterules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fieldcutter.h"
#include "quotedvalue.h"
#include "testutil.h"

namespace kolvane {
namespace {

struct RecordCase {
    const char* name;
    std::string text, split;
    std::vector<std::string> values;  // unquoted
    std::size_t end, next;
    bool open = false;
    std::size_t pos = 0;
    bool quoted = true;
};

class Records : public testing::TestWithParam<RecordCase> {};

TEST_P(Records, SplitAsPythonCsvReads) {
    const RecordCase& c = GetParam();
    const Dialect dialect{c.split, c.quoted};
    std::vector<std::size_t> stops;
    const RecordEnd r =
        readRecord(c.text, c.pos, dialect, [&](std::size_t at) { stops.push_back(at); });
    std::vector<std::string> values;
    const std::string_view record = std::string_view(c.text).substr(c.pos, r.end - c.pos);
    for (const std::string_view field : cutFields(record, dialect)) {
        std::string& value = values.emplace_back(field);
        if (c.quoted) value.clear(), appendUnquoted(value, field);
    }
    EXPECT_EQ(values, c.values);
    EXPECT_EQ(stops.size() + 1, values.size());  // the stops the cutter cut at
    EXPECT_EQ(r.end, c.end);
    EXPECT_EQ(r.next, c.next);
    EXPECT_EQ(r.open, c.open);
}

// clang-format off
const RecordCase kRecords[] = {
    {"QuotedSplitString", "\"a,b\",c\nz", ",", {"a,b", "c"}, 7, 8},
    {"DoubledQuote", "\"say \"\"hi\"\"\",x", ",", {"say \"hi\"", "x"}, 14, 14},
    {"DoubledQuoteBeforeSplit", "\"a\"\",b\",c", ",", {"a\",b", "c"}, 9, 9},
    {"EmptyQuoted", "\"\",x\n", ",", {"", "x"}, 4, 5},
    {"LineEndInsideQuotesLf", "\"a\nb\",c\nz", ",", {"a\nb", "c"}, 7, 8},
    {"LineEndInsideQuotesCrLf", "\"a\r\nb\",c\r\nz", ",", {"a\r\nb", "c"}, 8, 10},
    {"LineEndInsideQuotesCr", "\"a\rb\r\",c\rz", ",", {"a\rb\r", "c"}, 8, 9},
    {"QuoteInsideUnquoted", "12\" monitor,x\n", ",", {"12\" monitor", "x"}, 13, 14},
    {"TextAfterClosingQuote", "\"a\"b\"c,d", ",", {"ab\"c", "d"}, 8, 8},
    {"SpaceBeforeQuote", " \"a,b\",c", ",", {" \"a", "b\"", "c"}, 8, 8},
    {"MultiCharSplit", "\"a::b\"::c:d::\n", "::", {"a::b", "c:d", ""}, 13, 14},
    {"EmptyFields", ",,\r\n", ",", {"", "", ""}, 2, 4},
    {"EmptySplitIsOneField", "\"a,b\",c\n", "", {"a,b,c"}, 7, 8},
    {"FromTheMiddle", "a,b\n\"x\ny\",2\n", ",", {"x\ny", "2"}, 11, 12, false, 4},
    {"Unterminated", "a,\"bc\nd,e\n", ",", {"a", "bc\nd,e\n"}, 10, 10, true},
    {"PlainIgnoresQuotes", "\"a,b\",c\r\nz", ",", {"\"a", "b\"", "c"}, 7, 9, false, 0, false},
    {"PlainMultiCharSplit", "a::b:::c\n", "::", {"a", "b", ":c"}, 8, 9, false, 0, false},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(ReadRecord, Records, testing::ValuesIn(kRecords), test::rowName);

}  // namespace
}  // namespace kolvane
