// Quoted fields: the inside-quotes mask against its byte-by-byte reading,
// records and values read from the masked bits, values quoted for output, and
// the reading against Python's csv module on random files.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "bitwalk.h"
#include "emit.h"
#include "fieldcutter.h"
#include "lineend.h"
#include "quotedvalue.h"
#include "quotescan.h"
#include "sourcesession.h"
#include "testutil.h"

namespace kolvane {
namespace {

using Records = std::vector<std::vector<std::string>>;

// A text and its maps, as the scanner makes them.
struct Marked {
    std::string bytes;  // the text, then padding
    std::size_t size;
    std::vector<std::uint64_t> ends, seps, quotes, hidden;

    explicit Marked(std::string_view text) : bytes(text), size(text.size()) {
        const std::size_t words = (size + 63) / 64 + 1;
        bytes.append(64, '\0');
        // Left as a reused map would be: every bit of the text's words must
        // be written.
        for (auto* map : {&ends, &seps, &quotes, &hidden}) map->assign(words, ~0ULL);
    }
    QuotedMapWords words() { return {ends.data(), seps.data(), quotes.data(), hidden.data()}; }
    // Scans [0, size) in windows ending at `cuts`, as a reader of blocks does,
    // or every byte by the rules alone.
    QuoteState scan(std::string_view split, std::vector<std::size_t> cuts, QuoteState state = {},
                    bool exact = false) {
        std::size_t from = 0;
        cuts.push_back(size);
        for (std::size_t to : cuts) {
            state = exact ? scanQuotedExact(bytes.data(), from, to, size, split, words(), state)
                          : scanQuoted(bytes.data(), from, to, size, split, words(), state);
            from = std::max(from, to);
        }
        return state;
    }
    bool bit(const std::vector<std::uint64_t>& map, std::size_t i) const {
        return (map[i / 64] >> (i % 64)) & 1;
    }
    std::vector<std::size_t> positions(const std::vector<std::uint64_t>& map) const {
        std::vector<std::size_t> out;
        BitWalk walk(map.data(), 0, size);
        for (std::size_t at = walk.next(); at < size; at = walk.next()) out.push_back(at);
        return out;
    }
    // Records and their unquoted values from the maps, as the rip's loops
    // find them (a one-byte split, or none); empty lines are skipped.
    Records records(bool split) const {
        Records out;
        for (std::size_t pos = 0; pos < size;) {
            const std::size_t eol = firstBit(ends.data(), pos, size);
            if (eol > pos) {
                auto& record = out.emplace_back(1);
                for (std::size_t i = pos, start = pos; i <= eol; ++i) {
                    if (i < eol && !(split && bit(seps, i))) continue;
                    appendUnquoted(record.back(), {bytes.data() + start, i - start});
                    if (i < eol) record.emplace_back();
                    start = i + 1;
                }
            }
            pos = eol < size ? terminatorEnd(bytes.data(), eol, size) : size;
        }
        return out;
    }
};

struct ReadCase {
    const char* name;
    std::string text;
    std::string split;
    Records want;
};

const ReadCase kReadCases[] = {
    {"quoted_split", "1,\"Berg, Anna\",x\n", ",", {{"1", "Berg, Anna", "x"}}},
    {"doubled_quote", "\"say \"\"hi\"\"\",2\n", ",", {{"say \"hi\"", "2"}}},
    {"empty_quoted", "a,\"\",b\n\"\"\n", ",", {{"a", "", "b"}, {""}}},
    {"lf_inside", "1,\"x\ny\",2\n3\n", ",", {{"1", "x\ny", "2"}, {"3"}}},
    {"crlf_inside", "1,\"x\r\ny\"\r\n3\r\n", ",", {{"1", "x\r\ny"}, {"3"}}},
    {"cr_inside", "1,\"x\ry\"\r3", ",", {{"1", "x\ry"}, {"3"}}},
    {"quote_in_unquoted", "12\" monitor,\"a,b\"\n", ",", {{"12\" monitor", "a,b"}}},
    {"text_after_close", "\"a\"b,c\n", ",", {{"ab", "c"}}},
    {"quote_after_close_text", "\"a\"b\"c,d\n", ",", {{"ab\"c", "d"}}},
    {"space_before_quote", "x, \"a,b\"\n", ",", {{"x", " \"a", "b\""}}},
    {"quote_ends_field", "a\",\"b,c\"\n", ",", {{"a\"", "b,c"}}},
    {"empty_lines_skipped", "\n\r\n\"\"\n\r\r\na\n", ",", {{""}, {"a"}}},
    {"no_split", "\"a\nb\",c\n", "", {{"a\nb,c"}}},
    {"record_spans_windows",
     "k," + std::string(70, 'x') + ",\"" + std::string(60, ',') + "\n" + std::string(70, 'y') +
         "\",z\n",
     ",",
     {{"k", std::string(70, 'x'), std::string(60, ',') + "\n" + std::string(70, 'y'), "z"}}},
    {"quote_opens_the_word_after_a_quote_free_one",
     std::string(63, 'x') + ",\"a,b\"\n",
     ",",
     {{std::string(63, 'x'), "a,b"}}},
    {"unterminated_runs_to_end", "a,\"b\nc,d\n", ",", {{"a", "b\nc,d\n"}}},
};

class ReadQuoted : public testing::TestWithParam<ReadCase> {};

// Every window cut, so a boundary falls on every byte of the case once; and
// the scalar reader, record by record.
TEST_P(ReadQuoted, GivesTheRecordsAtEveryWindowCut) {
    const ReadCase& c = GetParam();
    for (std::size_t cut = 0; cut <= c.text.size(); ++cut) {
        Marked m(c.text);
        m.scan(c.split, {cut});
        EXPECT_EQ(m.records(!c.split.empty()), c.want) << "cut at " << cut;
    }
    Records read;
    const Dialect dialect{c.split, true};
    for (std::size_t pos = 0; pos < c.text.size();) {
        const RecordEnd end = readRecord(c.text, pos, dialect, [](std::size_t) {});
        if (end.end > pos) {
            auto& values = read.emplace_back();
            const std::string_view record = std::string_view(c.text).substr(pos, end.end - pos);
            for (const std::string_view field : cutFields(record, dialect))
                appendUnquoted(values.emplace_back(), field);
        }
        pos = end.next;
    }
    EXPECT_EQ(read, c.want);
}

INSTANTIATE_TEST_SUITE_P(Rows, ReadQuoted, testing::ValuesIn(kReadCases), test::rowName);

// Random texts thick with quotes, split strings and line ends, each scanned
// in random windows from a random state, against one byte-by-byte reading;
// and the stops a record's scalar reading finds are the ones the maps keep.
TEST(QuoteScan, AgreesWithTheExactReadingOnRandomTexts) {
    std::mt19937_64 rng(18);
    const char alphabet[] = "\"\"\",,\n\r ab";
    for (int round = 0; round < 3000; ++round) {
        std::string text(rng() % 600, ' ');
        // Some texts have long quote-free stretches, which the word scan
        // takes without parity.
        const bool stretches = round / 3 % 2 == 0;
        for (char& ch : text) {
            ch = stretches && rng() % 8 != 0 ? 'x' : alphabet[rng() % (sizeof alphabet - 1)];
        }
        const std::string split = round % 5 == 0 ? "" : round % 7 == 0 ? ",," : ",";
        std::vector<std::size_t> cuts;
        for (std::size_t at = 0; text.size() > 0 && rng() % 4 != 0;) {
            at = std::min(text.size(), at + rng() % 150);
            cuts.push_back(at);
        }
        const QuoteState start{QuoteState::At(rng() % 3), 0};
        Marked fast(text), exact(text);
        const QuoteState got = fast.scan(split, cuts, start);
        const QuoteState want = exact.scan(split, {}, start, true);
        ASSERT_EQ(got, want) << testing::PrintToString(text);
        for (auto map : {&Marked::ends, &Marked::seps, &Marked::quotes, &Marked::hidden}) {
            ASSERT_EQ(fast.*map, exact.*map) << testing::PrintToString(text) << " " << split;
        }
        if (split.empty() || start.at == QuoteState::quoted) continue;
        const std::size_t firstEnd = firstBit(exact.ends.data(), 0, text.size());
        std::vector<std::size_t> stops, inMaps;
        readRecord(
            text, 0, Dialect{split, true}, [&](std::size_t i) { stops.push_back(i); }, start);
        for (std::size_t at : exact.positions(exact.seps)) {
            if (at < firstEnd) inMaps.push_back(at);
        }
        ASSERT_EQ(stops, inMaps) << testing::PrintToString(text);
    }
}

TEST(QuotedValue, UnquotesAndTestsBlank) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        // clang-format off
        {"plain", "plain", false}, {"", "", true}, {"\"\"", "", true}, {"\" \"", " ", true},
        {"   ", "   ", true}, {"\"\"\"\"", "\"", false}, {" \"", " \"", false},
        {"\"a\"\"b\"", "a\"b", false}, {"\"a\"b\"c", "ab\"c", false}, {"\" \" ", "  ", true},
        {"\" \"x", " x", false}, {"\"open", "open", false}, {"\"  ", "  ", true},
        {"12\"", "12\"", false},
        // clang-format on
    };
    for (auto [raw, value, blank] : cases) {
        std::string out = ">";
        appendUnquoted(out, raw);
        EXPECT_EQ(out, std::string(">") + value) << raw;
        EXPECT_EQ(isBlankQuoted(raw), blank) << raw;
    }
}

// The value a result gets from a field's bytes: unquoted, then quoted again
// only as the mode asks.
TEST(QuotedValue, PutsAFieldsValueAsTheModeQuotesIt) {
    using enum QuoteOutput;
    const std::tuple<const char*, const char*, QuoteOutput, const char*> cases[] = {
        {"\"Berg, Anna\"", ",", needed, "\"Berg, Anna\""},
        {"\"Berg, Anna\"", ":", needed, "Berg, Anna"},
        {"\"a\"\"b\"", ":", needed, "\"a\"\"b\""},
        {"\"a:\":b", "::", needed, "\"a::b\""},
        {"12\" tv", ":", needed, "\"12\"\" tv\""},
        {"x\ry", ":", needed, "\"x\ry\""},
        {"a long value with a line end \n past sixteen", "", needed,
         "\"a long value with a line end \n past sixteen\""},
        {"\"\"", ":", needed, ""},
        {"\"\"", ":", always, "\"\""},
        {"plain", ":", always, "\"plain\""},
        {"\"a\"\"b\"", ":", never, "a\"b"},
        {"a,\"b", ",", never, "a,\"b"},
    };
    for (auto [raw, join, mode, want] : cases) {
        std::string out(128, '\0');
        CopyBytes put{out.data()};
        putQuotedValue(put, raw, mode, join);
        EXPECT_EQ(out.substr(0, std::size_t(put.p - out.data())), want) << raw << int(mode);
    }
}

// Realistic quoting mixed with byte soup, so stray quotes, text after
// closing quotes and line ends inside quotes all occur; no quote is left open.
// Now and then comes a stretch of a few KiB with no quote at all.
std::string quotedSoup(std::mt19937_64& rng) {
    // First, quoted values filling the 64 bytes a record's first look takes.
    std::string text;
    text.append(1, '"').append(62, 'q').append("\"\n\"");
    text.append(30, 'q').append(1, ',').append(31, 'q').append("\"\n");
    const char* pieces[] = {"a",  "Berg, Anna", "x\"y", "\"\"", "\r\n",    "\n", "[2]",
                            "\r", ",",          " ",    "\"",   "12\" tv", "é",  "]"};
    const char* plainPieces[] = {"a", "b;c", " ", "", "é"};
    for (int record = 0; record < 3000; ++record) {
        for (int n = rng() % 150 == 0 ? 150 + int(rng() % 150) : 0; n > 0; --n) {
            for (int f = 1 + int(rng() % 6); f > 0; --f) {
                text += plainPieces[rng() % std::size(plainPieces)];
                text += f > 1 ? "," : "\n";
            }
        }
        const int fields = 1 + int(rng() % 6);
        for (int f = 0; f < fields; ++f) {
            std::string value;
            for (int k = int(rng() % 4); k > 0; --k) value += pieces[rng() % std::size(pieces)];
            text += f > 0 ? "," : "";
            if (rng() % 3 != 0) {
                text += value;  // stray quotes, split bytes and line ends and all
                continue;
            }
            text += '"';
            for (char ch : value) text += ch == '"' ? std::string("\"\"") : std::string(1, ch);
            text += rng() % 10 == 0 ? "\"after" : "\"";
        }
        text += rng() % 2 == 0 ? "\r\n" : "\n";
    }
    // A quote left open would be read by Python as a value to the end.
    Marked m(text);
    if (m.scan(",", {}).at == QuoteState::quoted) text += '"';
    return text;
}

// How pythonReads() writes records: values joined, or by Python's csv
// writer quoting as needed or every value.
enum class PythonWrites { join, minimal, all };

// What Python's csv module (default dialect, newline='') reads: each value
// followed by `valueEnd` but the last, each record by `recordEnd`; bytes go
// 1:1 as latin-1. Empty lines give no record. With a writer, records are
// written back by it instead, `valueEnd` the delimiter. With a template, its
// brackets and the values' brackets are replaced one field after the other as
// str.replace does: each placeholder in turn, the last field trimmed, until no
// bracket is left.
std::string pythonReads(const std::string& text, const std::string& valueEnd,
                        const std::string& recordEnd, int padTo = 0,
                        PythonWrites write = PythonWrites::join, bool skipBlank = false,
                        const std::string& templ = "") {
    test::TempDir dir;
    const std::string in = dir.path("in.csv");
    const std::string out = dir.path("out.txt");
    test::writeFile(in, text);
    test::writeFile(
        dir.path("read.py"),
        "import csv, sys\n"
        "with open(sys.argv[1], newline='', encoding='latin-1') as f, "
        "open(sys.argv[2], 'w', newline='', encoding='latin-1') as o:\n"
        "    w = csv.writer(o, delimiter=sys.argv[3], lineterminator=sys.argv[4],\n"
        "                   quoting=csv.QUOTE_ALL if sys.argv[6] == '2' else csv.QUOTE_MINIMAL)\n"
        "    for row in csv.reader(f):\n"
        "        n = int(sys.argv[5]) or len(row)\n"
        "        if not row: continue\n"
        "        t = sys.argv[8]\n"
        "        for i, v in enumerate(row if t else [], 1):\n"
        "            t = t.replace('[%d]' % i, v.strip(' ') if i == len(row) else v)\n"
        "            if '[' not in t: break\n"
        "        if sys.argv[8]: o.write(t + sys.argv[4])\n"
        "        elif sys.argv[7] == '1' and any(not v.strip(' ') for v in (row + [''] * n)[:n]): "
        "continue\n"
        "        elif sys.argv[6] != '0': w.writerow((row + [''] * n)[:n])\n"
        "        else: o.write(sys.argv[3].join((row + [''] * n)[:n]) + sys.argv[4])\n");
    const std::string command = "python3 " + dir.path("read.py") + " " + in + " " + out + " '" +
                                valueEnd + "' '" + recordEnd + "' " + std::to_string(padTo) + " " +
                                std::to_string(int(write)) + (skipBlank ? " 1 '" : " 0 '") + templ +
                                "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return test::readFile(out);
}

// Python's csv module reads the same files to the same values.
TEST(QuotedDifferential, ReadsAsPythonCsvDoes) {
    if (std::system("command -v python3 >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
    std::mt19937_64 rng(4180);
    const std::string text = quotedSoup(rng);
    const std::string want = pythonReads(text, "\x1f", "\x1e");
    for (int round = 0; round < 4; ++round) {
        std::vector<std::size_t> cuts;
        for (std::size_t at = 0; at < text.size();) {
            at = std::min(text.size(), at + 1 + rng() % (round == 0 ? 64 : 9000));
            cuts.push_back(at);
        }
        Marked m(text);
        m.scan(",", cuts);
        std::string got;
        for (const auto& record : m.records(true)) {
            for (std::size_t k = 0; k < record.size(); ++k)
                got += (k > 0 ? "\x1f" : "") + record[k];
            got += '\x1e';
        }
        ASSERT_EQ(got, want) << "round " << round;
    }
}

// A record counts the source lines it spans (CR LF once), wherever reads
// and blocks cut it: the line an unclosed quote opened at says so.
TEST(QuotedLines, CountsSourceLinesAtEveryCut) {
    std::string text;
    for (int i = 0; i < 40; ++i) {
        text +=
            "1,\"two\r\nlines\",x\r\n2,\"0123456789abc\nand more after the end\",y\r\n3,z\r\r\n";
    }
    text += "4,\"open\r\n";
    Settings s{.split = ",", .join = ":"};
    s.quoted = true;
    const FieldList both({{2, 1}});
    for (unsigned threads : {0U, 1U, 3U}) {
        for (std::size_t chunk : {std::size_t{1}, std::size_t{97}}) {
            for (std::size_t block : {std::size_t{3}, std::size_t{64}, std::size_t{4096}}) {
                const auto o = test::ripToFile(text, s, threads,
                                               {.chunk = chunk, .block = block, .fields = &both});
                ASSERT_EQ(o.error, "Cannot rip src.txt: a quote opened at line 241 is never closed")
                    << threads << " " << chunk << " " << block;
            }
        }
    }
}

// The whole rip in quoted mode gives Python's values, on one thread and on
// several, at block sizes that put block ends inside quoted values.
TEST(QuotedDifferential, RipsAsPythonCsvReadsOnEveryThreadCountAndBlockSize) {
    if (std::system("command -v python3 >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
    std::mt19937_64 rng(1180);
    const std::string text = quotedSoup(rng);
    // To the line's end by the general path; fields 1 to 6 by the copier, the
    // fields a record lacks empty; and written back quoted where needed, also
    // with the skip rule and with a join that is not the split, or quoted
    // every one; and through a template whose brackets meet the values'.
    const FieldList toEnd({{1, FieldList::kToLastField}});
    const FieldList six({{1, 6}});
    const FieldList first({{1, 1}});  // which every record has: a field it lacks is no value
    using enum PythonWrites;
    struct Way {
        const FieldList* list;
        const char* join;
        QuoteOutput mode;
        bool skip;
        std::string want;
        std::string templ = "";
    };
    const std::string templ = "[2]<[1]>[3]]";
    const Way ways[] = {
        {&toEnd, "\x1f", QuoteOutput::never, false, pythonReads(text, "\x1f", "\r\n")},
        {&six, "\x1f", QuoteOutput::never, false, pythonReads(text, "\x1f", "\r\n", 6)},
        {&six, ",", QuoteOutput::needed, false, pythonReads(text, ",", "\r\n", 6, minimal)},
        {&six, ",", QuoteOutput::needed, true, pythonReads(text, ",", "\r\n", 6, minimal, true)},
        {&six, ";", QuoteOutput::needed, false, pythonReads(text, ";", "\r\n", 6, minimal)},
        {&first, ";", QuoteOutput::always, false, pythonReads(text, ";", "\r\n", 1, all)},
        {nullptr, ",", QuoteOutput::needed, false,
         pythonReads(text, ",", "\r\n", 0, join, false, templ), templ},
    };
    for (const Way& way : ways) {
        Settings s{.split = ",",
                   .join = way.join,
                   .fields = way.templ,
                   .skipEmpty = way.skip,
                   .templateMode = !way.templ.empty()};
        s.quoted = true;
        s.quoteOutput = way.mode;
        for (unsigned threads : {0U, 1U, 3U}) {
            for (std::size_t block : {std::size_t{3}, std::size_t{7}, std::size_t{20000}}) {
                // Pauses make the reader look at a block again as it grows.
                const auto o = test::ripToFile(text, s, threads,
                                               {.chunk = block > 7 ? 5U : 97U,
                                                .block = block,
                                                .fields = way.list,
                                                .pauses = block > 7});
                ASSERT_EQ(o.error, "") << threads << " " << block;
                ASSERT_EQ(o.file, way.want) << way.join << " " << threads << " " << block;
            }
        }
    }
}

// A header record whose names hold line ends and quotes is read whole, as
// Python reads the first row, and the rip after it starts at the next record.
TEST(QuotedDifferential, HeaderIsTheFirstRecordAsPythonReadsIt) {
    if (std::system("command -v python3 >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
    std::mt19937_64 rng(3180);
    const std::string text = "id,\"a\r\nb\",\"c,\"\"d\"\"\"\r\n" + quotedSoup(rng);
    const std::string rows = pythonReads(text, "\x1f", "\x1e");
    auto header = SourceSession::readHeader(std::make_unique<test::StringSource>(text, 7),
                                            "src.txt", {",", true}, false, [] { return true; });
    ASSERT_TRUE(header);
    std::string names;
    for (const std::string& name : header->names) {
        names += (names.empty() ? "" : "\x1f") + name;
    }
    EXPECT_EQ(names + "\x1e", rows.substr(0, rows.find('\x1e') + 1));
    EXPECT_EQ(header->lines, 2);
}

// A read that ends on a CR cannot tell a CR LF from a lone CR: the record
// must wait for the next byte, on a source that gives one byte a read.
TEST(HeaderRecord, EndsOnceWhereAReadEndsOnACr) {
    struct Row {
        const char* name;
        std::string text;
        bool quoted;
        std::string record, rest;  // the rest: what the rip reads after the header
        std::int64_t lines;
    };
    const Row rows[] = {
        {"CrLf", "id,x\r\n1\n", false, "id,x", "1\n", 1},
        {"LoneCr", "id,x\r1\n", false, "id,x", "1\n", 1},
        {"CrLfInsideQuotes", "id,\"a\r\nb\"\r\n1\n", true, "id,\"a\r\nb\"", "1\n", 2},
        {"CrLastByte", "id\r", false, "id", "", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto header =
            SourceSession::readHeader(std::make_unique<test::TricklingSource>(row.text, 0),
                                      "src.txt", {",", row.quoted}, false, [] { return true; });
        ASSERT_TRUE(header);
        EXPECT_EQ(header->record, row.record);
        EXPECT_EQ(header->lines, row.lines);
        int waits = 0;
        EXPECT_EQ(test::drain(*header->rest, waits), row.rest);
    }
}

}  // namespace
}  // namespace kolvane
