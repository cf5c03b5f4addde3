// gen_quoted: writes the quoted benchmark's data, the same bytes on every
// machine. Usage: gen_quoted OUTPUT [RECORDS]   (RECORDS defaults to 2,000,000,
// about 230 MB, after a header line).
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "quoteddata.h"

namespace {

constexpr std::uint64_t kDefaultRecords = 2'000'000;
constexpr std::size_t kFlushAt = std::size_t{1} << 20;

int fail(const char* what, const char* path) {
    std::fprintf(stderr, "gen_quoted: %s %s: %s\n", what, path, std::strerror(errno));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: gen_quoted OUTPUT [RECORDS]\n");
        return 2;
    }
    const char* path = argv[1];
    std::uint64_t records = kDefaultRecords;
    if (argc == 3) {
        std::string_view arg = argv[2];
        auto [end, ec] = std::from_chars(arg.data(), arg.data() + arg.size(), records);
        if (ec != std::errc{} || end != arg.data() + arg.size()) {
            std::fprintf(stderr, "gen_quoted: not a record count: %s\n", argv[2]);
            return 2;
        }
    }
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return fail("cannot create", path);
    kolvane::bench::QuotedRecords gen;
    std::string buf;
    buf.reserve(kFlushAt + 4096);
    kolvane::bench::QuotedRecords::appendHeader(buf);
    std::uint64_t total = 0;
    for (std::uint64_t i = 0; i < records; ++i) {
        gen.append(buf);
        if (buf.size() >= kFlushAt || i + 1 == records) {
            if (std::fwrite(buf.data(), 1, buf.size(), file) != buf.size()) {
                std::fclose(file);
                return fail("cannot write", path);
            }
            total += buf.size();
            buf.clear();
        }
    }
    if (std::fclose(file) != 0) return fail("cannot write", path);
    std::printf("%s: %llu records, %llu bytes\n", path, static_cast<unsigned long long>(records),
                static_cast<unsigned long long>(total));
    return 0;
}
