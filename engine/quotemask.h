#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace kolvane {

// Where a reader of quoted fields stands after a byte, as Python's csv module
// reads them with its default dialect: a quote opens a value only at the very
// start of a field, `""` inside one is a quote, a lone quote closes it, and
// what follows the closing quote up to the next split string is kept (its
// quotes are ordinary bytes).
enum class QuoteState : std::uint8_t {
    fieldStart,  // after a split string or a line end, or at the source's start
    unquoted,    // inside a value that no quote opened: quotes are ordinary bytes
    quoted,      // inside a quoted value: split strings and line ends belong to it
    afterQuote,  // just past a quote that closes a quoted value, or is the first of `""`
};

// What a window hands on to the next one.
struct QuoteCarry {
    QuoteState state = QuoteState::fieldStart;
    std::uint32_t splitLeft = 0;  // bytes of a multi-byte split string still to come

    bool operator==(const QuoteCarry&) const = default;
};

// What one byte is to a reader of quoted fields.
enum class QuoteByte : std::uint8_t {
    plain,   // an ordinary byte, a quote, a line end, or the rest of a split string
    inside,  // a byte of a quoted value: its line end or split byte is the value's
    split,   // the first byte of a split string that ends a field
};

// Reads byte i of data[0, size) in state `c`, which it moves on: the one
// definition of the rules, which every reader here follows.
inline QuoteByte stepQuote(QuoteCarry& c, const char* data, std::size_t i, std::size_t size,
                           std::string_view split) {
    const char ch = data[i];
    if (c.splitLeft > 0) {
        if (--c.splitLeft == 0) c.state = QuoteState::fieldStart;
        return QuoteByte::plain;
    }
    if (c.state == QuoteState::quoted) {
        if (ch == '"') c.state = QuoteState::afterQuote;
        return QuoteByte::inside;
    }
    if (ch == '"' && c.state != QuoteState::unquoted) {  // opens a value, or is `""`'s second
        c.state = QuoteState::quoted;
        return QuoteByte::plain;
    }
    if (ch == '\n' || ch == '\r') {
        c.state = QuoteState::fieldStart;
        return QuoteByte::plain;
    }
    if (!split.empty() && ch == split[0] && split.size() <= size - i &&
        std::memcmp(data + i, split.data(), split.size()) == 0) {
        c.splitLeft = std::uint32_t(split.size() - 1);
        c.state = c.splitLeft == 0 ? QuoteState::fieldStart : QuoteState::unquoted;
        return QuoteByte::split;
    }
    c.state = QuoteState::unquoted;
    return QuoteByte::plain;
}

// Calls atStop(i) at the first byte of every split string in `record` that
// ends a field, for a record (or the rest of one, from `c`) whose bits the
// maps do not hold: a longer split string, or a record across windows.
// Returns the state after it: quoted when a quote is left open.
template <class AtStop>
QuoteCarry forEachQuotedStop(std::string_view record, std::string_view split, AtStop&& atStop,
                             QuoteCarry c = {}) {
    for (std::size_t i = 0; i < record.size(); ++i) {
        if (stepQuote(c, record.data(), i, record.size(), split) == QuoteByte::split) atStop(i);
    }
    return c;
}

// Clears the line-end and split bits of bytes [from, to) of `data` that stand
// inside quoted values, so that records and fields are found from the bits as
// in plain text. Bit b of word i of `ends`, `seps` and `quotes` (as
// markQuotedLineBytes() in lineindex.h makes them) stands for byte 64 i + b of `data`; `seps`
// may be null when there is no one-byte split, and `quotes` when the quotes
// are to be found here. Bits outside [from, to) are left alone. `carry` is the state before byte
// `from`; returns the state after byte to - 1. `size` (at least `to`) is how far the text goes, for
// a multi-byte split string that runs past `to`. `data` must be readable up to the end of the word
// holding byte to - 1.
//
// A one-byte split (or none) takes 64 bytes a step: the quotes' running parity
// says what is inside, and a word where parity misreads (a quote that opens no
// value, as in `12" monitor` or `"a"b"c`) is taken byte by byte. A longer split
// string is read byte by byte throughout.
QuoteCarry maskQuotes(const char* data, std::size_t from, std::size_t to, std::size_t size,
                      std::string_view split, std::uint64_t* ends, std::uint64_t* seps,
                      const std::uint64_t* quotes, QuoteCarry carry);

// The same, a byte at a time: the exact reading the fast path must agree with.
QuoteCarry maskQuotesExact(const char* data, std::size_t from, std::size_t to, std::size_t size,
                           std::string_view split, std::uint64_t* ends, std::uint64_t* seps,
                           QuoteCarry carry);

// The mask's state between two words as bits, so that carrying it from word
// to word costs a shift or two rather than a chain of branches.
struct QuoteWordState {
    std::uint64_t inQuotes = 0;   // all ones inside a quoted value
    std::uint64_t mayOpen = 1;    // 1 at a field's start or past a closing quote
    std::uint64_t lastQuote = 0;  // 1 when the last byte read is a quote

    static QuoteWordState of(QuoteState s) {
        return {s == QuoteState::quoted ? ~std::uint64_t{0} : 0,
                std::uint64_t(s == QuoteState::fieldStart || s == QuoteState::afterQuote),
                std::uint64_t(s == QuoteState::afterQuote)};
    }
    QuoteState state() const {
        if (inQuotes != 0) return QuoteState::quoted;
        if (mayOpen == 0) return QuoteState::unquoted;
        return lastQuote != 0 ? QuoteState::afterQuote : QuoteState::fieldStart;
    }
};

// One word as parity reads it, from the state before it.
struct WordReading {
    std::uint64_t inside;    // bytes inside quoted values
    std::uint64_t enclosed;  // the stops among them
    std::uint64_t opens;     // field starts and closing quotes: a value may open past each
};

// Reads one word of a text with a one-byte split string (or none), bytes up
// to `range`: from its quotes `q` and its line ends and split bytes `stops`
// (both within `range`), `parity` (the running XOR of q), and `inQuotes` and
// `mayOpen` as QuoteWordState holds them. Parity reads a value exactly unless
// a quote it takes for an opening one stands where no value may open (neither
// at a field's start nor right after a closing quote, as the second of
// `""`): such a quote is an ordinary byte, and the word must be read byte by
// byte. False then.
[[gnu::always_inline]] inline bool readWord(std::uint64_t q, std::uint64_t stops,
                                            std::uint64_t parity, std::uint64_t range,
                                            std::uint64_t inQuotes, std::uint64_t mayOpen,
                                            WordReading& r) {
    r.inside = (parity ^ inQuotes) & range;
    const std::uint64_t opening = q & r.inside;
    r.enclosed = stops & r.inside;
    r.opens = (stops ^ r.enclosed) | (q ^ opening);
    return (opening & ~((r.opens << 1) | mayOpen)) == 0;
}

// Bit i of the result is the XOR of bits 0..i of x: which bytes of a word lie
// after an odd number of quotes. The portable form of a carry-less multiply.
constexpr std::uint64_t prefixXor(std::uint64_t x) {
    x ^= x << 1;
    x ^= x << 2;
    x ^= x << 4;
    x ^= x << 8;
    x ^= x << 16;
    x ^= x << 32;
    return x;
}

#if defined(__x86_64__)
// The same in one instruction: a carry-less multiply by all ones.
__attribute__((target("pclmul"))) inline std::uint64_t clmulPrefixXor(std::uint64_t x) {
    const __m128i product =
        _mm_clmulepi64_si128(_mm_set_epi64x(0, static_cast<long long>(x)), _mm_set1_epi8(-1), 0);
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(product));
}
#endif

}  // namespace kolvane
