// The field list's one grammar, read strictly (kolvane-rip) and leniently
// (the window's box), with names resolved against a header in the same call.
#include "fieldselect.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testutil.h"

namespace kolvane {
namespace {

const std::vector<std::string> kHeader{"id",   "Name",   "e-mail",     "Date, local",
                                       "Name", "  pad ", "say \"hi\"", "7"};

struct SelectCase {
    const char* name;
    std::string list;
    FieldReading reading;
    bool names;
    std::string want;  // the ranges "1-1,3-" and, after " | ", each problem "entry: why"
};

// A selection as "first-last,... | entry: why | ...", the form rows expect.
std::string shown(const FieldSelection& s) {
    std::string out = s.list ? "" : "none";
    for (const FieldRange& r : s.list ? s.list->entries() : std::vector<FieldRange>{}) {
        if (!out.empty()) out.push_back(',');
        out.append(std::to_string(r.first)).push_back('-');
        if (r.last != FieldList::kToLastField) out.append(std::to_string(r.last));
    }
    for (const FieldProblem& p : s.problems)
        out.append(" | ").append(p.entry).append(": ").append(p.why);
    return out;
}

class Select : public testing::TestWithParam<SelectCase> {};

TEST_P(Select, ReadsAndResolvesAsTheGrammarSays) {
    const SelectCase& c = GetParam();
    EXPECT_EQ(shown(selectFields(c.list, c.reading, c.names, &kHeader)), c.want);
}

constexpr auto S = FieldReading::strict, L = FieldReading::lenient;
const std::string kRule =
    ": a field is a whole number from 1 to 32767, or a range N-M (N not above M), N- or -M";
// clang-format off
const SelectCase kSelect[] = {
    // The window's box: every comma separates, a number may carry a sign or a
    // fraction (half to even), anything else gives an empty value and says so.
    {"LenientNumbers", " 2 , 4 ,,7", L, false, "2-2,4-4,0-0,7-7"},
    {"LenientFractionsHalfToEven", "1.5,2.5,0.5,2.51,-2.5", L, false, "2-2,2-2,0-0,3-3,-2--2 | 0.5: is not a field number: it gives an empty value | -2.5: is not a field number: it gives an empty value"},
    {"LenientPast16BitsAndSigns", "32767,40000,+3,-2", L, false, "32767-32767,0-0,3-3,-2--2 | 40000: is not a field number: it gives an empty value | -2: is not a field number: it gives an empty value"},
    {"LenientNoRangesTabsOrHex", "2-4,\t2,0x10", L, false, "0-0,0-0,0-0 | 2-4: is not a field number: it gives an empty value | \t2: is not a field number: it gives an empty value | 0x10: is not a field number: it gives an empty value"},
    {"LenientBlankKeepsTheLast", "   ", L, false, "none"},
    {"LenientNamesOnQuotedComma", "\"Date, local\",e-mail, nope ,Name", L, true, "4-4,3-3,0-0,0-0 | nope: is not a name in the first line: it gives an empty value | Name: names two fields (2 and 5): it gives an empty value"},
    {"LenientNumberLikeIsANumber", "7,1.5", L, true, "7-7,2-2"},
    // kolvane-rip: numbers 1..32767 and ranges; anything else is an error.
    {"StrictRanges", "1,3-5,7-,-2, 4 ,", S, false, "1-1,3-5,7-,1-2,4-4,0-0"},
    {"StrictZero", "0", S, false, "none | 0: field list entry \"0\"" + kRule},
    {"StrictDownRange", "4-2", S, false, "none | 4-2: field list entry \"4-2\"" + kRule},
    {"StrictFraction", "2.5", S, false, "none | 2.5: field list entry \"2.5\"" + kRule},
    {"StrictPast16Bits", "40000", S, false, "none | 40000: field list entry \"40000\"" + kRule},
    {"StrictNameWithoutHeader", "1,email", S, false, "none | email: field list entry \"email\"" + kRule},
    {"StrictBlank", "  ", S, false, "none | : the field list is empty"},
    // Names: exact, quoted where they hold a comma, edge spaces or quotes;
    // digits stay a number; a name two columns share is no column.
    {"StrictNamesAndNumbers", "e-mail,id, 4 ,2-3,6-", S, true, "3-3,1-1,4-4,2-3,6-"},
    {"StrictQuotedNames", "\"Date, local\",\"  pad \",\"say \"\"hi\"\"\"", S, true, "4-4,6-6,7-7"},
    {"StrictDigitsNameIsANumber", "7", S, true, "7-7"},
    {"StrictCaseMatters", "name", S, true, "none | name: no field is named \"name\"; the header's names are: id, Name, e-mail, \"Date, local\", Name, \"  pad \", \"say \"\"hi\"\"\", 7"},
    {"StrictSharedName", "id,Name", S, true, "none | Name: the field name \"Name\" names columns 2 and 5"},
    {"StrictEmptyQuotedName", "\"\"", S, true, "none | \"\": field list entry \"\": an empty name names no field"},
    {"StrictOpenQuotedName", "\"open,1", S, true, "none | \"open,1: field list entry \"open,1: a quoted name ends at its closing quote (\"\" for a quote)"},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Rows, Select, testing::ValuesIn(kSelect), test::rowName);

// Messages stay a line: a name is cut at 60 characters, its control bytes
// shown, and a header of thousands lists its first 20. Once a 500 MB name
// went to standard error whole.
TEST(Select, MessagesAreBoundedAndPrintable) {
    std::vector<std::string> header{std::string(100, 'x'), std::string("a\0b\x1b", 4)};
    for (int i = 0; i < 40; ++i) header.push_back(std::string(1, 'c').append(std::to_string(i)));
    const std::string why = selectFields("nope", S, true, &header).problems.at(0).why;
    std::string want = "no field is named \"nope\"; the header's names are: ";
    want.append(60, 'x').append(
        "\xe2\x80\xa6, a\\x00b\\x1b, c0, c1, c2, c3, c4, c5, c6, c7, c8, c9, ");
    want.append("c10, c11, c12, c13, c14, c15, c16, c17, ... (42 in all)");
    EXPECT_EQ(why, want);
}

// Past column 32767 a name resolves in a template, and in a list says why not.
TEST(Select, NamesPastTheListsReach) {
    std::vector<std::string> header;
    for (int i = 0; i <= 32768; ++i)
        header.push_back(std::string(1, 'c').append(std::to_string(i)));
    EXPECT_EQ(shown(selectFields("c32766", S, true, &header)), "32767-32767");
    EXPECT_EQ(shown(selectFields("c32767", S, true, &header)),
              "none | c32767: the field \"c32767\" is column 32768, past the 32767 a field list "
              "reaches; a template reaches it");
    EXPECT_EQ(std::get<0>(resolveTemplateNames("[c32766]/[c32767]", header)), "[32767]/[32768]");
}

TEST(Select, TemplateNamesBecomeNumbers) {
    EXPECT_EQ(std::get<0>(resolveTemplateNames("[e-mail] <[id]> [2] [nope] [7]", kHeader)),
              "[3] <[1]> [2] [nope] [7]");
    EXPECT_EQ(std::get<1>(resolveTemplateNames("[Name]", kHeader)),
              "the field name \"Name\" names columns 2 and 5");
}

}  // namespace
}  // namespace kolvane
