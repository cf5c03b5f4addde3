// Compressed sources, told by their first bytes and read as what they hold.
// The streams are made at test time by the compressors' own tools.
#include <gtest/gtest.h>

#include <map>

#include "decompress.h"
#include "testutil.h"

namespace kolvane {
namespace {

// Lines with numbers that do not repeat, so that even compressed they span
// several of the reader's blocks.
const std::string& bigText() {
    static const std::string text = [] {
        std::string t;
        std::uint64_t x = 88172645463325252u;
        for (int i = 0; i < 60000; ++i) {
            x ^= x << 13, x ^= x >> 7, x ^= x << 17;
            t += std::to_string(i) + "|" + std::to_string(x % 1000000007) + "\n";
        }
        return t;
    }();
    return text;
}

// `text` as `tool` (a compressor writing to standard output) makes it.
std::string compress(const std::string& tool, const std::string& text) {
    if (tool.empty()) return text;
    static std::map<std::pair<std::string, std::string>, std::string> made;
    auto& bytes = made[{tool, text}];
    if (bytes.empty()) {
        test::TempDir dir;
        test::writeFile(dir.path("in"), text);
        const std::string command = tool + " <'" + dir.path("in") + "' >'" + dir.path("out") + "'";
        if (std::system(command.c_str()) != 0) throw std::runtime_error(command + " failed");
        bytes = test::readFile(dir.path("out"));
    }
    return bytes;
}

const std::string kGzip = "gzip -c", kZstd = "zstd -qc", kXz = "xz -1 -c", kBzip2 = "bzip2 -c";
const std::string kDamaged = "the compressed data is damaged";
const std::string kEndsEarly = "the compressed data ends early";
const std::string kWindow =
    "the compressed data needs a window larger than a quarter of the memory";

struct Row {
    const char* name;
    std::string tool;  // the compressor; empty: the text as it is
    std::string text = bigText();
    // What is done to the compressed bytes, and the text that adds.
    std::function<std::string(std::string)> edit = [](std::string s) { return s; };
    std::string added{};
    std::string cause{};            // how reading ends; empty: at the end, with all the text
    bool allGiven = false;          // the failure comes after all the text
    std::size_t chunk = 0;          // 0: read from a file; else in pieces of this size
    std::size_t failAt = SIZE_MAX;  // the source fails with EIO there
    std::size_t stalls = 0;         // "no data yet" answers before each byte
};

auto cutTo(double part) {
    return [part](std::string s) {
        s.resize(static_cast<std::size_t>(static_cast<double>(s.size()) * part));
        return s;
    };
}
// Flips a byte `back` bytes before the end: the stream's own check catches it.
auto flipFromEnd(std::size_t back) {
    return [back](std::string s) {
        s[s.size() - back] = static_cast<char>(s[s.size() - back] ^ 0x55);
        return s;
    };
}
class Decompress : public testing::TestWithParam<Row> {};

TEST_P(Decompress, GivesWhatTheStreamHolds) {
    const Row& row = GetParam();
    const std::string bytes = row.edit(compress(row.tool, row.text));
    test::TempDir dir;
    test::writeFile(dir.path("src"), bytes);
    std::unique_ptr<ByteSource> raw;
    if (row.stalls > 0) {
        raw = std::make_unique<test::TricklingSource>(bytes, row.stalls);
    } else if (row.chunk > 0) {
        raw = std::make_unique<test::StringSource>(bytes, row.chunk, row.failAt);
    } else {
        raw = std::move(*FileSource::open(dir.path("src")));
    }
    const auto source = decompressing(std::move(raw));
    IoResult end;
    int waits = 0;
    const std::string got = test::drain(*source, waits, &end, 70000);
    const std::string want = row.text + row.added;
    EXPECT_EQ(end.cause, row.cause);
    if (row.cause.empty()) {
        EXPECT_TRUE(got == want) << got.size() << " bytes of " << want.size();
    } else {
        // Every good byte before the fault, and nothing else.
        EXPECT_TRUE(got == want.substr(0, got.size())) << got.size() << " bytes";
        EXPECT_TRUE(!row.allGiven || got.size() == want.size()) << got.size() << " bytes";
    }
    if (row.chunk == 0 && row.stalls == 0) {
        // Progress is the compressed file's, and reaches its end.
        EXPECT_EQ(source->size(), bytes.size());
        EXPECT_EQ(source->consumed(), bytes.size());
    }
}

const std::string kSecond = "second|stream\n";
auto twice(const std::string& tool) {
    return [tool](std::string s) { return s + compress(tool, kSecond); };
}
// A zstd skippable frame: magic 0x184D2A50 + `low`, its size, then `data`.
std::string skippable(char low, const std::string& data) {
    const auto n = static_cast<std::uint32_t>(data.size());
    return std::string{char(0x50 + low), '\x2a', '\x4d', '\x18'} +
           std::string{char(n), char(n >> 8), char(n >> 16), char(n >> 24)} + data;
}
auto append(const std::string& bytes) {
    return [bytes](std::string s) { return s + bytes; };
}
// clang-format off
const Row kRows[] = {
    {.name = "Plain", .tool = ""},
    {.name = "PlainInPieces", .tool = "", .text = "a|b\nc|d", .chunk = 3},
    {.name = "TextStartingLikeBzip2", .tool = "", .text = "BZh91AY&SX|x\n", .chunk = 1},
    {.name = "ShorterThanAnyMark", .tool = "", .text = "\x1f", .chunk = 1},
    {.name = "Empty", .tool = "", .text = "", .chunk = 1},
    {.name = "Gzip", .tool = kGzip},
    {.name = "Zstd", .tool = kZstd},
    {.name = "Xz", .tool = kXz},
    {.name = "Bzip2", .tool = kBzip2},
    {.name = "EmptyBzip2", .tool = kBzip2, .text = ""},
    {.name = "GzipTwoMembers", .tool = kGzip, .edit = twice(kGzip), .added = kSecond},
    {.name = "ZstdTwoFrames", .tool = kZstd, .edit = twice(kZstd), .added = kSecond},
    {.name = "XzTwoStreams", .tool = kXz, .edit = twice(kXz), .added = kSecond},
    {.name = "Bzip2TwoStreams", .tool = kBzip2, .edit = twice(kBzip2), .added = kSecond},
    {.name = "GzipTruncated", .tool = kGzip, .edit = cutTo(0.6), .cause = kEndsEarly},
    {.name = "ZstdTruncated", .tool = kZstd, .edit = cutTo(0.6), .cause = kEndsEarly},
    {.name = "XzTruncated", .tool = kXz, .edit = cutTo(0.6), .cause = kEndsEarly},
    {.name = "Bzip2Truncated", .tool = kBzip2, .edit = cutTo(0.6), .cause = kEndsEarly},
    {.name = "GzipChecksumWrong", .tool = kGzip, .edit = flipFromEnd(8), .cause = kDamaged},
    {.name = "ZstdChecksumWrong", .tool = kZstd, .edit = flipFromEnd(1), .cause = kDamaged},
    {.name = "XzFooterWrong", .tool = kXz, .edit = flipFromEnd(1), .cause = kDamaged},
    {.name = "Bzip2ChecksumWrong", .tool = kBzip2, .edit = flipFromEnd(2), .cause = kDamaged},
    {.name = "GzipThenNoGzip", .tool = kGzip, .edit = append("\x1f\x8c and no gzip header"), .cause = kDamaged, .allGiven = true},
    // Short junk is no member cut short; zeros end the stream, and nothing may follow them.
    {.name = "GzipThenShortJunk", .tool = kGzip, .edit = append("junk"), .cause = kDamaged, .allGiven = true},
    {.name = "GzipZeroPadding", .tool = kGzip, .edit = append(std::string(10000, '\0')), .chunk = 4096},
    {.name = "GzipZerosThenMember", .tool = kGzip, .edit = [](std::string s) { return s + std::string(8, '\0') + compress(kGzip, kSecond); }, .cause = kDamaged, .allGiven = true},
    // pzstd starts every file with a skippable frame; they may stand anywhere.
    {.name = "ZstdSkippableFirst", .tool = "pzstd -q -c"},
    {.name = "ZstdSkippableBetweenAndLast", .tool = kZstd, .edit = [](std::string s) { return s + skippable(10, "note") + compress(kZstd, kSecond) + skippable(15, ""); }, .added = kSecond, .chunk = 5},
    {.name = "ZstdOnlySkippable", .tool = "", .text = "", .edit = append(skippable(0, "abc"))},
    // Written from a pipe, the frame keeps the whole 2 GiB window it was made with.
    {.name = "ZstdLongWindow", .tool = "zstd -q --long=31 -c", .cause = defaultLineLimit() >> 31 ? "" : kWindow},
    // xz finds damage some KiB after it: none of the bytes before that is given.
    {.name = "XzDamagedMidway", .tool = kXz, .edit = [](std::string s) { s[s.size() / 2] ^= 0x55; return s; }, .cause = kDamaged, .chunk = 4096},
    {.name = "GzipInPieces", .tool = kGzip, .edit = twice(kGzip), .added = kSecond, .chunk = 7},
    {.name = "GzipSourceFails", .tool = kGzip, .cause = std::strerror(EIO), .chunk = 4096, .failAt = 20000},
    {.name = "ZstdTrickling", .tool = kZstd, .text = "a|b\nc|d\n", .stalls = 2},
    {.name = "PlainTrickling", .tool = "", .text = "BZh", .stalls = 2},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Sources, Decompress, testing::ValuesIn(kRows), test::rowName);

// A rip of a stream that ends early: the same results and the same error,
// at the line reached, for every thread count; and every line before it.
TEST(Decompress, RipStopsAtTheLineReachedOnAnyThreads) {
    const std::string bytes = cutTo(0.5)(compress(kGzip, bigText()));
    std::optional<test::FileOutcome> first;
    for (unsigned threads : {1u, 2u, 4u}) {
        const test::FileOutcome o = test::ripToFile(
            bytes, {.fields = "1"}, threads, {.chunk = 1000, .block = 4096, .wrap = decompressing});
        EXPECT_EQ(o.error,
                  "Cannot read src.txt at line " + std::to_string(o.count + 1) + ": " + kEndsEarly);
        // Line i holds i in its first field.
        std::string want;
        for (std::int64_t i = 0; i < o.count; ++i) want += std::to_string(i) + "\r\n";
        EXPECT_EQ(o.file, want);
        if (!first) first = o;
        EXPECT_EQ(o, *first) << threads << " threads";
    }
    EXPECT_GT(first->count, 1000);
}

}  // namespace
}  // namespace kolvane
