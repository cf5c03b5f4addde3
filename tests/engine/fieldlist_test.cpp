// Countvalue and Setfields: counting separators and parsing the field list.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "ripstate.h"

namespace kolvane {
namespace {

struct CountCase {
    const char* text;
    const char* sep;
    std::int64_t want;
};

TEST(Countvalue, CountsNonOverlappingFromTheLeft) {
    // clang-format off
    const CountCase cases[] = {
        {"a|b|c", "|", 2}, {"abc", "|", 0}, {"", "|", 0}, {"|", "|", 1}, {"||", "|", 2},
        {"a::b::c", "::", 2}, {":::", "::", 1}, {"::::", "::", 2}, {"aaaaa", "aa", 2},
        {"aXbxc", "x", 1}, {"abc", "", 0}, {"", "", 0},
        {"\xc2\xa6x\xc2\xa6", "\xc2\xa6", 2},  // a two-byte UTF-8 separator
    };
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(Countvalue(c.text, c.sep), c.want) << '"' << c.text << "\" by \"" << c.sep << '"';
    }
}

struct FieldsCase {
    const char* list;
    std::vector<std::int16_t> want;  // Fieldnum; Fieldcount is its size
};

TEST(Setfields, ParsesEveryEntryAndZeroesTheOnesThatDoNotConvert) {
    // clang-format off
    const FieldsCase cases[] = {
        {"2,4", {2, 4}}, {"4,2", {4, 2}}, {"2,2", {2, 2}}, {" 2 , 4 ", {2, 4}}, {"7", {7}},
        {"2,4,", {2, 4, 0}}, {",3", {0, 3}}, {"2,,4", {2, 0, 4}}, {"x,3", {0, 3}},
        {"40000,1", {0, 1}}, {"-2,1", {-2, 1}}, {"+3", {3}},
        {"32767,-32768", {32767, -32768}}, {"32768,-32769", {0, 0}},
        {"\t2", {0}},  // only the space is trimmed; a tab makes the entry malformed
        {"1 2", {0}}, {"0x10", {0}}, {"1e2", {0}}, {"+", {0}},
        // Fractions round to the nearest whole number, a half to the even side.
        {"1.5,2.5,3.5,0.5", {2, 2, 4, 0}}, {"2.4,2.6,2.51,2.50", {2, 3, 3, 2}},
        {"-1.5,-2.5, 1.5 ", {-2, -2, 2}},
        {"32767.5,32766.5", {0, 32766}},  // rounds out of range: does not convert
    };
    // clang-format on
    for (const auto& c : cases) {
        RipState state;
        Setfields(state, c.list);
        EXPECT_EQ(state.Fieldcount, static_cast<std::int64_t>(c.want.size())) << c.list;
        EXPECT_EQ(state.Fieldnum, c.want) << c.list;
        EXPECT_EQ(state.Fieldval.size(), c.want.size()) << c.list;
    }
}

TEST(Setfields, BlankListKeepsTheLastParse) {
    RipState state;
    for (const char* blank : {"", "   "}) {
        Setfields(state, blank);
        EXPECT_EQ(state.Fieldcount, 0);
        EXPECT_TRUE(state.Fieldnum.empty());
    }
    Setfields(state, "2,4");
    for (const char* blank : {"", " ", "    "}) {
        Setfields(state, blank);
        EXPECT_EQ(state.Fieldcount, 2);
        EXPECT_EQ(state.Fieldnum, (std::vector<std::int16_t>{2, 4}));
    }
    Setfields(state, "3");  // a new parse replaces everything, slots included
    EXPECT_EQ(state.Fieldcount, 1);
    EXPECT_EQ(state.Fieldnum, std::vector<std::int16_t>{3});
    EXPECT_EQ(state.Fieldval.size(), 1u);
}

TEST(Setfields, ListsPastThe16BitCounter) {
    // 40000 entries: more than a signed 16-bit counter could step through.
    std::string list;
    for (int i = 1; i <= 40000; ++i)
        list.append(i > 1 ? "," : "").append(std::to_string(i % 7 + 1));
    RipState state;
    Setfields(state, list);
    ASSERT_EQ(state.Fieldcount, 40000);
    ASSERT_EQ(state.Fieldnum.size(), 40000u);
    for (std::size_t i = 0; i < state.Fieldnum.size(); ++i) {
        ASSERT_EQ(state.Fieldnum[i], static_cast<std::int16_t>((i + 1) % 7 + 1)) << i;
    }
    Setfields(state, std::string(70000, ','));  // 70001 empty entries
    EXPECT_EQ(state.Fieldcount, 70001);
    EXPECT_EQ(state.Fieldnum, std::vector<std::int16_t>(70001, 0));
}

}  // namespace
}  // namespace kolvane
