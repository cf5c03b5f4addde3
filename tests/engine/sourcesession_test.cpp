// The source session: the header record's names as a dialect reads them,
// and why every result of the first records is empty.
#include "sourcesession.h"

#include <gtest/gtest.h>

#include <string>

#include "testutil.h"

namespace kolvane {
namespace {

struct EmptyCase {
    const char* name;
    std::string sample;
    Settings settings;
    bool names;
    std::string why;  // "" when the records give a value
};

class WhyEmpty : public testing::TestWithParam<EmptyCase> {};

TEST_P(WhyEmpty, NamesTheCauseTheRecordsShow) {
    const EmptyCase& c = GetParam();
    SourceSession session;
    session.setSample({c.sample, {}, false});
    const FieldList list = session.fields(c.settings, c.names).list.value_or(FieldList());
    EXPECT_EQ(session.whyEmpty(c.settings, c.names, list), c.why);
}

const std::string kCustomers = "id,name,email\r\n1,Anna,a@x\r\n2,Ben,\r\n";
// clang-format off
const EmptyCase kEmpty[] = {
    {"SplitNeverOccurs", kCustomers, {.split = "|", .fields = "3,2"}, false, "the split string '|' occurs in none of the first lines"},
    {"EntryNamesNoField", kCustomers, {.split = ",", .fields = "email;name"}, true, "the fields box: 'email;name' is not a name in the first line: it gives an empty value"},
    {"FieldBeyondTheRecords", kCustomers, {.split = ",", .fields = "4,9"}, false, "no field chosen is among the 3 fields of the first lines"},
    {"ValuesEmpty", "a,,\r\nb,,\r\n", {.split = ",", .fields = "2,3"}, false, "the fields chosen are blank in the first lines"},
    {"SomeValueGiven", kCustomers, {.split = ",", .fields = "3"}, true, ""},
    // The header is the first record as the dialect reads it: a quoted name may span lines.
    {"QuotedHeaderOverLines", "id,\"a\nb\"\n1,\n", {.split = ",", .fields = "\"a\nb\"", .quoted = true}, true, "the fields chosen are blank in the first records"},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Rows, WhyEmpty, testing::ValuesIn(kEmpty), test::rowName);

// The names follow the dialect asked; a header read whole by a rip wins over
// the sample's first record for the dialect it was read by.
TEST(SourceSession, NamesFollowTheDialect) {
    SourceSession session;
    session.setSample({"a|\"b|c\"\r\n1|2\r\n", {}, false});
    EXPECT_EQ(*session.names({"|", false}), (std::vector<std::string>{"a", "\"b", "c\""}));
    EXPECT_EQ(*session.names({"|", true}), (std::vector<std::string>{"a", "b|c"}));
    session.useHeader(
        std::move(*SourceSession::readHeader(std::make_unique<test::StringSource>("x|y\n", 2),
                                             "src.txt", {"|", false}, false, [] { return true; })));
    EXPECT_EQ(*session.names({"|", false}), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(*session.names({"|", true}), (std::vector<std::string>{"a", "b|c"}));
}

}  // namespace
}  // namespace kolvane
