// gen_reference: writes the benchmark's reference data, the same bytes on every
// machine. Usage: gen_reference OUTPUT [LINES]   (LINES defaults to 2,000,000,
// about 196 MB; 11,000,000 lines make a little over 1 GiB).
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "refdata.h"

namespace {

constexpr std::uint64_t kDefaultLines = 2'000'000;
constexpr std::size_t kFlushAt = std::size_t{1} << 20;

int fail(const char* what, const char* path) {
    std::fprintf(stderr, "gen_reference: %s %s: %s\n", what, path, std::strerror(errno));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: gen_reference OUTPUT [LINES]\n");
        return 2;
    }
    const char* path = argv[1];
    std::uint64_t lines = kDefaultLines;
    if (argc == 3) {
        std::string_view arg = argv[2];
        auto [end, ec] = std::from_chars(arg.data(), arg.data() + arg.size(), lines);
        if (ec != std::errc{} || end != arg.data() + arg.size()) {
            std::fprintf(stderr, "gen_reference: not a line count: %s\n", argv[2]);
            return 2;
        }
    }

    std::FILE* file = std::fopen(path, "wb");
    if (!file) return fail("cannot create", path);
    kolvane::bench::ReferenceLines gen;
    std::string buf;
    buf.reserve(kFlushAt + 4096);
    std::uint64_t total = 0;
    for (std::uint64_t i = 0; i < lines; ++i) {
        gen.append(buf);
        if (buf.size() >= kFlushAt || i + 1 == lines) {
            if (std::fwrite(buf.data(), 1, buf.size(), file) != buf.size()) {
                std::fclose(file);
                return fail("cannot write", path);
            }
            total += buf.size();
            buf.clear();
        }
    }
    if (std::fclose(file) != 0) return fail("cannot write", path);
    std::printf("%s: %llu lines, %llu bytes\n", path, static_cast<unsigned long long>(lines),
                static_cast<unsigned long long>(total));
    return 0;
}
