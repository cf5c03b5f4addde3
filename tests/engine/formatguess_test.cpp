// The format guess on one sample of each kind a user is handed, and what a
// cell looks like to it.
#include "formatguess.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "cellkind.h"
#include "testutil.h"
#include "textcheck.h"

namespace kolvane {
namespace {

using namespace std::string_literals;

// `rows` records made by `row(i)`, after `top`.
template <class Row>
std::string table(std::string top, int rows, Row row) {
    for (int i = 1; i <= rows; ++i) top += row(i);
    return top;
}
template <class... Parts>
std::string cat(const Parts&... parts) {
    std::string out;
    ((out += parts), ...);
    return out;
}
std::string n(int i) {
    return std::to_string(i);
}
const char* kName[] = {"Anna Berg", "Lars Li", "José García", "Olga Petrova", "Chen"};
const char* kWord[] = {"late", "box damaged, call", "refund: see note", "ok", "signed by desk"};

struct GuessCase {
    const char* name;
    std::string sample;
    std::string split;
    bool quoted = false, header = false;
    std::size_t titleLines = 0;
    std::string encoding{};
    bool whole = true;
    std::optional<std::string> also{};
};

class Guesses : public testing::TestWithParam<GuessCase> {};

TEST_P(Guesses, AsARipNeedsIt) {
    const GuessCase& c = GetParam();
    Expected<FormatGuess> g = guessFormat(c.sample, c.whole);
    ASSERT_TRUE(g) << g.error().message();
    EXPECT_EQ(g->split, c.split);
    EXPECT_EQ(g->quoted, c.quoted);
    EXPECT_EQ(g->header, c.header);
    EXPECT_EQ(g->titleLines, c.titleLines);
    EXPECT_EQ(g->encoding, c.encoding);
    EXPECT_EQ(g->alsoPossible, c.also);
}

// Each code unit of `ascii` as UTF-16 without a mark.
std::string utf16(std::string_view ascii, bool bigEndian) {
    std::string out;
    for (char c : ascii)
        out += bigEndian ? cat("\0"s, std::string(1, c)) : cat(std::string(1, c), "\0"s);
    return out;
}

// clang-format off
const GuessCase kGuesses[] = {
    {"CommaWithHeader", table("id,name,amount\r\n", 30, [](int i) {
        return cat(n(i), ",", kName[i % 5], ",", n(i * 37 % 500), ".5\r\n"); }), ",", false, true},
    {"SemicolonWithDecimalCommas", table("Datum;Betrag;Menge\n", 30, [](int i) {
        return cat("0", n(i % 9 + 1), ".03.2024;", n(i * 13), ",", n(i % 90 + 10), ";1,5\n"); }),
     ";", false, true},
    {"TabLogWithoutHeader", table("", 30, [](int i) {
        return cat("2024-05-0", n(i % 9 + 1), " 12:0", n(i % 10), "\tINFO\t", kWord[i % 5], "\n"); }),
     "\t", false, false},
    {"PipeDump", table("", 30, [](int i) {
        return cat(n(i), "|", kName[i % 5], "||", n(i % 3), "|\n"); }), "|"},
    {"QuotedCommasAndLineEnds", table("name,note,qty\n", 30, [](int i) {
        return cat("\"", kName[i % 5], ", Dr\",\"", kWord[i % 5], i % 4 ? "" : "\nsecond line",
                   "\",", n(i), "\n"); }), ",", true, true},
    {"PipesMoreFrequentInsideQuotes", table("id,tags\n", 30, [](int i) {
        return cat(n(i), ",\"red|green|blue|", n(i), "\"\n"); }), ",", true, true},
    {"TitleLineBeforeHeader", table("Sales report 2024\nregion,units,price\n", 30, [](int i) {
        return cat(kName[i % 5], ",", n(i), ",", n(i * 3), ".25\n"); }), ",", false, true, 1},
    {"CommentLinesOnTop", table("# exported 2024-01-02\n# rows: 30\n", 30, [](int i) {
        return cat(n(i), "\t", n(i * 7), "\t", kWord[i % 5], "\n"); }), "\t", false, false, 2},
    {"OneColumnOfNames", table("", 30, [](int i) { return cat(kName[i % 5], "\n"); }), ""},
    {"OneColumnWithAQuoteNeverClosed", "12\n\"34\n56\n", ""},
    {"OneColumnOfDecimalCommaNumbers", table("value\n", 30, [](int i) {
        return cat(n(i), ",", n(i % 90 + 10), "\n"); }), "", false, true},
    {"OneColumnOfTimesAndAddresses", table("", 30, [](int i) {
        return i % 3 ? cat("https://example.org/", n(i), "\n") : cat("12:", n(i + 10), ":00\n"); }), ""},
    {"OneColumnOfSentences", table("", 30, [](int i) {
        const char* commas[] = {" ", ", ", ", and, ", ", then, so, "};  // as prose has them
        return cat(kName[i % 5], commas[i % 4], kWord[(i * 3) % 5], i % 2 ? "; " : ": ",
                   kWord[i % 4 == 1 ? 0 : 3], ".\n"); }), ""},
    {"ColonSeparated", table("", 20, [](int i) {
        return cat("user", n(i), ":x:", n(1000 + i), ":", kName[i % 5], ",,,:/home/u", n(i), "\n"); }),
     ":"},
    {"SpaceSeparatedNumbers", table("x y z\n", 30, [](int i) {
        return cat(n(i), ".5 ", n(i * 3), " -", n(i % 7), ".25\n"); }), " ", false, true},
    {"LongerSplitAroundEmptyValues", table("a||b||c\n", 30, [](int i) {
        return cat(n(i), "||", i % 4 ? kName[i % 5] : "", "||x", n(i), "\n"); }), "||", false, true},
    {"CaretSeparated", table("", 20, [](int i) { return cat(n(i), "^", kName[i % 5], "^ok\n"); }), "^"},
    {"SingleRecordWithoutLineEnd", "alpha,beta,gamma", ","},
    {"CutSampleInsideQuotes", table("k,v\n", 30, [](int i) {
        return cat(n(i), ",\"", kWord[i % 5], "\"\n"); }) + "31,\"cut he", ",", true, true, 0, "", false},
    {"Windows1252", table("", 20, [](int i) { return cat("caf\xe9;", n(i), ";\x93ok\x94\n"); }),
     ";", false, false, 0, "cp1252"},
    {"Cyrillic1251", table("", 20, [](int i) {
        return cat("\xcc\xee\xf1\xea\xe2\xe0,", n(i), ",\xc8\xe2\xe0\xed\n"); }), ",", false, false, 0, "cp1251"},
    {"Utf8CutAtTheEnd", "a,b\n1,2\n3,\xc3\xa9\n4,\xc3"s, ",", false, true, 0, "", false},
    // Once guessed cp1251 (and cp1252): a whole file whose last character is cut is UTF-8.
    {"Utf8WholeFileCutInItsLastCharacter", "id,city\n1,\xd0\x98\xd0\xb2\xd0\xb0\n2,\xd0\x9c\xd0\xb8\xd1\x80\n3,\xd0"s,
     ",", false, true},
    // Once one column of decimal commas, and "19580329,316.1" once one number.
    {"NamesOverIntegerPairs", "id,count\n1,340\n1,389\n1,390\n2,17\n", ",", false, true},
    {"NamesOverDatesAndDecimals", table("date,co2\n", 30, [](int i) {
        return cat("195803", n(10 + i), ",3", n(10 + i), ".1\n"); }), ",", false, true},
    // Once no quotes: the first quoted value stands far past the records weighed.
    {"QuotesFirstPastTheRecordsWeighed", table("id,name\n", 1500, [](int i) {
        return i == 1400 ? "1400,\"Berg, Anna\"\n"s : cat(n(i), ",", kName[i % 5], "\n"); }), ",", true, true},
    // Once no quotes: a whole file cut inside its last quoted value.
    {"WholeFileCutInsideAQuotedValue", table("k,v\n", 30, [](int i) {
        return cat(n(i), ",\"", kWord[i % 5], "\"\n"); }) + "31,\"cut he", ",", true, true},
    {"MarklessUtf16LittleEndian", utf16("id;n\n1;2,5\n2;3,5\n", false), ";", false, true, 0, "utf-16le"},
    {"MarklessUtf16BigEndian", utf16("id;n\n1;2,5\n2;3,5\n", true), ";", false, true, 0, "utf-16be"},
    // Once "binary data": a stray NUL or a few overstruck letters.
    {"StrayNulInText", table("", 100, [](int i) { return cat(n(i), ",", kName[i % 5], "\n"); }) + "x,\0\n"s, ","},
    // Comment lines among the records, and '#' after the values: ';' parts them.
    {"CommentLinesThroughout", table("# Blocks.txt\n# Date: 2022\n#\n", 40, [](int i) {
        return cat(i % 7 ? "" : "# block\n", "00", n(i + 10), "; 00", n(i + 11), "; o # ", kWord[i % 5], "\n"); }),
     ";", false, false, 3},
    {"ArffPreamble", table("% iris\n@relation iris\n@attribute a numeric\n@attribute b numeric\n"
                           "@attribute class {x,y}\n@data\n", 30, [](int i) {
        return cat(n(i), ".5,", n(i % 4), ".2,", i % 2 ? "x" : "y", "\n"); }), ",", false, false, 6},
    {"CommentedHeaderLine", table("#chrom\tstart\tend\n", 20, [](int i) {
        return cat("chr", n(i % 3 + 1), "\t", n(i * 100), "\t", n(i * 100 + 50), "\n"); }), "\t", false, true},
    // Names outnumber the fields of records that leave the empty ones out.
    {"HeaderLongerThanItsRecords", table("version,codename,created,eol,eol-lts\n", 20, [](int i) {
        return cat(n(i), ".0,", kName[i % 5], ",19", n(70 + i), "-01-0", n(i % 9 + 1), "\n"); }),
     ",", false, true},
    {"YearsNameColumnsOfAmounts", table("Country,Code,1960,1961,1962\n", 20, [](int i) {
        return cat(kName[i % 5], ",C", n(i), ",", n(i % 7), ".82,", n(i % 5), ".655,3.", n(i), "\n"); }),
     ",", false, true},
    {"OverstruckLettersAreText", table("", 20, [](int i) { return cat(kName[i % 5], ":", kName[(i + 2) % 5], " Street o\bo\n"); }), ":"},
    {"CommentsOutnumberRecords", table(table("", 30, [](int) { return "# note\n"s; }), 20, [](int i) {
        return cat("00", n(i + 10), "; L\n"); }), ";", false, false, 30},
    {"PairsOfWordsHaveNoHeader", table("", 20, [](int i) { return cat(kName[i % 5], ":", kWord[(i * 3) % 5], "\n"); }),
     ":"},
    // Once one column: "0.05 8.50" read as a date and time.
    {"SpacedPairsOfDecimals", table("", 20, [](int i) { return cat("0.", n(i + 10), " 8.", n(i + 40), "\n"); }), " "},
    // Once no header: years and months that count along are names, not amounts.
    {"CountingNamesOverAmounts", table("region;1;2;3;4\n", 20, [](int i) {
        return cat(kName[i % 5], ";", n(i * 7), ";", n(i * 11), ";", n(i * 13), ";", n(i * 17), "\n"); }),
     ";", false, true},
    {"CountingRecordsAreNoHeader", table("", 20, [](int i) { return cat(n(i), ",", n(i + 1), ",", n(i + 2), "\n"); }),
     ","},
    {"TwoNumbersInARowAreData", table("", 20, [](int i) {
        return cat(n(i * 5), ",", n(i * 5 + (i == 1 ? 1 : 3)), ",", kName[i % 5], "\n"); }), ","},
    {"RepeatedYearsAreNoNames", table("2020,2020\n", 20, [](int i) { return cat(n(i), ".82,", n(i % 7), ".5\n"); }),
     ","},
    // Cut inside a value of ten lines: still a quoted value, not a stray quote.
    {"CutInsideALongQuotedValue", table("id,note\n", 20, [](int i) { return cat(n(i), ",\"", kWord[i % 5], "\"\n"); }) +
        table("21,\"", 10, [](int i) { return cat("line ", n(i), "\n"); }), ",", true, true, 0, "", false},
    // Once a header: a title padded out to the table's width.
    {"PaddedTitleAboveHeader", table("Sales 2024,,,\n,,,\nregion,units,price,tax\n", 20, [](int i) {
        return cat(kName[i % 5], ",", n(i), ",", n(i * 3), ".25,", n(i % 4), "\n"); }), ",", false, true, 2},
    {"TwoSplitsReadAlike", table("", 20, [](int i) { return cat(n(i), ";", n(i * 3), "|", n(i * 7), "\n"); }),
     ";", false, false, 0, "", true, "|"},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(FormatGuess, Guesses, testing::ValuesIn(kGuesses), test::rowName);

TEST(FormatGuess, FailsWithTheCauseOnNoTextOrBinaryData) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "it holds no text"},
        {" \r\n\n\t", "it holds no text"},
        {std::string(200, '\x01') + "a,b\n", "it holds binary data, not text"},
        {std::string(60, 'a') + std::string(4, '\0') + "\n", "it holds binary data, not text"},
    };
    for (const auto& [sample, cause] : cases) {
        Expected<FormatGuess> g = guessFormat(sample, true);
        ASSERT_FALSE(g) << sample;
        EXPECT_EQ(g.error().cause, cause);
    }
}

TEST(CellKind, NumbersDatesAndText) {
    const std::pair<const char*, CellKind> cases[] = {
        // clang-format off
        {" ", CellKind::Empty}, {"42", CellKind::Number}, {"-3.5", CellKind::Number}, {".5", CellKind::Number},
        {"1,234.50", CellKind::Number}, {"1.234.567,89", CellKind::Number}, {"2,5", CellKind::Number},
        {"1 234", CellKind::Number}, {"12%", CellKind::Number}, {"$9.99", CellKind::Number},
        {"1e-3", CellKind::Number}, {"(12.00)", CellKind::Number}, {"1,2,3", CellKind::Text},
        {"1,23,456", CellKind::Text}, {"1 23", CellKind::Text},
        {"2024-01-31", CellKind::Date}, {"31/01/2024", CellKind::Date}, {"12:30:05", CellKind::Date},
        {"2024-01-31T12:30Z", CellKind::Date}, {"9:15 PM", CellKind::Date}, {"x12", CellKind::Text},
        {"1;2", CellKind::Text}, {"Anna", CellKind::Text}, {"-", CellKind::Text},
        {"19580329,316.1", CellKind::Text}, {"0.0188713 0.083", CellKind::Text},
        {"12:30:05.123456", CellKind::Date}, {"0.01887 0.083", CellKind::Text},
        {"0.05 8.50", CellKind::Text}, {"1234,567.5", CellKind::Text}, {"2024-01-31 12:30", CellKind::Date},
        // clang-format on
    };
    for (auto [value, kind] : cases) EXPECT_EQ(cellKind(value), kind) << value;
}

// Every lead byte's range, and the forms UTF-8 forbids: a source wrongly
// taken for UTF-8 is ripped unconverted, one wrongly refused is converted
// into mojibake.
TEST(TextCheck, Utf8AsTheStandardHasIt) {
    const std::pair<std::string, bool> rows[] = {
        {"plain ascii", true},
        {"\xc2\x80\xdf\xbf", true},
        {"\xc0\xaf", false},
        {"\xc1\xbf", false},
        {"\xe0\xa0\x80", true},
        {"\xe0\x9f\xbf", false},
        {"\xed\x9f\xbf", true},
        {"\xed\xa0\x80", false},
        {"\xf0\x90\x80\x80", true},
        {"\xf0\x8f\xbf\xbf", false},
        {"\xf4\x8f\xbf\xbf", true},
        {"\xf4\x90\x80\x80", false},
        {"\xf5\x80\x80\x80", false},
        {"\xf7\xbf\xbf\xbf", false},
        {"\xf8\x88\x80\x80\x80", false},
        {"\x80", false},
        {"a\xc3", true},
        {"a\xc3z", false},
        {"\xe2\x82", true},
        {"\xe2\x28", false},
    };
    for (const auto& [bytes, utf8] : rows)
        EXPECT_EQ(isUtf8(bytes), utf8) << testing::PrintToString(bytes);
}

}  // namespace
}  // namespace kolvane
