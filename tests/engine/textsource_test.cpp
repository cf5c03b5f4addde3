// Sources read as text: byte-order marks, UTF-16 and declared encodings,
// ripped whole on one thread and in blocks, from reads of every small size.
#include <gtest/gtest.h>

#include <string>

#include "testutil.h"
#include "textsource.h"
#include "utf16.h"

namespace kolvane {
namespace {

using namespace std::string_literals;

// UTF-16 code units as bytes, in either order.
std::string utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes;
    for (const char16_t unit : text) {
        const char high = char(unit >> 8), low = char(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}
std::string le(std::u16string_view text) {
    return utf16(text, false);
}

struct EncodingCase {
    const char* name;
    std::string source, encoding;
    std::string out;  // -f 2,1 joined by ":", lines ended by CR LF
    std::string error = "";
    std::size_t failAt = SIZE_MAX;  // where the source's reads fail
};

const std::u16string kText = u"a|\u00e9\n\u20ac|\U0001F600\n";
const std::string kTextRipped = "\u00e9:a\r\n\U0001F600:\u20ac\r\n";
// clang-format off
const EncodingCase kRows[] = {
    {"Utf8MarkDropped", "\xEF\xBB\xBF" "a|b\nc|d\n", "", "b:a\r\nd:c\r\n"},
    {"Utf16LittleEndianMark", "\xFF\xFE" + le(kText), "", kTextRipped},
    {"Utf16BigEndianMark", "\xFE\xFF" + utf16(kText, true), "", kTextRipped},
    {"DeclaredUtf16WithoutMark", le(kText), "utf-16le", kTextRipped},
    {"DeclaredUtf16MarkDropped", "\xFF\xFE" + le(kText), "UTF-16LE", kTextRipped},
    {"SurrogatePairAcrossReads", "\xFF\xFE" + le(u"\U0001F600|\U0001F601\U0001F602"), "", "\U0001F601\U0001F602:\U0001F600\r\n"},
    {"MarkOnly", "\xFF\xFE", "", ""},
    {"Cp1252", "x|\x80\xE9\ny|\x9F\n", "cp1252", "\u20ac\u00e9:x\r\n\u0178:y\r\n"},
    {"Utf8MarkOutranksDeclared", "\xEF\xBB\xBF\xC3\xA9|x\n", "cp1252", "x:\u00e9\r\n"},
    {"NoMarkBytesExact", "\xEF\xBB|\xFE\xFF|\xEF\xBB\xBF\n\xFF|\xFE\n", "", "\xFE\xFF:\xEF\xBB\r\n\xFE:\xFF\r\n"},
    {"InvalidKeepsLinesBefore", "a|1\nb|2\nc|\x81\nd|4\n", "cp1252", "1:a\r\n2:b\r\n",
     "Cannot read src.txt at line 3: bytes not valid in cp1252 at byte offset 10"},
    {"CutShortAtEnd", "a|1\nb|\xE3\x81", "utf-8", "1:a\r\n",
     "Cannot read src.txt at line 2: bytes not valid in utf-8 at byte offset 6: a character cut short at the end"},
    {"UnpairedSurrogate", "\xFF\xFE" + le(u"a|1\nb|") + "\x01\xDC" + le(u"\n"), "", "1:a\r\n",
     "Cannot read src.txt at line 2: bytes not valid in UTF-16LE at byte offset 14: a surrogate without its pair"},
    {"HighSurrogateAtEnd", "\xFE\xFF" + utf16(u"a|1\nb|", true) + "\xD8\x01", "", "1:a\r\n",
     "Cannot read src.txt at line 2: bytes not valid in UTF-16BE at byte offset 14: a surrogate without its pair"},
    {"OddByteAtEnd", "\xFF\xFE" + le(u"a|1\nb|2\n") + "c", "", "1:a\r\n2:b\r\n",
     "Cannot read src.txt at line 3: bytes not valid in UTF-16LE at byte offset 18: an odd byte at the end"},
    {"SourceFailsInUtf16", "\xFF\xFE" + le(u"a|1\nb|2\n"), "", "1:a\r\n",
     "Cannot read src.txt at line 2: Input/output error", 12},
    {"UnknownEncoding", "a|1\n", "no-such-code", "", "Cannot read src.txt at line 1: unknown encoding \"no-such-code\""},
};
// clang-format on

class Encodings : public testing::TestWithParam<EncodingCase> {};

TEST_P(Encodings, RipAsUtf8FromReadsOfEverySize) {
    const EncodingCase& c = GetParam();
    for (std::size_t chunk = 1; chunk <= 7; ++chunk) {
        for (unsigned threads : {0U, 2U}) {
            // The window's sequential rip, and the block rip in blocks of 5 bytes.
            const test::FileOutcome o = test::ripToFile(
                c.source, {.fields = "2,1"}, threads,
                {.chunk = chunk, .failAt = c.failAt, .block = 5, .wrap = [&](auto raw) {
                     return readAsText(std::move(raw), c.encoding);
                 }});
            EXPECT_EQ(o.file, c.out) << "chunk " << chunk << ", threads " << threads;
            EXPECT_EQ(o.error, c.error) << "chunk " << chunk << ", threads " << threads;
        }
    }
}
INSTANTIATE_TEST_SUITE_P(TextSource, Encodings, testing::ValuesIn(kRows), test::rowName);

// Long runs go through the vector path: each character at each place in it,
// in a buffer that fits the result exactly or lacks a byte.
TEST(Utf16, ConvertsEveryCharacterWhereverItFallsInAVector) {
    const std::pair<std::u16string, std::string> characters[] = {
        {u"\u0080", "\u0080"},         {u"\u00FF", "\u00FF"},         {u"\u07FF", "\u07FF"},
        {u"\u0800", "\u0800"},         {u"\u8000", "\u8000"},         {u"\uFFFD", "\uFFFD"},
        {u"\U00010000", "\U00010000"}, {u"\U0010FFFF", "\U0010FFFF"},
    };
    const std::u16string ascii =
        u"The quick brown fox jumps over the lazy dog|0123456789~\x7F\t\x01";
    for (const auto& [units, utf8] : characters) {
        for (std::size_t at = 0; at <= ascii.size(); ++at) {
            for (const bool big : {false, true}) {
                const std::string in = utf16(ascii.substr(0, at) + units + ascii.substr(at), big);
                std::string want = "";
                for (const char16_t c : ascii.substr(0, at)) want += char(c);
                want += utf8;
                for (const char16_t c : ascii.substr(at)) want += char(c);
                std::string out(want.size() + 40, '#');
                Conversion all = utf16ToUtf8(in, std::span(out).first(want.size()), big);
                ASSERT_EQ(out.substr(0, all.written) + std::to_string(all.read),
                          want + std::to_string(in.size()))
                    << at << (big ? " BE" : " LE");
                out.assign(out.size(), '#');
                const Conversion part = utf16ToUtf8(in, std::span(out).first(want.size() - 1), big);
                EXPECT_EQ(part.stop, Conversion::Stop::output);
                // Only the last character is left out, the one inserted when it comes last.
                const std::size_t last = at == ascii.size() ? utf8.size() : 1;
                EXPECT_EQ(part.written, want.size() - last) << at;
                EXPECT_EQ(out.substr(0, part.written), want.substr(0, part.written));
                EXPECT_EQ(out.find_first_not_of('#', want.size() - 1), std::string::npos) << at;
            }
        }
    }
}

TEST(Utf16, StopsAtALoneSurrogateInAVector) {
    const std::u16string text =
        std::u16string(40, u'x') + u"\xDC00\xDC00" + std::u16string(40, u'y');
    std::string out(200, '#');
    const Conversion step = utf16ToUtf8(utf16(text, false), out, false);
    EXPECT_EQ(step.stop, Conversion::Stop::invalid);
    EXPECT_EQ(step.read, 80U);
    EXPECT_EQ(out.substr(0, step.written), std::string(40, 'x'));
}

TEST(TextSource, PassesOnNoDataYetWhileLookingForAMark) {
    const std::string text = "\xFF\xFE" + le(kText);
    // A source that has the first byte of a mark and then nothing for ever.
    auto stalled = readAsText(std::make_unique<test::TricklingSource>("\xFF", SIZE_MAX));
    char buf[8];
    EXPECT_TRUE(stalled->read(buf).noDataYet);
    int waits = 0;
    auto trickling = readAsText(std::make_unique<test::TricklingSource>(text, 1));
    EXPECT_EQ(test::drain(*trickling, waits), "a|\u00e9\n\u20ac|\U0001F600\n");
    EXPECT_GT(waits, 0);
}

TEST(TextSource, TellsTheFileUnderneath) {
    test::TempDir dir;
    for (const std::string& text : {"\xFF\xFE" + le(kText), "a|b\n" + std::string(5000, 'x')}) {
        test::writeFile(dir.path("in.txt"), text);
        auto file = FileSource::open(dir.path("in.txt"));
        ASSERT_TRUE(file);
        const auto identity = (*file)->identity();
        auto source = readAsText(std::move(*file));
        // The preview takes the bytes a source read as it is gave for offsets
        // in the file: it must never have read ahead of them.
        const bool asItIs = text[0] == 'a';
        std::size_t given = 0;
        char buf[100];
        while (const std::size_t n = source->read(buf).bytes) {
            given += n;
            EXPECT_TRUE(!asItIs || source->consumed() == given) << given;
        }
        EXPECT_EQ(source->size(), text.size());
        EXPECT_EQ(source->consumed(), text.size());
        EXPECT_EQ(source->identity(), identity);
    }
}

}  // namespace
}  // namespace kolvane
