// The field list, and lines ripped through the window's rip and through the
// block rip: plain mode, smart-combine templates and the skip rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parallelrip.h"
#include "ripplan.h"
#include "testutil.h"
#include "windowripper.h"

namespace kolvane {
namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

TEST(countSeparators, CountsNonOverlappingFromTheLeft) {
    const std::tuple<const char*, const char*, std::int64_t> cases[] = {
        {"a|b|c", "|", 2}, {"", "|", 0},      {"||", "|", 2},
        {":::", "::", 1},  {"::::", "::", 2}, {"aaaaa", "aa", 2},
        {"aXbxc", "x", 1}, {"abc", "", 0},    {"\xc2\xa6x\xc2\xa6", "\xc2\xa6", 2}};
    for (auto [text, sep, want] : cases) EXPECT_EQ(countSeparators(text, sep), want) << text << sep;
}

struct RipCase {
    const char* name;
    std::string fields;  // the field list, or the template when templated
    Lines lines, want;   // want: the result list after the lines, in order
    bool templated = false, skip = false;
    std::string split = "|", join = ":";
    std::vector<FieldRange> ranges{};  // when given, the field list instead of `fields`
    bool quoted = false;
    QuoteOutput quoteOutput = QuoteOutput::needed;
};
Settings settingsOf(const RipCase& c) {
    Settings s{c.split, c.join, c.fields, c.skip, c.templated};
    s.quoted = c.quoted;
    s.quoteOutput = c.quoteOutput;
    return s;
}

class RipLines : public testing::TestWithParam<RipCase> {};

TEST_P(RipLines, GivesTheResultList) {
    const RipCase& c = GetParam();
    test::Rig rig;
    rig.current = settingsOf(c);
    if (!c.ranges.empty()) rig.list = FieldList(c.ranges);
    std::string text;
    for (const auto& line : c.lines) text += line + "\n";
    ASSERT_FALSE(rig.run(text).error);
    EXPECT_EQ(test::items(rig.store), c.want);
    EXPECT_EQ(rig.ripper.ripcount(), std::ssize(c.want));
}

// The command line's block rip, where most rows take the copier's loop and
// the rest the line ripper, gives the same list.
TEST_P(RipLines, BlockRipGivesTheSame) {
    const RipCase& c = GetParam();
    const FieldList list(c.ranges);
    std::string text, want;
    for (const auto& line : c.lines) text += line + "\n";
    for (const auto& item : c.want) want += item + "\r\n";
    const auto o = test::ripToFile(
        text, settingsOf(c), 1,
        {.block = ParallelRipper::kBlockSize, .fields = c.ranges.empty() ? nullptr : &list});
    EXPECT_EQ(o.file, want);
    EXPECT_EQ(o.count, std::ssize(c.want));
}

// Every line of the row through the general path alone, which takes the
// lines the copier leaves: the two must give the same list.
TEST_P(RipLines, GeneralPathGivesTheSame) {
    const RipCase& c = GetParam();
    const Settings s = settingsOf(c);
    const RipPlan plan(s, c.ranges.empty() ? fieldListFor(s, {}) : FieldList(c.ranges));
    LineRipper ripper;
    ripper.configure(plan);
    Lines got;
    for (const auto& line : c.lines) {
        std::string out;
        if (!line.empty() && (ripper.rip(line, out) || !c.skip)) got.push_back(out);
    }
    EXPECT_EQ(got, c.want);
}

// n copies of `text` joined by `join`.
std::string repeated(const std::string& text, int n, const std::string& join) {
    std::string out = text;
    for (int i = 1; i < n; ++i) out.append(join).append(text);
    return out;
}
// A line of fields "1" to "n".
std::string numbered(int n) {
    std::string line = "1";
    for (int i = 2; i <= n; ++i) line.append("|").append(std::to_string(i));
    return line;
}

constexpr bool T = true, F = false;
constexpr std::int32_t kEnd = FieldList::kToLastField;
// clang-format off
// name, field list or template, lines, result list, smart, skip, split, join
const RipCase kRipCases[] = {
    {"OrderAndRepeat", "4,2,4", {"a|b|c|d"}, {"d:b:d"}},
    {"ListPast16Bits", std::string(40000, ',') + "2", {"a|b"}, {std::string(40000, ':') + "b"}},
    {"MultiByteNoOverlap", "3,2", {"a::b:::c"}, {":c-b"}, F, F, "::", "-"},
    {"Utf8Split", "2,1", {"\xce\xb1\xc2\xa6\xce\xb2"}, {"\xce\xb2:\xce\xb1"}, F, F, "\xc2\xa6"},
    {"KeepsSpaces", "2,1", {"a| b |c", "   "}, {" b :a", ":   "}},
    {"EmptySplitIsOneField", "1,2", {"a|b"}, {"a|b:"}, F, F, ""},
    {"MissingFieldIsEmpty", "5,1", {"a|b|c|d|e", "x"}, {"e:a", ":x"}},  // never the line before's
    {"ZeroAndNegativeMatchNothing", "0,-1,x,1", {"a|b"}, {":::a"}},
    {"NoListEmptyLineNothing", "", {"a|b", "", "c"}, {"", ""}},
    {"BytesExactly", "3,2,1", {"\xe9t\xe9|\0\xff\xfe|\xc3("s}, {"\xc3(:\0\xff\xfe:\xe9t\xe9"s}},
    {"NulSplitAndJoin", "3,1", {"a\0b\0c"s}, {"c\0a"s}, F, F, "\0"s, "\0"s},
    {"SkipBlankNotTab", "2", {"a||c", "a|  |c", "a|\t|c", "a|b|c"}, {"\t", "b"}, F, T},
    {"SkipMissingField", "2,5", {"a|b|c|d|e", "a|b"}, {"b:e"}, F, T},
    {"SkipUnconvertibleEntry", "x,1", {"a", "b|c"}, {}, F, T},
    {"SkipNeverWithoutList", "", {"a"}, {""}, F, T},
    // Ranges, as the command line builds them: fields a line lacks read empty,
    // and a range to the end that starts beyond it still gives one value.
    {"Ranges", "", {"a|b|c|d|e|f", "a|b|c"}, {"b:c:e:f:a", "b:c::a"}, F, F, "|", ":", {{2, 3}, {5, kEnd}, {1, 1}}},
    {"RangePastLineEnd", "", {"a|b", "a"}, {"b-", "-"}, F, F, "|", "-", {{2, 3}}},
    {"RangeToEndMultiByte", "", {"a::b:::c", "a"}, {"b/:c", ""}, F, F, "::", "/", {{2, kEnd}}},
    // More fields than the cutter first has room for, found mid-line.
    {"RangeToEndPast16Fields", "", {"1|2|3|4|5|6|7|8|9|10|11|12|13|14|15|16|17|18|19|20"}, {"1:2:3:4:5:6:7:8:9:10:11:12:13:14:15:16:17:18:19:20"}, F, F, "|", ":", {{1, kEnd}}},
    {"RangeSkipsOnMissingOrBlank", "", {"a|b|c", "a|b", "a| |c"}, {"a:b:c"}, F, T, "|", ":", {{1, 3}}},
    {"Template", "[2]-[1]/[2]", {"a|b|c"}, {"b-a/b"}, T},
    {"MissingStays", "<[3]>", {"a|b"}, {"<[3]>"}, T},
    {"LastTrimmedOthersNot", "  [1]|[2] ", {" a | b "}, {" a |b"}, T},
    {"NotLastNotTrimmed", "([3])", {"a|b| c |d"}, {"( c )"}, T},
    {"TenIsNotOne", "[1]:[10]:[11]", {"1|2|3|4|5|6|7|8|9|10|11"}, {"1:10:11"}, T},
    {"NineAndNineteen", "[9]/[19]", {"1|2|3|4|5|6|7|8|9|10|11|12|13|14|15|16|17|18|19|20"}, {"9/19"}, T},
    {"ZeroAndLeadingZeroLiteral", "[0][01][1]", {"a|b"}, {"[0][01]a"}, T},
    {"ValueNamesLaterField", "[1]-[2]", {"x[3]|b|c"}, {"xc-b"}, T},  // fields go in one by one
    {"StrayBrackets", "[[1]] [x] ]2[ [2", {"a|b"}, {"[a] [x] ]2[ [2"}, T},
    {"StrayBracketJoinsValue", "[1]2]", {"[|z"}, {"z"}, T},
    {"TemplateEmptySplit", "[1]-[2]", {" a|b "}, {"a|b-[2]"}, T, F, ""},
    {"TemplateMultiByteSplit", "[3][1]", {"a<>b<> c"}, {"ca"}, T, F, "<>"},
    {"MultiByteNotLastKeepsSpaces", "[2]", {"a<> b <>c"}, {" b "}, T, F, "<>"},
    {"NoPlaceholder", "fixed", {"a|b", ""}, {"fixed"}, T},
    // A named blank skips, an unnamed one does not, the last field is never tested.
    {"TemplateSkip", "[1]+[3]", {"a||c", "|b|c", "  |b|c", "a|b|"}, {"a+c", "a+"}, T, T},
    {"SkipNamedByEarlierValue", "[1]", {"[2]| |c"}, {}, T, T},
    {"SkipMissingNotTested", "[1][5]", {"a|b"}, {"a[5]"}, T, T},
    // Quoted: values unquoted, never quoted again; the last one, blank or not, trimmed.
    {"QuotedTemplateLastTrimmed", "[1]-[2]", {"\"a\",", "b,\" \"", "\"c,d\",\"  e \""}, {"a-", "b-", "c,d-e"}, T, F, ",", ":", {}, true},
    // Replaced one field after the other, still by the quotes: once broke.
    {"QuotedTemplateStrayBracket", "[2] [1] ]", {"\"a,x\",b"}, {"b a,x ]"}, T, F, ",", ":", {}, true},
    {"QuotedValueHoldsBracket", "[2]-[1]", {"\"x,y]\",b", "\"[2]\",c"}, {"b-x,y]", "c-c"}, T, F, ",", ":", {}, true},
    // Always means every value, a field the record lacks too: once written as nothing.
    {"QuotedAlwaysQuotesAMissingField", "1,2", {"a", "\"b\",\"\""}, {"\"a\",\"\"", "\"b\",\"\""}, F, F, ",", ",", {}, true, QuoteOutput::always},
    // A quote right after a split string of two bytes opens a value.
    {"QuotedMultiByteSplitOpensAQuote", "2,3", {"a<>\"b<>c\"<>d"}, {"b<>c:d"}, F, F, "<>", ":", {}, true},
    // Where the copier hands over to the general path: more values, a
    // higher field, or a result that may pass its bound.
    {"SixtyFourValues", repeated("2", 64, ","), {"a|bc"}, {repeated("bc", 64, ":")}},
    {"SixtyFiveValues", repeated("2", 65, ","), {"a|bc"}, {repeated("bc", 65, ":")}},
    {"Field256", "256,1", {numbered(257)}, {"256:1"}},
    {"Field257", "257,1", {numbered(257)}, {"257:1"}},
    {"TemplateField257", "[257]-[256]", {numbered(257)}, {"257-256"}, T},
    {"ResultNearTheBound", "1,1", {std::string(32700, 'x')}, {repeated(std::string(32700, 'x'), 2, ":")}},
    {"ResultPastTheBound", "1,1", {std::string(32800, 'x')}, {repeated(std::string(32800, 'x'), 2, ":")}},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Rows, RipLines, testing::ValuesIn(kRipCases), test::rowName);

TEST(WindowRipper, BlankListKeepsTheLastParseAndTemplatesLeaveIt) {
    test::Rig rig;
    auto ripOne = [&](std::string fields, bool smart) {
        rig.current = {.fields = std::move(fields), .templateMode = smart};
        EXPECT_FALSE(rig.run("a|b|c").error);
        return test::items(rig.store);
    };
    EXPECT_EQ(ripOne("3,1", false), Lines{"c:a"});
    EXPECT_EQ(ripOne("  ", false), Lines{"c:a"});  // the list cleared, the parse kept
    EXPECT_EQ(ripOne("[2]", true), Lines{"b"});
    EXPECT_EQ(ripOne("", false), Lines{"c:a"});
}

// Plain field numbers stop at 32767; a template reaches any field.
TEST(WindowRipper, WideLines) {
    for (int separators : {32767, 32768, 1000000}) {
        std::string line = "v1";
        for (int i = 2; i <= separators + 1; ++i) line.append("|v").append(std::to_string(i));
        const std::string last = std::to_string(separators + 1);
        const std::string beyond = "[" + std::to_string(separators + 2).append("]");
        for (auto [fields, smart, want] :
             {std::tuple<std::string, bool, std::string>{"32767,1", false, "v32767:v1"},
              {"[" + last + "]<[1]/" + beyond, true, "v" + last + "<v1/" + beyond}}) {
            test::Rig rig;
            rig.current = {.fields = fields, .skipEmpty = true, .templateMode = smart};
            ASSERT_FALSE(rig.run(line).error);
            EXPECT_EQ(test::items(rig.store), Lines{want}) << separators << " " << fields;
        }
    }
}

}  // namespace
}  // namespace kolvane
