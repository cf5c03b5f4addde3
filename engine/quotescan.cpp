#include "quotescan.h"

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

// Bit i of the result is the XOR of bits 0..i of x: which bytes of a word lie
// after an odd number of quotes.
constexpr std::uint64_t prefixXor(std::uint64_t x) {
    x ^= x << 1;
    x ^= x << 2;
    x ^= x << 4;
    x ^= x << 8;
    x ^= x << 16;
    x ^= x << 32;
    return x;
}
// Quotes at bits 0, 1 and 3: bytes 0 and 3 on lie inside, 1 and 2 do not.
static_assert(prefixXor(0b1011) == (kAll << 3 | 0b1));

// One word's marks: its line ends, split bytes and quotes.
struct WordMarks {
    std::uint64_t ends, seps, quotes;
};

// The ways a processor marks 64 bytes, each with the parity step it has.
struct Portable {
    template <bool kSplit, bool kQuotes>
    static WordMarks mark(const char* p, char split) {
        WordMarks m{0, 0, 0};
        for (int i = 0; i < 64; ++i) {
            m.ends |= std::uint64_t(p[i] == '\n' || p[i] == '\r') << i;
            if (kSplit) m.seps |= std::uint64_t(p[i] == split) << i;
            if (kQuotes) m.quotes |= std::uint64_t(p[i] == '"') << i;
        }
        return m;
    }
    static std::uint64_t parity(std::uint64_t q) { return prefixXor(q); }
};

#if defined(__x86_64__)
#define KOLVANE_AVX2 __attribute__((target("avx2,bmi,pclmul"))) inline

struct Sse2 {
    template <bool kSplit, bool kQuotes>
    [[gnu::always_inline]] static WordMarks mark(const char* p, char split) {
        const __m128i lf = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r');
        const __m128i sp = _mm_set1_epi8(split), quote = _mm_set1_epi8('"');
        WordMarks m{0, 0, 0};
        for (int k = 0; k < 4; ++k) {
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
            const auto bits = [&](__m128i eq) {
                return std::uint64_t(unsigned(_mm_movemask_epi8(eq))) << (16 * k);
            };
            m.ends |= bits(_mm_or_si128(_mm_cmpeq_epi8(c, lf), _mm_cmpeq_epi8(c, cr)));
            if (kSplit) m.seps |= bits(_mm_cmpeq_epi8(c, sp));
            if (kQuotes) m.quotes |= bits(_mm_cmpeq_epi8(c, quote));
        }
        return m;
    }
    static std::uint64_t parity(std::uint64_t q) { return prefixXor(q); }
};

KOLVANE_AVX2 std::uint64_t avx2Bits(__m256i lo, __m256i hi) {
    return std::uint64_t(std::uint32_t(_mm256_movemask_epi8(lo))) |
           std::uint64_t(std::uint32_t(_mm256_movemask_epi8(hi))) << 32;
}
KOLVANE_AVX2 std::uint64_t avx2Equal(__m256i lo, __m256i hi, char c) {
    const __m256i v = _mm256_set1_epi8(c);
    return avx2Bits(_mm256_cmpeq_epi8(lo, v), _mm256_cmpeq_epi8(hi, v));
}

struct Avx2 {
    template <bool kSplit, bool kQuotes>
    KOLVANE_AVX2 static WordMarks mark(const char* p, char split) {
        const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
        return {avx2Equal(lo, hi, '\n') | avx2Equal(lo, hi, '\r'),
                kSplit ? avx2Equal(lo, hi, split) : 0, kQuotes ? avx2Equal(lo, hi, '"') : 0};
    }
    // The parity in one instruction: a carry-less multiply by all ones.
    KOLVANE_AVX2 static std::uint64_t parity(std::uint64_t q) {
        const __m128i product = _mm_clmulepi64_si128(_mm_set_epi64x(0, static_cast<long long>(q)),
                                                     _mm_set1_epi8(-1), 0);
        return static_cast<std::uint64_t>(_mm_cvtsi128_si64(product));
    }
};
#endif

template <class Isa, bool kSplit>
[[gnu::always_inline]] inline void markRun(const char* p, std::size_t words, char split,
                                           std::uint64_t* ends, std::uint64_t* seps) {
    for (std::size_t w = 0; w < words; ++w, p += 64) {
        const WordMarks m = Isa::template mark<kSplit, false>(p, split);
        ends[w] = m.ends;
        if (kSplit) seps[w] = m.seps;
    }
}

// What the word scan carries from word to word, as bits: all ones inside a
// quoted value; 1 where a value may open at the next word's first byte (a
// field's start, or past a closing quote); and the last word's quotes.
struct WordCarry {
    std::uint64_t inQuotes = 0;
    std::uint64_t mayOpen = 1;
    std::uint64_t lastQuotes = 1;

    static WordCarry of(QuoteState s, std::uint64_t lastQuotes) {
        return {s.at == QuoteState::quoted ? kAll : 0, std::uint64_t(s.at == QuoteState::mayOpen),
                lastQuotes};
    }
    QuoteState state() const {
        if (inQuotes != 0) return {QuoteState::quoted, 0};
        return {mayOpen != 0 ? QuoteState::mayOpen : QuoteState::unquoted, 0};
    }
};

// Reads word w, whose first byte is p[0] (the text, or a padded copy of its
// last part word), up to its byte `last`. The quotes' running parity says
// which bytes lie inside quoted values; it reads a word exactly unless a
// quote it takes for an opening one stands where no value may open (neither
// at a field's start nor right after a closing quote, as the second of
// `""`): such a quote is an ordinary byte, and the word must be read byte by
// byte. False then, with the carry as it was.
template <class Isa, bool kSplit>
[[gnu::always_inline]] inline bool scanWord(const char* p, char split, std::size_t w,
                                            QuotedMapWords maps, WordCarry& c, unsigned last) {
    const WordMarks m = Isa::template mark<kSplit, true>(p, split);
    const std::uint64_t stops = m.ends | m.seps;
    maps.quotes[w] = m.quotes;
    // A second word in a row with no quote, where none is open, needs no
    // parity: so most of a plain file, and seldom a file thick with quotes,
    // where guessing this wrong would cost more than the parity.
    if ((m.quotes | c.lastQuotes | c.inQuotes) == 0) {
        maps.ends[w] = m.ends;
        maps.seps[w] = m.seps;
        maps.hidden[w] = 0;
        c.mayOpen = (stops >> last) & 1;
        return true;
    }
    const std::uint64_t inside = Isa::parity(m.quotes) ^ c.inQuotes;
    const std::uint64_t opening = m.quotes & inside;
    const std::uint64_t opens = (stops & ~inside) | (m.quotes ^ opening);
    if ((opening & ~((opens << 1) | c.mayOpen)) != 0) return false;
    maps.ends[w] = m.ends & ~inside;
    maps.seps[w] = m.seps & ~inside;
    maps.hidden[w] = m.ends & inside;
    c = {0 - ((inside >> last) & 1), (opens >> last) & 1, m.quotes};
    return true;
}

// Scans whole words [w, whole), then the `tail` bytes after them, up to the
// first word parity misreads. Returns that word, or the first past the
// text; `state` is then where a reader stands before it.
template <class Isa, bool kSplit>
[[gnu::always_inline]] inline std::size_t scanRun(const char* text, std::size_t w,
                                                  std::size_t whole, unsigned tail, char split,
                                                  const QuotedMapWords& maps, QuoteState& state,
                                                  std::uint64_t& lastQuotes) {
    WordCarry c = WordCarry::of(state, lastQuotes);
    // A copy, so that stores into the maps are not taken to change where
    // they are: the loop keeps the four pointers in registers.
    const QuotedMapWords m = maps;
    for (; w < whole; ++w) {
        if (!scanWord<Isa, kSplit>(text + 64 * w, split, w, m, c, 63)) break;
    }
    if (w == whole && tail > 0) {
        // The last part word from a copy padded with a byte that marks nothing.
        char padded[64];
        std::memset(padded, split == 'x' ? 'y' : 'x', sizeof padded);
        std::memcpy(padded, text + 64 * w, tail);
        if (scanWord<Isa, kSplit>(padded, split, w, m, c, tail - 1)) ++w;
    }
    state = c.state();
    lastQuotes = c.lastQuotes;
    return w;
}

#if defined(__x86_64__)
template <bool kSplit>
__attribute__((target("avx2,bmi,pclmul"), flatten)) std::size_t scanRunAvx2(
    const char* text, std::size_t w, std::size_t whole, unsigned tail, char split,
    const QuotedMapWords& maps, QuoteState& state, std::uint64_t& lastQuotes) {
    return scanRun<Avx2, kSplit>(text, w, whole, tail, split, maps, state, lastQuotes);
}
template <bool kSplit>
__attribute__((target("avx2,bmi,pclmul"), flatten)) void markRunAvx2(const char* p,
                                                                     std::size_t words, char split,
                                                                     std::uint64_t* ends,
                                                                     std::uint64_t* seps) {
    markRun<Avx2, kSplit>(p, words, split, ends, seps);
}
using Baseline = Sse2;
#else
using Baseline = Portable;
#endif

template <bool kSplit>
std::size_t scanRunBaseline(const char* text, std::size_t w, std::size_t whole, unsigned tail,
                            char split, const QuotedMapWords& maps, QuoteState& state,
                            std::uint64_t& lastQuotes) {
    return scanRun<Baseline, kSplit>(text, w, whole, tail, split, maps, state, lastQuotes);
}
template <bool kSplit>
void markRunBaseline(const char* p, std::size_t words, char split, std::uint64_t* ends,
                     std::uint64_t* seps) {
    markRun<Baseline, kSplit>(p, words, split, ends, seps);
}

// The loops this processor runs best, chosen once: every x86-64 has SSE2,
// and AVX2 with a carry-less multiply is used where the processor has them.
struct Kernels {
    using Scan = std::size_t (*)(const char*, std::size_t, std::size_t, unsigned, char,
                                 const QuotedMapWords&, QuoteState&, std::uint64_t&);
    using Mark = void (*)(const char*, std::size_t, char, std::uint64_t*, std::uint64_t*);
    Scan scan[2];  // without, with a split byte
    Mark mark[2];

    static Kernels pick() {
#if defined(__x86_64__)
        if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
            __builtin_cpu_supports("pclmul")) {
            return {{scanRunAvx2<false>, scanRunAvx2<true>},
                    {markRunAvx2<false>, markRunAvx2<true>}};
        }
#endif
        return {{scanRunBaseline<false>, scanRunBaseline<true>},
                {markRunBaseline<false>, markRunBaseline<true>}};
    }
};

const Kernels& kernels() {
    static const Kernels chosen = Kernels::pick();
    return chosen;
}

}  // namespace

void markLineBytes(const char* p, std::size_t words, int split, std::uint64_t* ends,
                   std::uint64_t* seps) {
    kernels().mark[split >= 0](p, words, char(split), ends, seps);
}

QuoteState scanQuotedExact(const char* text, std::size_t from, std::size_t to, std::size_t size,
                           std::string_view split, const QuotedMapWords& maps, QuoteState s) {
    for (std::size_t w = from / 64; w * 64 < to; ++w) {
        const std::size_t a = std::max(from, w * 64), b = std::min(to, w * 64 + 64);
        std::uint64_t ends = 0, seps = 0, quotes = 0, hidden = 0;
        for (std::size_t i = a; i < b; ++i) {
            const std::uint64_t bit = std::uint64_t{1} << (i % 64);
            const char ch = text[i];
            quotes |= ch == '"' ? bit : 0;
            switch (stepQuote(s, text, i, size, split)) {
                case QuoteByte::split:
                    seps |= bit;
                    break;
                case QuoteByte::lineEnd:
                    ends |= bit;
                    break;
                case QuoteByte::inside:
                    hidden |= ch == '\n' || ch == '\r' ? bit : 0;
                    break;
                case QuoteByte::plain:
                    break;
            }
        }
        const std::uint64_t keep = lowBits(a % 64);  // only before `from`
        maps.ends[w] = (maps.ends[w] & keep) | ends;
        maps.seps[w] = (maps.seps[w] & keep) | seps;
        maps.quotes[w] = (maps.quotes[w] & keep) | quotes;
        maps.hidden[w] = (maps.hidden[w] & keep) | hidden;
    }
    return s;
}

QuoteState scanQuoted(const char* text, std::size_t from, std::size_t to, std::size_t size,
                      std::string_view split, const QuotedMapWords& maps, QuoteState state) {
    if (from >= to) return state;
    // A longer split string's stops depend on where the last one ended,
    // which parity cannot see; a start inside a word has bits to keep.
    if (split.size() > 1 || state.splitLeft > 0) {
        return scanQuotedExact(text, from, to, size, split, maps, state);
    }
    if (from % 64 != 0) {
        const std::size_t edge = std::min(to, (from / 64 + 1) * 64);
        state = scanQuotedExact(text, from, edge, size, split, maps, state);
        from = edge;
        if (from == to) return state;
    }
    const std::size_t whole = to / 64;
    const auto tail = unsigned(to % 64);
    const std::size_t end = whole + (tail > 0 ? 1 : 0);
    const Kernels::Scan scan = kernels().scan[split.size()];
    const char splitByte = split.empty() ? '\0' : split[0];
    std::uint64_t lastQuotes = 1;
    for (std::size_t w = from / 64; w < end; ++w) {
        w = scan(text, w, whole, tail, splitByte, maps, state, lastQuotes);
        if (w >= end) break;
        state = scanQuotedExact(text, 64 * w, std::min(to, 64 * w + 64), size, split, maps, state);
        // The word after a misread one asks whether that one held a quote.
        lastQuotes = maps.quotes[w];
    }
    return state;
}

}  // namespace kolvane
