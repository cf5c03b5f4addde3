#include "frontrules.h"

#include <sys/stat.h>

namespace kolvane {

namespace {

std::optional<FileIdentity> identityFrom(int statResult, const struct stat& st) {
    if (statResult != 0) return std::nullopt;
    return FileIdentity{st.st_dev, st.st_ino, S_ISREG(st.st_mode)};
}

}  // namespace

std::string readEscapes(std::string_view typed) {
    std::string out;
    out.reserve(typed.size());
    for (std::size_t i = 0; i < typed.size(); ++i) {
        const char next = i + 1 < typed.size() ? typed[i + 1] : '\0';
        if (typed[i] == '\\' && (next == 't' || next == '\\')) {
            out += next == 't' ? '\t' : '\\';
            ++i;
        } else {
            out += typed[i];
        }
    }
    return out;
}

std::string writeEscapes(std::string_view text) {
    std::string out;
    for (char c : text) out += c == '\t' ? "\\t" : c == '\\' ? "\\\\" : std::string(1, c);
    return out;
}

bool writesInto(const std::optional<FileIdentity>& output,
                const std::optional<FileIdentity>& source) {
    return output && source && output->regular && *output == *source;
}

std::string_view splitProblem(const Dialect& dialect) {
    if (!dialect.quoted || dialect.split.find('"') == std::string::npos) return {};
    return "in quoted mode the split string cannot hold a double quote";
}

std::optional<FileIdentity> identityOf(int fd) {
    struct stat st {};
    return identityFrom(::fstat(fd, &st), st);
}

std::optional<FileIdentity> identityAt(const std::string& path) {
    struct stat st {};
    return identityFrom(::stat(path.c_str(), &st), st);
}

}  // namespace kolvane
