// Field names from a header line: read in a field list or a template, and
// turned into the numbers of the header's columns.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fieldnames.h"
#include "testutil.h"

namespace kolvane {
namespace {

const std::vector<std::string> kHeader{"id",   "Name",   "e-mail",     "Date, local",
                                       "Name", "  pad ", "say \"hi\"", "7"};

struct NameCase {
    const char* name;
    std::string list;  // a field list, or a template when `templ`
    std::string want;  // the numbers "1-1,3-3" or the template; or the message
    bool templ = false;
    bool fails = false;
};

// A resolved list as "first-last,...", the form rows expect.
std::string ranges(const FieldList& list) {
    std::string out;
    for (const FieldRange& r : list.entries()) {
        if (!out.empty()) out += ",";
        out += std::to_string(r.first) + "-" +
               (r.last == FieldList::kToLastField ? "" : std::to_string(r.last));
    }
    return out;
}

class Names : public testing::TestWithParam<NameCase> {};

TEST_P(Names, ResolveAgainstTheHeader) {
    const NameCase& c = GetParam();
    std::string got;
    if (c.templ) {
        auto t = resolveTemplateNames(c.list, kHeader);
        got = t.index() == 0 ? std::get<0>(t) : std::get<1>(t);
        EXPECT_EQ(t.index() == 1, c.fails);
    } else {
        auto entries = readFieldEntries(c.list, true);
        ASSERT_TRUE(std::holds_alternative<std::vector<FieldEntry>>(entries)) << c.list;
        auto list = resolveFieldNames(std::get<std::vector<FieldEntry>>(entries), kHeader);
        got = list.index() == 0 ? ranges(std::get<FieldList>(list)) : std::get<std::string>(list);
        EXPECT_EQ(list.index() == 1, c.fails);
    }
    EXPECT_EQ(got, c.want);
}

// clang-format off
const NameCase kNames[] = {
    {"InAnyOrder", "e-mail,id", "3-3,1-1"},
    {"MixedWithNumbersAndRanges", "id, 4 ,2-3,e-mail,6-", "1-1,4-4,2-3,3-3,6-"},
    {"DigitsAreANumberNotAName", "7", "7-7"},
    {"QuotedNameWithComma", "\"Date, local\",id", "4-4,1-1"},
    {"QuotedNameKeepsEdgeSpacesAndQuotes", "\"  pad \",\"say \"\"hi\"\"\"", "6-6,7-7"},
    {"CaseMatters", "name", "no field is named \"name\"; the header's names are: id, Name, e-mail, Date, local, Name,   pad , say \"hi\", 7", false, true},
    {"SharedNameWhenUsed", "id,Name", "the field name \"Name\" names columns 2 and 5", false, true},
    {"TemplateNamesAndNumbers", "[e-mail] <[id]> [2] [nope] [7]", "[3] <[1]> [2] [nope] [7]", true},
    {"TemplateSharedName", "[Name]", "the field name \"Name\" names columns 2 and 5", true, true},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Rows, Names, testing::ValuesIn(kNames), test::rowName);

TEST(Names, WithoutAHeaderANameIsNoEntry) {
    auto entries = readFieldEntries("1,email", false);
    ASSERT_TRUE(std::holds_alternative<std::string>(entries));
    EXPECT_EQ(std::get<std::string>(entries),
              "field list entry \"email\": a field is a whole number from 1 to 32767, or a range "
              "N-M (N not above M), N- or -M");
    EXPECT_TRUE(std::holds_alternative<std::string>(readFieldEntries("\"open,1", true)));
}

}  // namespace
}  // namespace kolvane
