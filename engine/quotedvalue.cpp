#include "quotedvalue.h"

#include <cstring>

namespace kolvane {

char* unquoteTo(char* out, std::string_view raw) {
    if (raw.empty()) return out;
    if (raw[0] != '"') {
        std::memcpy(out, raw.data(), raw.size());
        return out + raw.size();
    }
    const char* p = raw.data() + 1;
    const char* const end = raw.data() + raw.size();
    for (;;) {
        const auto* quote = static_cast<const char*>(std::memchr(p, '"', std::size_t(end - p)));
        if (quote == nullptr) {  // never closed: the value runs to the end
            std::memcpy(out, p, std::size_t(end - p));
            return out + (end - p);
        }
        std::memcpy(out, p, std::size_t(quote - p));
        out += quote - p;
        p = quote + 1;
        if (p == end || *p != '"') break;  // the closing quote
        *out++ = '"';
        ++p;
    }
    // Text after the closing quote is kept; its quotes are ordinary bytes.
    std::memcpy(out, p, std::size_t(end - p));
    return out + (end - p);
}

void appendUnquoted(std::string& out, std::string_view raw) {
    const std::size_t at = out.size();
    out.resize(at + raw.size());
    out.resize(std::size_t(unquoteTo(out.data() + at, raw) - out.data()));
}

bool isBlankQuoted(std::string_view raw) {
    std::size_t i = 0;
    if (!raw.empty() && raw[0] == '"') {
        for (i = 1; i < raw.size(); ++i) {
            if (raw[i] == ' ') continue;
            if (raw[i] != '"' || (i + 1 < raw.size() && raw[i + 1] == '"')) return false;
            ++i;  // past the closing quote: what follows is kept as it is
            break;
        }
    }
    return raw.find_first_not_of(' ', i) == std::string_view::npos;
}

namespace {

// Whether `value` holds a quote, CR, LF or `byte`.
bool holdsSpecial(std::string_view value, char byte) {
    std::size_t i = 0;
#ifdef __SSE2__
    for (; i + 16 <= value.size(); i += 16) {
        if (specialBits16(value.data() + i, byte) != 0) return true;
    }
#endif
    for (; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '"' || c == '\r' || c == '\n' || c == byte) return true;
    }
    return false;
}

}  // namespace

bool needsQuotes(std::string_view value, std::string_view join) {
    // With no join or a longer one, the quote stands in for the first byte.
    const char first = join.size() == 1 ? join[0] : '"';
    if (holdsSpecial(value, first)) return true;
    return join.size() > 1 && value.find(join) != std::string_view::npos;
}

}  // namespace kolvane
