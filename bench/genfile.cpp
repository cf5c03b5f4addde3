#include "genfile.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace kolvane::bench {

namespace {

constexpr std::size_t kFlushAt = std::size_t{1} << 20;

int fail(const char* name, const char* what, const char* path) {
    std::fprintf(stderr, "%s: %s %s: %s\n", name, what, path, std::strerror(errno));
    return 1;
}

}  // namespace

int generateFile(int argc, char** argv, const char* name, const char* unit,
                 std::uint64_t defaultCount, const std::function<void(std::string&)>& header,
                 const std::function<void(std::string&)>& append) {
    if (argc < 2 || argc > 3) {
        std::string count(unit);
        for (char& c : count) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        std::fprintf(stderr, "usage: %s OUTPUT [%sS]\n", name, count.c_str());
        return 2;
    }
    const char* path = argv[1];
    std::uint64_t count = defaultCount;
    if (argc == 3) {
        std::string_view arg = argv[2];
        auto [end, ec] = std::from_chars(arg.data(), arg.data() + arg.size(), count);
        if (ec != std::errc{} || end != arg.data() + arg.size()) {
            std::fprintf(stderr, "%s: not a %s count: %s\n", name, unit, argv[2]);
            return 2;
        }
    }
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return fail(name, "cannot create", path);
    std::string buf;
    buf.reserve(kFlushAt + 4096);
    if (header) header(buf);
    std::uint64_t total = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        append(buf);
        if (buf.size() >= kFlushAt || i + 1 == count) {
            if (std::fwrite(buf.data(), 1, buf.size(), file) != buf.size()) {
                std::fclose(file);
                return fail(name, "cannot write", path);
            }
            total += buf.size();
            buf.clear();
        }
    }
    if (std::fclose(file) != 0) return fail(name, "cannot write", path);
    std::printf("%s: %llu %ss, %llu bytes\n", path, static_cast<unsigned long long>(count), unit,
                static_cast<unsigned long long>(total));
    return 0;
}

}  // namespace kolvane::bench
