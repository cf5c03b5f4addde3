// One line at a time through Ripper::splitline: plain mode, smart-combine
// templates and the skip rule, emitting into the result list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rip.h"
#include "testutil.h"

namespace kolvane {
namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

struct RipCase {
    const char* name;
    std::string split;
    std::string join;
    std::string fields;  // field list, or the template when smart
    bool smart;
    bool skip;
    Lines lines;
    Lines want;  // the result list after the lines, in order
};

void PrintTo(const RipCase& c, std::ostream* os) {
    *os << c.name;
}

std::string ripName(const testing::TestParamInfo<RipCase>& info) {
    return info.param.name;
}

class RipLines : public testing::TestWithParam<RipCase> {};

TEST_P(RipLines, GivesTheResultList) {
    const RipCase& c = GetParam();
    test::Rig rig;
    rig.host.current = {.split = c.split,
                        .join = c.join,
                        .fields = c.fields,
                        .skipEmpty = c.skip,
                        .smart = c.smart};
    rig.prepare();
    std::int64_t number = 0;
    for (const auto& line : c.lines) ASSERT_FALSE(rig.ripper.splitline(line, ++number));
    EXPECT_EQ(test::items(rig.store), c.want);
    EXPECT_EQ(rig.state.Ripcount, static_cast<std::int64_t>(c.want.size()));
}

const std::string kEleven = "f1|f2|f3|f4|f5|f6|f7|f8|f9|f10|f11";

// clang-format off
// name, split, join, field list or template, smart, skip, lines, result list
INSTANTIATE_TEST_SUITE_P(Plain, RipLines, testing::Values(
    RipCase{"Pick", "|", ":", "2,4", false, false, {"a|b|c|d"}, {"b:d"}},
    RipCase{"ListOrder", "|", ":", "4,2", false, false, {"a|b|c|d"}, {"d:b"}},
    RipCase{"Twice", "|", ":", "2,2", false, false, {"a|b|c|d"}, {"b:b"}},
    RipCase{"MultiByteSplit", "::", ":", "3", false, false, {"a::b::c"}, {"c"}},
    RipCase{"NoOverlap", "::", "-", "1,2", false, false, {":::"}, {"-:"}},
    RipCase{"Utf8Split", "\xc2\xa6", " => ", "2,1", false, false,
            {"\xce\xb1\xc2\xa6\xce\xb2"}, {"\xce\xb2 => \xce\xb1"}},
    RipCase{"KeepsSpaces", "|", ":", "2", false, false, {"a| b |c"}, {" b "}},
    RipCase{"NoSplitInLine", "|", ":", "1", false, false, {"abc"}, {"abc"}},
    RipCase{"EmptySplitIsOneField", "", ":", "1,2", false, false, {"a|b"}, {"a|b:"}},
    // Never the 'e' of the line before.
    RipCase{"MissingFieldIsEmpty", "|", ":", "5,1", false, false,
            {"a|b|c|d|e", "x|y"}, {"e:a", ":x"}},
    RipCase{"ZeroAndNegativeMatchNothing", "|", ":", "0,-1,x,1", false, false, {"a|b"}, {":::a"}},
    RipCase{"EmptyLinesEmitNothing", "|", ":", "2", false, false, {"", "a|b", ""}, {"b"}},
    RipCase{"SpacesAreNotEmpty", "|", ":", "1", false, false, {"   "}, {"   "}},
    RipCase{"NoListGivesEmptyLines", "|", ":", "", false, false, {"a|b", "c"}, {"", ""}},
    RipCase{"BytesExactly", "|", "\0"s, "3,2,1", false, false,
            {"\xe9t\xe9|\0\xff\xfe|\xc3("s}, {"\xc3(\0\0\xff\xfe\0\xe9t\xe9"s}},
    RipCase{"NulSplit", "\0"s, ",", "2", false, false, {"a\0b\0c"s}, {"b"}}), ripName);

INSTANTIATE_TEST_SUITE_P(PlainSkip, RipLines, testing::Values(
    RipCase{"BlankValue", "|", ":", "2", false, true,
            {"a||c", "a|  |c", "a|\t|c", "a|b|c"}, {"\t", "b"}},
    RipCase{"MissingField", "|", ":", "2,5", false, true, {"a|b|c|d|e", "a|b"}, {"b:e"}},
    RipCase{"UnconvertibleEntry", "|", ":", "x,1", false, true, {"a", "b|c"}, {}},
    RipCase{"NoListNeverSkips", "|", ":", "", false, true, {"a"}, {""}},
    RipCase{"SkipOff", "|", ":", "2", false, false, {"a||c"}, {""}}), ripName);

INSTANTIATE_TEST_SUITE_P(Template, RipLines, testing::Values(
    RipCase{"Swap", "|", ":", "[2]-[1]", true, false, {"a|b|c"}, {"b-a"}},
    RipCase{"Twice", "|", ":", "[1]/[1]", true, false, {"x|y"}, {"x/x"}},
    RipCase{"MissingStays", "|", ":", "<[3]>", true, false, {"a|b"}, {"<[3]>"}},
    RipCase{"LastTrimmed", "|", ":", "[1][3]", true, false, {"a|b| c "}, {"ac"}},
    RipCase{"OthersKeepSpaces", "|", ":", "[1]|[2]", true, false, {" a | b "}, {" a |b"}},
    RipCase{"NotLastNotTrimmed", "|", ":", "([3])", true, false, {"a|b| c |d"}, {"( c )"}},
    RipCase{"TemplateTrimmed", "|", ":", "  [1] ", true, false, {"a|b"}, {"a"}},
    RipCase{"TenIsNotOne", "|", ":", "[1]:[10]:[11]", true, false, {kEleven}, {"f1:f10:f11"}},
    RipCase{"ZeroAndLeadingZeroLiteral", "|", ":", "[0][01][1]", true, false,
            {"a|b"}, {"[0][01]a"}},
    // Placeholders are replaced one field after the other, so a value can
    // bring in a placeholder that a later field fills.
    RipCase{"ValueFormsPlaceholder", "|", ":", "[1]-[2]", true, false, {"x[2]|y"}, {"xy-y"}},
    RipCase{"ValueNamesLaterField", "|", ":", "[1]-[2]", true, false, {"[3]|b|c"}, {"c-b"}},
    RipCase{"StrayBrackets", "|", ":", "[[1]] [x] ]2[ [2", true, false,
            {"a|b"}, {"[a] [x] ]2[ [2"}},
    RipCase{"StrayBracketJoinsValue", "|", ":", "[1]2]", true, false, {"[|z"}, {"z"}},
    RipCase{"EmptySplit", "", ":", "[1]-[2]", true, false, {" a|b "}, {"a|b-[2]"}},
    RipCase{"MultiByteSplit", "<>", ":", "[3][1]", true, false, {"a<>b<> c"}, {"ca"}},
    RipCase{"NoPlaceholder", "|", ":", "fixed", true, false, {"a|b", ""}, {"fixed"}}), ripName);

INSTANTIATE_TEST_SUITE_P(TemplateSkip, RipLines, testing::Values(
    RipCase{"NamedBlank", "|", ":", "[1]+[2]", true, true, {"a||c"}, {}},
    RipCase{"UnnamedBlank", "|", ":", "[1]", true, true, {"a||c"}, {"a"}},
    RipCase{"LastNeverTested", "|", ":", "[3]", true, true, {"a|b|"}, {""}},
    RipCase{"SpacesAreBlank", "|", ":", "[1]", true, true, {"  |b"}, {}},
    // The placeholder for 2 exists only after field 1 has been put in.
    RipCase{"NamedByEarlierValue", "|", ":", "[1]", true, true, {"[2]| |c"}, {}},
    RipCase{"MissingNotTested", "|", ":", "[1][5]", true, true, {"a|b"}, {"a[5]"}}), ripName);
// clang-format on

TEST(Ripper, BlankListAndTemplatesKeepTheLastParse) {
    test::Rig rig;
    auto ripOne = [&](std::string fields, bool smart) {
        rig.host.current = {.fields = std::move(fields), .smart = smart};
        rig.prepare();
        EXPECT_FALSE(rig.ripper.splitline("a|b|c", 1));
        return test::items(rig.store);
    };
    EXPECT_EQ(ripOne("3,1", false), Lines{"c:a"});
    EXPECT_EQ(ripOne("  ", false), Lines{"c:a"});  // store cleared, list kept
    EXPECT_EQ(ripOne("[2]", true), Lines{"b"});
    EXPECT_EQ(rig.state.Fieldnum, (std::vector<std::int16_t>{3, 1}));
    EXPECT_EQ(ripOne("", false), Lines{"c:a"});
}

TEST(Ripper, WideLines) {
    for (int separators : {32767, 32768, 1000000}) {
        std::string line;
        for (int i = 1; i <= separators + 1; ++i)
            line.append(i > 1 ? "|v" : "v").append(std::to_string(i));
        ASSERT_EQ(Countvalue(line, "|"), separators);
        // Built with append where GCC 12 warns wrongly (-Wrestrict) on "x" + string.
        const std::string last = std::to_string(separators + 1);
        const std::string beyond = "[" + std::to_string(separators + 2).append("]");
        struct {
            std::string fields;
            bool smart;
            std::string want;
        } const rows[] = {
            // Plain field numbers stop at 32767; a template reaches any field.
            {"32767,1", false, "v32767:v1"},
            {"[" + std::string(last).append("]<[1]"), true, "v" + std::string(last).append("<v1")},
            {beyond, true, beyond},
        };
        for (const auto& row : rows) {
            test::Rig rig;
            rig.host.current = {.fields = row.fields, .skipEmpty = true, .smart = row.smart};
            rig.prepare();
            ASSERT_FALSE(rig.ripper.splitline(line, 1));
            EXPECT_EQ(test::items(rig.store), Lines{row.want}) << separators << " " << row.fields;
        }
    }
}

}  // namespace
}  // namespace kolvane
