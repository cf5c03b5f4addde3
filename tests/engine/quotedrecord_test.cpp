// The scalar reading of one quoted record, case by case, as Python's csv
// module reads it with its default dialect.
#include "quotedrecord.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testutil.h"

namespace kolvane {
namespace {

struct RecordCase {
    const char* name;
    std::string text, split;
    std::vector<std::string> values;  // unquoted
    std::size_t end, next;
    bool unterminated = false;
    std::size_t innerLineEnds = 0;
    std::size_t pos = 0;
};
std::ostream& operator<<(std::ostream& os, const RecordCase& c) {
    return os << c.name;
}

class Records : public testing::TestWithParam<RecordCase> {};

TEST_P(Records, SplitAsPythonCsvReads) {
    const RecordCase& c = GetParam();
    std::vector<FieldExtent> fields{{7, 9}};  // left over from a record before
    const QuotedRecord r = splitQuotedRecord(c.text, c.pos, c.split, fields);
    std::vector<std::string> values;
    for (const FieldExtent& f : fields) {
        appendUnquoted(std::string_view(c.text).substr(f.begin, f.end - f.begin),
                       values.emplace_back());
    }
    EXPECT_EQ(values, c.values);
    EXPECT_EQ(r.end, c.end);
    EXPECT_EQ(r.next, c.next);
    EXPECT_EQ(r.unterminated, c.unterminated);
    EXPECT_EQ(r.innerLineEnds, c.innerLineEnds);
    if (c.unterminated) {
        EXPECT_EQ(r.openQuote, c.text.find('"', c.pos));  // the quote that never closes
    }
}

// clang-format off
const RecordCase kRecords[] = {
    {"QuotedSplitString", "\"a,b\",c\nz", ",", {"a,b", "c"}, 7, 8},
    {"DoubledQuote", "\"say \"\"hi\"\"\",x", ",", {"say \"hi\"", "x"}, 14, 14},
    {"DoubledQuoteBeforeSplit", "\"a\"\",b\",c", ",", {"a\",b", "c"}, 9, 9},
    {"EmptyQuoted", "\"\",x\n", ",", {"", "x"}, 4, 5},
    {"LineEndInsideQuotesLf", "\"a\nb\",c\nz", ",", {"a\nb", "c"}, 7, 8, false, 1},
    {"LineEndInsideQuotesCrLf", "\"a\r\nb\",c\r\nz", ",", {"a\r\nb", "c"}, 8, 10, false, 1},
    {"LineEndInsideQuotesCr", "\"a\rb\r\",c\rz", ",", {"a\rb\r", "c"}, 8, 9, false, 2},
    {"QuoteInsideUnquoted", "12\" monitor,x\n", ",", {"12\" monitor", "x"}, 13, 14},
    {"TextAfterClosingQuote", "\"a\"b\"c,d", ",", {"ab\"c", "d"}, 8, 8},
    {"SpaceBeforeQuote", " \"a,b\",c", ",", {" \"a", "b\"", "c"}, 8, 8},
    {"MultiCharSplit", "\"a::b\"::c:d::\n", "::", {"a::b", "c:d", ""}, 13, 14},
    {"EmptyFields", ",,\r\n", ",", {"", "", ""}, 2, 4},
    {"EmptySplitIsOneField", "\"a,b\",c\n", "", {"a,b,c"}, 7, 8},
    {"FromTheMiddle", "a,b\n\"x\ny\",2\n", ",", {"x\ny", "2"}, 11, 12, false, 1, 4},
    {"Unterminated", "a,\"bc\nd,e\n", ",", {"a", "bc\nd,e\n"}, 10, 10, true, 2},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(QuotedRecord, Records, testing::ValuesIn(kRecords), test::rowName);

}  // namespace
}  // namespace kolvane
