#include "quotemask.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace kolvane {

namespace {

constexpr std::uint64_t kAll = ~std::uint64_t{0};
// Quotes at bits 0, 1 and 3: bytes 0 and 3 on lie inside, 1 and 2 do not.
static_assert(prefixXor(0b1011) == (kAll << 3 | 0b1));

inline std::uint64_t lowBits(std::size_t n) {
    return n >= 64 ? kAll : (std::uint64_t{1} << n) - 1;
}

// Bit i set when byte i of the 64 from p is a quote.
inline std::uint64_t quoteBits(const char* p) {
#if defined(__x86_64__)
    const __m128i quote = _mm_set1_epi8('"');
    std::uint64_t bits = 0;
    for (int k = 0; k < 4; ++k) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
        bits |= std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(c, quote)))) << (16 * k);
    }
    return bits;
#else
    std::uint64_t bits = 0;
    for (int i = 0; i < 64; ++i) bits |= std::uint64_t(p[i] == '"') << i;
    return bits;
#endif
}

// Words of a one-byte split (or none), from a word boundary: the parity of the
// quotes so far says which bytes are inside a quoted value. It reads a value
// exactly unless a quote that parity takes for an opening one stands neither
// at a field's start nor right after a closing quote (the second of `""`):
// such a quote is an ordinary byte, and that word is read byte by byte.
template <bool kClmul>
QuoteCarry maskWords(const char* data, std::size_t from, std::size_t to, std::size_t size,
                     std::string_view split, std::uint64_t* ends, std::uint64_t* seps,
                     const std::uint64_t* quotes, QuoteCarry c) {
    if (from >= to) return c;
    QuoteWordState b = QuoteWordState::of(c.state);
    const std::size_t lastWord = (to - 1) / 64;
    // Word w's bytes up to `range`, whose top bit is byte `last`: false when
    // parity misreads it and it must be read byte by byte.
    auto step = [&](std::size_t w, std::uint64_t range, unsigned last)
        __attribute__((always_inline)) {
        const std::uint64_t q = (quotes != nullptr ? quotes[w] : quoteBits(data + 64 * w)) & range;
        const std::uint64_t stops = (ends[w] | (seps != nullptr ? seps[w] : 0)) & range;
        std::uint64_t parity = 0;
#if defined(__x86_64__)
        if constexpr (kClmul) {
            parity = clmulPrefixXor(q);
        } else {
            parity = prefixXor(q);
        }
#else
        parity = prefixXor(q);
#endif
        WordReading r{};
        if (!readWord(q, stops, parity, range, b.inQuotes, b.mayOpen, r)) return false;
        ends[w] &= ~r.inside;
        if (seps != nullptr) seps[w] &= ~r.inside;
        b = {0 - ((r.inside >> last) & 1), (r.opens >> last) & 1, (q >> last) & 1};
        return true;
    };
    for (std::size_t w = from / 64; w <= lastWord; ++w) {
        const bool whole = w < lastWord || to % 64 == 0;
        if (whole && quotes != nullptr && (quotes[w] | b.inQuotes) == 0 && w < lastWord &&
            quotes[w + 1] == 0) {
            // A run of words with no quote where none is open, as in most of
            // a plain file: only the stops say where it ends. Taken only for
            // two such words or more, so that a file dense with quotes never
            // guesses wrong here.
            std::size_t next = w + 2;
            while (next <= lastWord && quotes[next] == 0) ++next;
            const std::size_t at = std::min(next * 64, to) - 1;
            const std::uint64_t stop = (ends[at / 64] | (seps != nullptr ? seps[at / 64] : 0));
            b.mayOpen = (stop >> (at % 64)) & 1;
            b.lastQuote = 0;
            w = next - 1;
            continue;
        }
        if (whole ? step(w, kAll, 63) : step(w, lowBits(to % 64), unsigned(to % 64 - 1))) continue;
        const std::size_t i = w * 64;
        c.state = b.state();
        c = maskQuotesExact(data, i, std::min(i + 64, to), size, split, ends, seps, c);
        b = QuoteWordState::of(c.state);
    }
    c.state = b.state();
    return c;
}

#if defined(__x86_64__)
// Everything inlined into one loop built for processors with PCLMULQDQ.
__attribute__((target("pclmul"), flatten)) QuoteCarry maskWordsClmul(
    const char* data, std::size_t from, std::size_t to, std::size_t size, std::string_view split,
    std::uint64_t* ends, std::uint64_t* seps, const std::uint64_t* quotes, QuoteCarry c) {
    return maskWords<true>(data, from, to, size, split, ends, seps, quotes, c);
}
#endif

using MaskWords = QuoteCarry (*)(const char*, std::size_t, std::size_t, std::size_t,
                                 std::string_view, std::uint64_t*, std::uint64_t*,
                                 const std::uint64_t*, QuoteCarry);

MaskWords pickMaskWords() {
#if defined(__x86_64__)
    if (__builtin_cpu_supports("pclmul")) return maskWordsClmul;
#endif
    return maskWords<false>;
}

}  // namespace

QuoteCarry maskQuotesExact(const char* data, std::size_t from, std::size_t to, std::size_t size,
                           std::string_view split, std::uint64_t* ends, std::uint64_t* seps,
                           QuoteCarry c) {
    for (std::size_t i = from; i < to; ++i) {
        if (stepQuote(c, data, i, size, split) != QuoteByte::inside) continue;
        const std::uint64_t keep = ~(std::uint64_t{1} << (i % 64));
        ends[i / 64] &= keep;
        if (seps != nullptr) seps[i / 64] &= keep;
    }
    return c;
}

QuoteCarry maskQuotes(const char* data, std::size_t from, std::size_t to, std::size_t size,
                      std::string_view split, std::uint64_t* ends, std::uint64_t* seps,
                      const std::uint64_t* quotes, QuoteCarry carry) {
    if (from >= to) return carry;
    // The words' field starts come from the split's bits: without them, or for
    // a longer split string, only the byte-by-byte reading finds them.
    if (split.size() > 1 || (split.size() == 1 && seps == nullptr)) {
        return maskQuotesExact(data, from, to, size, split, ends, seps, carry);
    }
    // A window that starts inside a word: its first bytes one by one.
    if (from % 64 != 0) {
        const std::size_t edge = std::min(to, (from / 64 + 1) * 64);
        carry = maskQuotesExact(data, from, edge, size, split, ends, seps, carry);
        from = edge;
    }
    static const MaskWords words = pickMaskWords();
    return words(data, from, to, size, split, ends, seps, quotes, carry);
}

}  // namespace kolvane
