#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace kolvane {

// How result values are quoted in quoted mode.
enum class QuoteOutput {
    needed,  // a value holding the join string, a quote, CR or LF; an empty one as nothing
    always,  // every value
    never,   // none: values go out as they read
};

// How a rip writes its values, decided once from its settings: as their bytes
// stand (plain mode), or unquoted and then quoted again never (a template's,
// or --quote-output never), where needed, or always.
enum class ValueWay : std::uint8_t { plain, unquote, quoteNeeded, quoteAlways };

// Calls piece(p, n) for the value of one field's bytes as quoted mode reads
// it, in pieces of `raw` itself, so that a value of any size is read without
// a copy. A field that does not start with a quote is its own value, quotes
// and all. One that does loses that quote and its closing one, `""` inside it
// is one quote (a piece then ends with its first), and what follows the
// closing quote is kept as it is (`"a"b"c` reads `ab"c`). An unterminated
// quote runs to the end. Pieces may be empty.
template <class Piece>
void forEachUnquotedPiece(std::string_view raw, Piece&& piece) {
    if (raw.empty() || raw[0] != '"') {
        piece(raw.data(), raw.size());
        return;
    }
    const char* p = raw.data() + 1;
    const char* const end = raw.data() + raw.size();
    for (;;) {
        const auto* quote = static_cast<const char*>(std::memchr(p, '"', std::size_t(end - p)));
        if (quote == nullptr) {  // never closed: the value runs to the end
            piece(p, std::size_t(end - p));
            return;
        }
        if (quote + 1 == end || quote[1] != '"') {  // the closing quote
            piece(p, std::size_t(quote - p));
            // Text after it is kept; its quotes are ordinary bytes.
            piece(quote + 1, std::size_t(end - quote - 1));
            return;
        }
        piece(p, std::size_t(quote + 1 - p));
        p = quote + 2;
    }
}

// The same value written at `out`, which has room for raw.size() bytes (a
// value is never longer than its bytes); returns the end.
char* unquoteTo(char* out, std::string_view raw);

// The same, appended to `out`.
void appendUnquoted(std::string& out, std::string_view raw);

// Whether the value of these field bytes is blank (nothing or spaces), as the
// skip rule tests it: `""` and `" "` are blank.
bool isBlankQuoted(std::string_view raw);

// Whether `needed` quotes this value.
bool needsQuotes(std::string_view value, std::string_view join);

// Whether `needed` quotes the value of these field bytes, read in place.
bool valueNeedsQuotes(std::string_view raw, std::string_view join);

#ifdef __SSE2__
// Bit i set when byte i of the 16 from p is a quote, CR, LF or `byte`.
inline unsigned specialBits16(const char* p, char byte) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i a =
        _mm_or_si128(_mm_cmpeq_epi8(c, _mm_set1_epi8('"')), _mm_cmpeq_epi8(c, _mm_set1_epi8(byte)));
    const __m128i b = _mm_or_si128(_mm_cmpeq_epi8(c, _mm_set1_epi8('\r')),
                                   _mm_cmpeq_epi8(c, _mm_set1_epi8('\n')));
    return unsigned(_mm_movemask_epi8(_mm_or_si128(a, b)));
}

// Whether a value of at most 32 bytes has a bit set among those of two
// 16-byte looks at its first 32 bytes.
template <class Bits16>
bool anyInPadded(std::string_view value, char byte, Bits16 bits16) {
    const std::uint64_t bits = std::uint64_t(bits16(value.data(), byte)) |
                               std::uint64_t(bits16(value.data() + 16, byte)) << 16;
    return (bits & ((std::uint64_t{1} << value.size()) - 1)) != 0;
}
#endif

// Whether a value of at most 32 bytes holds a quote, CR, LF or `byte`,
// reading the 32 bytes from its start whatever its size.
inline bool holdsSpecialPadded(std::string_view value, char byte) {
#ifdef __SSE2__
    return anyInPadded(value, byte, specialBits16);
#else
    return needsQuotes(value, std::string_view(&byte, 1));
#endif
}

// Whether a value with no quote, CR or LF holds the join string, so that
// `needed` quotes it; its first 32 bytes may be read whatever its size.
inline bool holdsJoinPadded(std::string_view value, std::string_view join) {
#ifdef __SSE2__
    if (join.size() == 1 && value.size() <= 32) {
        const __m128i j = _mm_set1_epi8(join[0]);
        const auto bits16 = [&](const char* p) {
            return unsigned(_mm_movemask_epi8(
                _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), j)));
        };
        const std::uint64_t bits = bits16(value.data()) | std::uint64_t(bits16(value.data() + 16))
                                                              << 16;
        return (bits & ((std::uint64_t{1} << value.size()) - 1)) != 0;
    }
#endif
    return !join.empty() && value.find(join) != std::string_view::npos;
}

// needsQuotes() for a value whose first 32 bytes may be read whatever its size.
inline bool needsQuotesPadded(std::string_view value, std::string_view join) {
    if (value.size() <= 32 && join.size() <= 1) {
        return holdsSpecialPadded(value, join.empty() ? '"' : join[0]);
    }
    return needsQuotes(value, join);
}

// Quotes and padding behind them, for a put() that reads past what it copies.
inline constexpr char kQuotes[] =
    "\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\""
    "\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"";

// Puts the value of one field's bytes (`raw`) into a result as quoted mode
// writes it, unquoted and then quoted as `mode` says, through out.put() (any
// of emit.h's ways, CountBytes to size it). The value is put in pieces of
// `raw`: a value of a gigabyte is never held a second time to be unquoted.
template <class Out>
void putQuotedValue(Out& out, std::string_view raw, QuoteOutput mode, std::string_view join) {
    // Most values are one run of their bytes: unquoted ones, and quoted ones
    // with no quote inside. Only the rest are read piece by piece.
    std::string_view value = raw;
    bool whole = raw.empty() || raw[0] != '"';
    if (!whole && raw.size() >= 2 && raw.back() == '"' &&
        std::memchr(raw.data() + 1, '"', raw.size() - 2) == nullptr) {
        value = raw.substr(1, raw.size() - 2);
        whole = true;
    }
    auto forEachPiece = [&](auto&& piece) {
        if (whole) return piece(value.data(), value.size());
        forEachUnquotedPiece(raw, piece);
    };
    bool quote = mode == QuoteOutput::always;
    if (mode == QuoteOutput::needed) {
        // Where the bytes behind a value may be read, as wide moves do, a
        // short value is tested in one look.
        if constexpr (requires { Out::kWide; }) {
            quote = whole ? needsQuotesPadded(value, join) : valueNeedsQuotes(raw, join);
        } else {
            quote = whole ? needsQuotes(value, join) : valueNeedsQuotes(raw, join);
        }
    }
    if (!quote) {
        forEachPiece([&](const char* p, std::size_t n) { out.put(p, n); });
        return;
    }
    out.put(kQuotes, 1);
    forEachPiece([&](const char* p, std::size_t n) {
        std::string_view rest(p, n);
        for (auto at = rest.find('"'); at != rest.npos; at = rest.find('"')) {
            out.put(rest.data(), at + 1);
            out.put(kQuotes, 1);
            rest.remove_prefix(at + 1);
        }
        out.put(rest.data(), rest.size());
    });
    out.put(kQuotes, 1);
}

// Puts the value of these field bytes without its edge spaces, in pieces of
// `raw`; a blank value puts nothing. Two reads of the bytes: the first finds
// where the kept part begins and ends.
template <class Out>
void putUnquotedTrimmed(Out& out, std::string_view raw) {
    std::size_t at = 0, first = std::string_view::npos, last = 0;
    forEachUnquotedPiece(raw, [&](const char* p, std::size_t n) {
        const std::string_view piece(p, n);
        if (const auto from = piece.find_first_not_of(' '); from != piece.npos) {
            if (first == piece.npos) first = at + from;
            last = at + piece.find_last_not_of(' ') + 1;
        }
        at += n;
    });
    if (first == std::string_view::npos) return;
    at = 0;
    forEachUnquotedPiece(raw, [&](const char* p, std::size_t n) {
        const std::size_t from = std::max(first, at), to = std::min(last, at + n);
        if (from < to) out.put(p + (from - at), to - from);
        at += n;
    });
}

}  // namespace kolvane
