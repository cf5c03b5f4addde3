#include "quotedvalue.h"

#include <cstring>

namespace kolvane {

char* unquoteTo(char* out, std::string_view raw) {
    forEachUnquotedPiece(raw, [&](const char* p, std::size_t n) {
        if (n != 0) std::memcpy(out, p, n);
        out += n;
    });
    return out;
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

bool valueNeedsQuotes(std::string_view raw, std::string_view join) {
    // Every piece but the last two ends in a quote, which needs quotes: only
    // a longer join could still stand across the closing quote, between the
    // last two pieces.
    bool needs = false;
    std::string_view before;
    forEachUnquotedPiece(raw, [&](const char* p, std::size_t n) {
        const std::string_view piece(p, n);
        if (needs || (needs = needsQuotes(piece, join))) return;
        if (join.size() > 1 && !before.empty()) {
            const std::size_t k = join.size() - 1;
            std::string seam(before.substr(before.size() - std::min(k, before.size())));
            seam.append(piece.substr(0, k));
            needs = seam.find(join) != seam.npos;
        }
        before = piece;
    });
    return needs;
}

}  // namespace kolvane
