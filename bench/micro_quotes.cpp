// The quoted-fields pieces, in bytes of source per second: the index pass
// alone, the inside-quotes mask after it, and value unquoting, on the quoted
// benchmark's records and on the plain reference text (no quotes at all);
// and, on one block in cache, the index pass, the quoted maps, and the floor
// under any mask built from the quotes' parity.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "lineindex.h"
#include "quoteddata.h"
#include "quotedvalue.h"
#include "quotemask.h"
#include "refdata.h"

namespace {

// About 24 MB of each: well past the caches, like a real file.
const std::string& quotedText() {
    static const std::string text = kolvane::bench::quotedData(200'000);
    return text;
}

const std::string& plainText() {
    static const std::string text = kolvane::bench::referenceData(250'000);
    return text;
}

// One block, as a rip finds it just read: in the cache.
const std::string& quotedBlock() {
    static const std::string text = quotedText().substr(0, std::size_t{512} << 10);
    return text;
}

struct Maps {
    std::string text;
    std::vector<std::uint64_t> ends, seps, quotes, hidden, enclosed;
    explicit Maps(const std::string& source) : text(source) {
        text.resize(text.size() / 64 * 64);
        ends.resize(text.size() / 64 + 1);
        seps.resize(text.size() / 64 + 1);
        quotes.resize(text.size() / 64 + 1);
        hidden.resize(text.size() / 64 + 1);
        enclosed.resize(text.size() / 64 + 1);
        text.append(kolvane::LineIndex::kPadding, '\0');
    }
    std::size_t size() const { return text.size() - kolvane::LineIndex::kPadding; }
};

enum class Pass { indexOnly, thenMask, marked };

// The index pass with the mask after it, a window of 256 KiB at a time as the
// block ripper indexes: the index alone, then the mask finding the quotes
// itself, or the quoted maps made as the index and the block reader make them.
void BM_IndexAndMask(benchmark::State& state, const std::string* source, char split, Pass pass) {
    Maps m(*source);
    const std::string_view splitText(&split, 1);
    constexpr std::size_t kWindow = std::size_t{256} << 10;
    for (auto _ : state) {
        kolvane::QuoteCarry carry;
        for (std::size_t from = 0; from < m.size(); from += kWindow) {
            const std::size_t to = std::min(m.size(), from + kWindow);
            const std::size_t w = from / 64;
            if (pass == Pass::marked) {
                const kolvane::QuotedMapWords maps{m.ends.data(), m.seps.data(), m.quotes.data(),
                                                   m.hidden.data(), m.enclosed.data()};
                carry = kolvane::markQuotedMaps(m.text.data(), from, to, m.size(), splitText, maps,
                                                carry);
                continue;
            }
            kolvane::markLineBytes(m.text.data() + from, (to - from) / 64, split, m.ends.data() + w,
                                   m.seps.data() + w);
            if (pass != Pass::indexOnly) {
                carry = kolvane::maskQuotes(m.text.data(), from, to, m.size(), splitText,
                                            m.ends.data(), m.seps.data(), nullptr, carry);
            }
        }
        benchmark::DoNotOptimize(carry);
        benchmark::DoNotOptimize(m.ends.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * m.size()));
}
BENCHMARK_CAPTURE(BM_IndexAndMask, quoted_index_only, &quotedText(), ',', Pass::indexOnly)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_IndexAndMask, quoted_index_then_mask, &quotedText(), ',', Pass::thenMask)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_IndexAndMask, quoted_maps, &quotedText(), ',', Pass::marked)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_IndexAndMask, quoted_block_index_only, &quotedBlock(), ',', Pass::indexOnly)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_IndexAndMask, quoted_block_maps, &quotedBlock(), ',', Pass::marked)
    ->Unit(benchmark::kMicrosecond);
#if defined(__x86_64__)
// The floor under any quote mask built from a running parity, on this
// processor: line ends, split bytes and quotes found, the quotes' parity
// carried from word to word, the stops inside quotes cleared, two maps
// stored. It takes every quote for an opening or closing one, as RFC 4180
// text allows; what Python's csv module reads besides (a quote inside an
// unquoted value is an ordinary byte) and the maps the copier needs besides
// come on top of this in the real pass.
__attribute__((target("avx2"))) inline std::uint64_t bytesOf(const char* p, __m256i v) {
    const __m256i lo = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i hi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    return std::uint64_t(std::uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(lo, v)))) |
           std::uint64_t(std::uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(hi, v)))) << 32;
}

__attribute__((target("avx2,pclmul"))) void parityFloor(Maps& m) {
    const __m256i lf = _mm256_set1_epi8('\n'), cr = _mm256_set1_epi8('\r');
    const __m256i comma = _mm256_set1_epi8(','), quote = _mm256_set1_epi8('"');
    std::uint64_t inQuotes = 0;
    for (std::size_t w = 0; w < m.size() / 64; ++w) {
        const char* p = m.text.data() + 64 * w;
        const std::uint64_t inside = kolvane::clmulPrefixXor(bytesOf(p, quote)) ^ inQuotes;
        m.ends[w] = (bytesOf(p, lf) | bytesOf(p, cr)) & ~inside;
        m.seps[w] = bytesOf(p, comma) & ~inside;
        inQuotes = std::uint64_t(std::int64_t(inside) >> 63);
    }
}

void BM_ParityFloor(benchmark::State& state) {
    Maps m(quotedBlock());
    for (auto _ : state) {
        parityFloor(m);
        benchmark::DoNotOptimize(m.ends.data());
        benchmark::DoNotOptimize(m.seps.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * m.size()));
}
BENCHMARK(BM_ParityFloor)->Unit(benchmark::kMicrosecond);
#endif
BENCHMARK_CAPTURE(BM_IndexAndMask, plain_index_only, &plainText(), '|', Pass::indexOnly)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_IndexAndMask, plain_index_then_mask, &plainText(), '|', Pass::thenMask)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_IndexAndMask, plain_maps, &plainText(), '|', Pass::marked)
    ->Unit(benchmark::kMillisecond);

// The mask alone over maps already made (the index pass is not timed).
void BM_MaskOnly(benchmark::State& state, const std::string* source, char split) {
    Maps m(*source);
    const std::string_view splitText(&split, 1);
    kolvane::markLineBytes(m.text.data(), m.size() / 64, split, m.ends.data(), m.seps.data());
    const std::vector<std::uint64_t> ends = m.ends, seps = m.seps;
    for (auto _ : state) {
        state.PauseTiming();
        m.ends = ends;
        m.seps = seps;
        state.ResumeTiming();
        auto carry = kolvane::maskQuotes(m.text.data(), 0, m.size(), m.size(), splitText,
                                         m.ends.data(), m.seps.data(), nullptr, {});
        benchmark::DoNotOptimize(carry);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * m.size()));
}
BENCHMARK_CAPTURE(BM_MaskOnly, quoted, &quotedText(), ',')->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MaskOnly, plain, &plainText(), '|')->Unit(benchmark::kMillisecond);

// Every field of the quoted records unquoted into one buffer, cut byte by byte
// at the masked separators (the cutting is timed too).
void BM_Unquote(benchmark::State& state) {
    Maps m(quotedText());
    kolvane::markLineBytes(m.text.data(), m.size() / 64, ',', m.ends.data(), m.seps.data());
    kolvane::maskQuotes(m.text.data(), 0, m.size(), m.size(), ",", m.ends.data(), m.seps.data(),
                        nullptr, {});
    std::string out(m.size() + 64, '\0');
    for (auto _ : state) {
        char* p = out.data();
        std::size_t start = 0;
        for (std::size_t w = 0; w < m.size() / 64; ++w) {
            for (std::uint64_t bits = m.seps[w] | m.ends[w]; bits != 0; bits &= bits - 1) {
                const std::size_t at = w * 64 + std::size_t(__builtin_ctzll(bits));
                p = kolvane::unquoteTo(p, {m.text.data() + start, at - start});
                start = at + 1;
            }
        }
        benchmark::DoNotOptimize(p);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * m.size()));
}
BENCHMARK(BM_Unquote)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
