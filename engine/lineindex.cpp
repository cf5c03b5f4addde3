#include "lineindex.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace kolvane {

namespace {

// A fused marking and masking pass over whole words; see markAndMaskAvx2().
using MarkAndMask = QuoteCarry (*)(const char*, std::size_t, std::size_t, std::string_view,
                                   std::size_t, const QuotedMapWords&, QuoteCarry);

// The marking passes, with a third map of quotes (kQuotes) for quoted mode:
// one set of loops, so plain and quoted text are marked alike.
#if defined(__x86_64__)

template <bool kSplit, bool kQuotes>
void markSse2(const char* p, std::size_t words, char split, std::uint64_t* ends,
              std::uint64_t* seps, std::uint64_t* quotes) {
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i sp = _mm_set1_epi8(split);
    const __m128i quote = _mm_set1_epi8('"');
    for (std::size_t w = 0; w < words; ++w, p += 64) {
        std::uint64_t e = 0;
        std::uint64_t s = 0;
        std::uint64_t q = 0;
        for (int k = 0; k < 4; ++k) {
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
            const auto eq = _mm_or_si128(_mm_cmpeq_epi8(c, lf), _mm_cmpeq_epi8(c, cr));
            e |= std::uint64_t(unsigned(_mm_movemask_epi8(eq))) << (16 * k);
            if constexpr (kSplit) {
                s |= std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(c, sp)))) << (16 * k);
            }
            if constexpr (kQuotes) {
                q |= std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(c, quote))))
                     << (16 * k);
            }
        }
        ends[w] = e;
        if constexpr (kSplit) seps[w] = s;
        if constexpr (kQuotes) quotes[w] = q;
    }
}

__attribute__((target("avx2"))) inline std::uint64_t bitsOf(__m256i lo, __m256i hi) {
    return std::uint64_t(std::uint32_t(_mm256_movemask_epi8(lo))) |
           std::uint64_t(std::uint32_t(_mm256_movemask_epi8(hi))) << 32;
}

template <bool kSplit, bool kQuotes>
__attribute__((target("avx2"))) void markAvx2(const char* p, std::size_t words, char split,
                                              std::uint64_t* ends, std::uint64_t* seps,
                                              std::uint64_t* quotes) {
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i sp = _mm256_set1_epi8(split);
    const __m256i quote = _mm256_set1_epi8('"');
    for (std::size_t w = 0; w < words; ++w, p += 64) {
        const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
        ends[w] = bitsOf(_mm256_or_si256(_mm256_cmpeq_epi8(lo, lf), _mm256_cmpeq_epi8(lo, cr)),
                         _mm256_or_si256(_mm256_cmpeq_epi8(hi, lf), _mm256_cmpeq_epi8(hi, cr)));
        if constexpr (kSplit)
            seps[w] = bitsOf(_mm256_cmpeq_epi8(lo, sp), _mm256_cmpeq_epi8(hi, sp));
        if constexpr (kQuotes)
            quotes[w] = bitsOf(_mm256_cmpeq_epi8(lo, quote), _mm256_cmpeq_epi8(hi, quote));
    }
}

// Where a fused pass stands between words.
struct FusedState {
    QuoteState state = QuoteState::fieldStart;
    std::uint64_t lastQuotes = 1;  // the quotes of the word before
};

// Marking and masking fused, for a one-byte split `split` (kSplit) or none:
// each word's line ends, split bytes and quotes go straight into its quote
// mask, and only what the mask leaves is stored. Runs words [w, end) up to
// the first one parity misreads, which it marks but leaves unmasked, and
// returns that word (or `end`). It calls nothing and carries three values
// from word to word, so that its loop keeps everything in registers.
template <bool kSplit>
__attribute__((target("avx2,bmi,pclmul"), noinline)) std::size_t markAndMaskRun(
    const char* data, std::size_t w, std::size_t end, char split, QuotedMapWords maps,
    FusedState& fused) {
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i sp = _mm256_set1_epi8(split);
    const __m256i quote = _mm256_set1_epi8('"');
    // As QuoteWordState holds them, less the last byte's quote, which the
    // last word's quotes give when the run ends.
    const QuoteWordState start = QuoteWordState::of(fused.state);
    std::uint64_t inQuotes = start.inQuotes;
    std::uint64_t mayOpen = start.mayOpen;
    std::uint64_t lastQuotes = fused.lastQuotes;
    const std::size_t first = w;
    for (; w < end; ++w) {
        const char* p = data + 64 * w;
        const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
        const std::uint64_t e =
            bitsOf(_mm256_or_si256(_mm256_cmpeq_epi8(lo, lf), _mm256_cmpeq_epi8(lo, cr)),
                   _mm256_or_si256(_mm256_cmpeq_epi8(hi, lf), _mm256_cmpeq_epi8(hi, cr)));
        const std::uint64_t s =
            kSplit ? bitsOf(_mm256_cmpeq_epi8(lo, sp), _mm256_cmpeq_epi8(hi, sp)) : 0;
        const std::uint64_t q = bitsOf(_mm256_cmpeq_epi8(lo, quote), _mm256_cmpeq_epi8(hi, quote));
        maps.quotes[w] = q;
        const std::uint64_t stops = e | s;
        // A second word in a row with no quote, where none is open, needs no
        // mask: so most of a plain file, and seldom a file thick with quotes,
        // where guessing this wrong would cost more than the mask.
        if ((q | lastQuotes | inQuotes) == 0) {
            maps.ends[w] = e;
            if (kSplit) maps.seps[w] = s;
            maps.hidden[w] = 0;
            maps.enclosed[w] = 0;
            mayOpen = stops >> 63;
            continue;
        }
        WordReading r{};
        if (!readWord(q, stops, clmulPrefixXor(q), ~std::uint64_t{0}, inQuotes, mayOpen, r)) {
            maps.ends[w] = e;
            if (kSplit) maps.seps[w] = s;
            break;
        }
        maps.ends[w] = e & ~r.inside;
        if (kSplit) maps.seps[w] = s & ~r.inside;
        maps.hidden[w] = e & r.inside;
        maps.enclosed[w] = r.enclosed;
        inQuotes = std::uint64_t(std::int64_t(r.inside) >> 63);
        mayOpen = r.opens >> 63;
        lastQuotes = q;
    }
    if (w > first) fused.state = QuoteWordState{inQuotes, mayOpen, lastQuotes >> 63}.state();
    // The word after a misread one asks whether that one held a quote.
    fused.lastQuotes = w < end ? maps.quotes[w] : lastQuotes;
    return w;
}

// The fused pass over whole words from `first`; a word parity misreads is
// read byte by byte.
template <bool kSplit>
__attribute__((target("avx2,bmi,pclmul"))) QuoteCarry markAndMaskAvx2(
    const char* data, std::size_t first, std::size_t words, std::string_view split,
    std::size_t size, const QuotedMapWords& maps, QuoteCarry carry) {
    FusedState fused{carry.state};
    const std::size_t end = first + words;
    const char splitByte = kSplit ? split[0] : 0;
    for (std::size_t w = markAndMaskRun<kSplit>(data, first, end, splitByte, maps, fused); w < end;
         w = markAndMaskRun<kSplit>(data, w + 1, end, splitByte, maps, fused)) {
        const std::uint64_t rawEnds = maps.ends[w],
                            rawStops = rawEnds | (kSplit ? maps.seps[w] : 0);
        const QuoteCarry exact = maskQuotesExact(data, 64 * w, 64 * w + 64, size, split, maps.ends,
                                                 kSplit ? maps.seps : nullptr, {fused.state, 0});
        maps.hidden[w] = rawEnds & ~maps.ends[w];
        maps.enclosed[w] = rawStops & ~(maps.ends[w] | (kSplit ? maps.seps[w] : 0));
        fused.state = exact.state;
    }
    return {fused.state, 0};
}

// The fused pass where the processor has what it needs, else none.
template <bool kSplit>
MarkAndMask pickMarkAndMask() {
    const bool can = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
                     __builtin_cpu_supports("pclmul");
    return can ? markAndMaskAvx2<kSplit> : nullptr;
}

using Mark = void (*)(const char*, std::size_t, char, std::uint64_t*, std::uint64_t*,
                      std::uint64_t*);

// Chosen once: every x86-64 has SSE2, AVX2 is used where the processor has it.
template <bool kSplit, bool kQuotes>
Mark pick() {
    return __builtin_cpu_supports("avx2") ? markAvx2<kSplit, kQuotes> : markSse2<kSplit, kQuotes>;
}

#else

template <bool kSplit, bool kQuotes>
void markPlain(const char* p, std::size_t words, char split, std::uint64_t* ends,
               std::uint64_t* seps, std::uint64_t* quotes) {
    for (std::size_t w = 0; w < words; ++w, p += 64) {
        std::uint64_t e = 0;
        std::uint64_t s = 0;
        std::uint64_t q = 0;
        for (int i = 0; i < 64; ++i) {
            e |= std::uint64_t(p[i] == '\n' || p[i] == '\r') << i;
            if constexpr (kSplit) s |= std::uint64_t(p[i] == split) << i;
            if constexpr (kQuotes) q |= std::uint64_t(p[i] == '"') << i;
        }
        ends[w] = e;
        if constexpr (kSplit) seps[w] = s;
        if constexpr (kQuotes) quotes[w] = q;
    }
}

using Mark = void (*)(const char*, std::size_t, char, std::uint64_t*, std::uint64_t*,
                      std::uint64_t*);

template <bool kSplit, bool kQuotes>
Mark pick() {
    return markPlain<kSplit, kQuotes>;
}

template <bool kSplit>
MarkAndMask pickMarkAndMask() {
    return nullptr;
}

#endif

// Marks and masks bytes [from, to) in two passes, for any split string and
// any bounds. Text with no quote, read from outside quotes (`quoteFree`),
// needs no mask: nothing in it is inside quotes.
QuoteCarry markThenMask(const char* data, std::size_t from, std::size_t to, std::size_t size,
                        std::string_view split, const QuotedMapWords& maps, QuoteCarry carry,
                        bool quoteFree = false) {
    const int byte = splitByte(split);
    const std::size_t first = from / 64;
    const std::size_t words = (to - 1) / 64 + 1 - first;
    const std::uint64_t below = (std::uint64_t{1} << from % 64) - 1;
    std::uint64_t* const ends = maps.ends;
    std::uint64_t* const seps = maps.seps;
    // The stops a mask may clear: line ends, and split bytes where there is one.
    const auto stops = [&](std::size_t w) { return ends[w] | (byte < 0 ? 0 : seps[w]); };
    std::uint64_t* const changed[] = {ends, seps, maps.hidden, maps.enclosed};
    std::uint64_t kept[std::size(changed)];
    for (std::size_t i = 0; i < std::size(changed); ++i) kept[i] = changed[i][first] & below;
    markQuotedLineBytes(data + first * 64, words, byte, ends + first, seps + first,
                        maps.quotes + first);
    if (quoteFree) {
        std::fill_n(maps.hidden + first, words, 0);
        std::fill_n(maps.enclosed + first, words, 0);
        // Each byte outside quotes leaves a reader at a field's start or in
        // an unquoted value, whatever came before: the last byte says which.
        const std::size_t last = to - 1;
        const bool stop = (stops(last / 64) >> (last % 64)) & 1;
        carry.state = stop ? QuoteState::fieldStart : QuoteState::unquoted;
    } else {
        for (std::size_t w = first; w < first + words; ++w) {
            maps.hidden[w] = ends[w];
            maps.enclosed[w] = stops(w);
        }
        carry = maskQuotes(data, from, to, size, split, ends, byte < 0 ? nullptr : seps,
                           maps.quotes, carry);
        for (std::size_t w = first; w < first + words; ++w) {
            maps.hidden[w] &= ~ends[w];
            maps.enclosed[w] &= ~stops(w);
        }
    }
    // Marking starts at a word's start: the bits before `from` are put back
    // as an earlier call masked them, and bytes past `to` are padding, or not
    // read yet.
    const std::uint64_t keep = to % 64 == 0 ? ~std::uint64_t{0} : (std::uint64_t{1} << to % 64) - 1;
    for (std::size_t i = 0; i < std::size(changed); ++i) {
        changed[i][first] = (changed[i][first] & ~below) | kept[i];
        changed[i][first + words - 1] &= keep;
    }
    return carry;
}

// The pass for a split byte or none, with a quote map or not, picked once.
template <bool kQuotes>
void markWith(const char* p, std::size_t words, int split, std::uint64_t* ends, std::uint64_t* seps,
              std::uint64_t* quotes) {
    static const Mark withSplit = pick<true, kQuotes>();
    static const Mark withoutSplit = pick<false, kQuotes>();
    if (split < 0) {
        withoutSplit(p, words, 0, ends, seps, quotes);
    } else {
        withSplit(p, words, char(split), ends, seps, quotes);
    }
}

}  // namespace

void markLineBytes(const char* p, std::size_t words, int split, std::uint64_t* ends,
                   std::uint64_t* seps) {
    markWith<false>(p, words, split, ends, seps, nullptr);
}

void markQuotedLineBytes(const char* p, std::size_t words, int split, std::uint64_t* ends,
                         std::uint64_t* seps, std::uint64_t* quotes) {
    markWith<true>(p, words, split, ends, seps, quotes);
}

void LineIndex::index(const char* data, std::size_t from, std::size_t to) {
    if (from >= to) return;
    const std::size_t firstWord = from / 64;
    const std::size_t lastWord = (to - 1) / 64;
    if (firstWord < origin_ || firstWord > origin_ + words_) restart(from);
    // One word more than indexed, so that maps() may be read 64 bits at a
    // time from any indexed bit (what it holds is no line's).
    if (ends_.size() <= lastWord + 1 - origin_) {
        ends_.resize(lastWord + 2 - origin_);
        seps_.resize(lastWord + 2 - origin_);
    }
    // Sized on their own: maps grown by plain rips have none.
    if (quoted_ && quotes_.size() < ends_.size()) {
        quotes_.resize(ends_.size());
        hidden_.resize(ends_.size());
        enclosed_.resize(ends_.size());
    }
    words_ = std::max(words_, lastWord + 1 - origin_);
    if (quoted_) {
        const std::size_t base = origin_ * 64;
        const QuotedMapWords maps{ends_.data(), seps_.data(), quotes_.data(), hidden_.data(),
                                  enclosed_.data()};
        carry_ = markQuotedMaps(data + base, from - base, to - base, to - base, quotedSplit_, maps,
                                carry_);
        return;
    }
    // Whole words are marked again from the start of the one holding `from`:
    // the bytes before it are the same, so are their bits.
    const std::size_t w = firstWord - origin_;
    markLineBytes(data + firstWord * 64, lastWord + 1 - firstWord, split_, ends_.data() + w,
                  seps_.data() + w);
    // Bytes past `to` are padding, or not read yet.
    const unsigned tail = unsigned(to % 64);
    if (tail != 0) {
        const std::uint64_t keep = (std::uint64_t{1} << tail) - 1;
        ends_[lastWord - origin_] &= keep;
        seps_[lastWord - origin_] &= keep;
    }
}

QuoteCarry markQuotedMaps(const char* data, std::size_t from, std::size_t to, std::size_t size,
                          std::string_view split, const QuotedMapWords& maps, QuoteCarry carry) {
    static const MarkAndMask withSplit = pickMarkAndMask<true>();
    static const MarkAndMask withoutSplit = pickMarkAndMask<false>();
    const MarkAndMask fused = split.size() == 1 ? withSplit : withoutSplit;
    // Where no quote is, there is nothing to mask: so plain text, read in
    // quoted mode, is marked about as fast as in plain mode.
    if (split.size() <= 1 && carry.state != QuoteState::quoted && from < to &&
        std::memchr(data + from, '"', to - from) == nullptr) {
        return markThenMask(data, from, to, size, split, maps, carry, true);
    }
    // The whole words go through the fused pass; a part word at either end,
    // whose bits outside the range must stay, through the two passes.
    const std::size_t head = std::min(to, (from + 63) / 64 * 64);
    const std::size_t tail = std::max(head, to / 64 * 64);
    if (split.size() > 1 || fused == nullptr || head == tail) {
        return markThenMask(data, from, to, size, split, maps, carry);
    }
    if (from < head) {
        carry = markThenMask(data, from, head, size, split, maps, carry);
    }
    carry = fused(data, head / 64, (tail - head) / 64, split, size, maps, carry);
    if (tail < to) {
        carry = markThenMask(data, tail, to, size, split, maps, carry);
    }
    return carry;
}

void LineIndex::adopt(QuotedMaps& maps) {
    ends_.swap(maps.ends);
    seps_.swap(maps.seps);
    quotes_.swap(maps.quotes);
    hidden_.swap(maps.hidden);
    enclosed_.swap(maps.enclosed);
    origin_ = 0;
    words_ = (maps.bytes + 63) / 64;
    maps.bytes = 0;
    carry_ = {};
}

}  // namespace kolvane
