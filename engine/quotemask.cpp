#include "quotemask.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace kolvane {

namespace {

constexpr std::uint64_t kAll = ~std::uint64_t{0};

inline std::uint64_t lowBits(std::size_t n) {
    return n >= 64 ? kAll : (std::uint64_t{1} << n) - 1;
}

inline bool isLineEnd(char c) {
    return c == '\n' || c == '\r';
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

#if defined(__x86_64__)
// The running parity in one instruction: a carry-less multiply by all ones.
__attribute__((target("pclmul"))) inline std::uint64_t clmulPrefixXor(std::uint64_t x) {
    const __m128i product =
        _mm_clmulepi64_si128(_mm_set_epi64x(0, static_cast<long long>(x)), _mm_set1_epi8(-1), 0);
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(product));
}
#endif

// The state after the byte of bit `at`, from the word's bits.
inline QuoteState stateAt(unsigned at, std::uint64_t inside, std::uint64_t closing,
                          std::uint64_t stops) {
    if ((inside >> at) & 1) return QuoteState::quoted;
    if ((closing >> at) & 1) return QuoteState::afterQuote;
    if ((stops >> at) & 1) return QuoteState::fieldStart;
    return QuoteState::unquoted;
}

// Words of a one-byte split (or none), from a word boundary: the parity of the
// quotes so far says which bytes are inside a quoted value. It reads a value
// exactly unless a quote that parity takes for an opening one stands neither
// at a field's start nor right after a closing quote (the second of `""`):
// such a quote is an ordinary byte, and that word is read byte by byte.
template <bool kClmul>
QuoteCarry maskWords(const char* data, std::size_t from, std::size_t to, std::size_t size,
                     std::string_view split, std::uint64_t* ends, std::uint64_t* seps,
                     QuoteCarry c) {
    for (std::size_t i = from; i < to; i += 64) {
        const std::size_t w = i / 64;
        const std::size_t n = std::min<std::size_t>(64, to - i);
        const std::uint64_t range = lowBits(n);
        const std::uint64_t q = quoteBits(data + i) & range;
        const std::uint64_t stops = (ends[w] | (seps != nullptr ? seps[w] : 0)) & range;
        if (q == 0) {
            // The common word: no quote, so nothing changes state but the stops.
            if (c.state == QuoteState::quoted) {
                ends[w] &= ~range;
                if (seps != nullptr) seps[w] &= ~range;
            } else if (n > 0) {
                c.state = stateAt(unsigned(n - 1), 0, 0, stops);
            }
            continue;
        }
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
        const std::uint64_t inside = parity ^ (c.state == QuoteState::quoted ? kAll : 0);
        const std::uint64_t closing = q & ~inside;
        const std::uint64_t opening = q & inside;
        const std::uint64_t fieldStarts =
            ((stops & ~inside) << 1) | std::uint64_t(c.state == QuoteState::fieldStart);
        const std::uint64_t afterClose =
            (closing << 1) | std::uint64_t(c.state == QuoteState::afterQuote);
        if ((opening & ~(fieldStarts | afterClose)) != 0) {
            c = maskQuotesExact(data, i, i + n, size, split, ends, seps, c);
            continue;
        }
        ends[w] &= ~(inside & range);
        if (seps != nullptr) seps[w] &= ~(inside & range);
        c.state = stateAt(unsigned(n - 1), inside, closing, stops);
    }
    return c;
}

#if defined(__x86_64__)
// Everything inlined into one loop built for processors with PCLMULQDQ.
__attribute__((target("pclmul"), flatten)) QuoteCarry maskWordsClmul(
    const char* data, std::size_t from, std::size_t to, std::size_t size, std::string_view split,
    std::uint64_t* ends, std::uint64_t* seps, QuoteCarry c) {
    return maskWords<true>(data, from, to, size, split, ends, seps, c);
}
#endif

using MaskWords = QuoteCarry (*)(const char*, std::size_t, std::size_t, std::size_t,
                                 std::string_view, std::uint64_t*, std::uint64_t*, QuoteCarry);

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
        const char ch = data[i];
        if (c.splitLeft > 0) {
            if (--c.splitLeft == 0) c.state = QuoteState::fieldStart;
            continue;
        }
        switch (c.state) {
            case QuoteState::quoted: {
                const std::uint64_t keep = ~(std::uint64_t{1} << (i % 64));
                ends[i / 64] &= keep;
                if (seps != nullptr) seps[i / 64] &= keep;
                if (ch == '"') c.state = QuoteState::afterQuote;
                continue;
            }
            case QuoteState::fieldStart:
            case QuoteState::afterQuote:
                if (ch == '"') {
                    c.state = QuoteState::quoted;
                    continue;
                }
                break;
            case QuoteState::unquoted:
                break;
        }
        if (isLineEnd(ch)) {
            c.state = QuoteState::fieldStart;
        } else if (!split.empty() && ch == split[0] && split.size() <= size - i &&
                   std::memcmp(data + i, split.data(), split.size()) == 0) {
            c.splitLeft = std::uint32_t(split.size() - 1);
            c.state = c.splitLeft == 0 ? QuoteState::fieldStart : QuoteState::unquoted;
        } else {
            c.state = QuoteState::unquoted;
        }
    }
    return c;
}

QuoteCarry maskQuotes(const char* data, std::size_t from, std::size_t to, std::size_t size,
                      std::string_view split, std::uint64_t* ends, std::uint64_t* seps,
                      QuoteCarry carry) {
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
    return words(data, from, to, size, split, ends, seps, carry);
}

}  // namespace kolvane
