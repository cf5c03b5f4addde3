// The quoted-fields pieces, in bytes of source per second: the plain index
// pass against the quoted scan, and value unquoting, on the quoted
// benchmark's records and on the plain reference text (no quotes at all);
// and, on one block in cache, the index pass, the quoted scan, and the floor
// under any mask built from the quotes' parity.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "quoteddata.h"
#include "quotedvalue.h"
#include "quotescan.h"
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
    std::vector<std::uint64_t> ends, seps, quotes, hidden;
    explicit Maps(const std::string& source) : text(source) {
        text.resize(text.size() / 64 * 64);
        ends.resize(text.size() / 64 + 1);
        seps.resize(text.size() / 64 + 1);
        quotes.resize(text.size() / 64 + 1);
        hidden.resize(text.size() / 64 + 1);
        text.append(64, '\0');
    }
    std::size_t size() const { return text.size() - 64; }
    kolvane::QuotedMapWords words() {
        return {ends.data(), seps.data(), quotes.data(), hidden.data()};
    }
};

// A window of 256 KiB at a time, as the block ripper indexes: the plain
// index alone, or the quoted scan as the block reader makes its maps.
void BM_IndexOrScan(benchmark::State& state, const std::string* source, char split, bool scan) {
    Maps m(*source);
    const std::string_view splitText(&split, 1);
    constexpr std::size_t kWindow = std::size_t{256} << 10;
    for (auto _ : state) {
        kolvane::QuoteState quotes;
        for (std::size_t from = 0; from < m.size(); from += kWindow) {
            const std::size_t to = std::min(m.size(), from + kWindow);
            if (scan) {
                quotes = kolvane::scanQuoted(m.text.data(), from, to, m.size(), splitText,
                                             m.words(), quotes);
            } else {
                kolvane::markLineBytes(m.text.data() + from, (to - from) / 64, split,
                                       m.ends.data() + from / 64, m.seps.data() + from / 64);
            }
        }
        benchmark::DoNotOptimize(quotes);
        benchmark::DoNotOptimize(m.ends.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * m.size()));
}
BENCHMARK_CAPTURE(BM_IndexOrScan, quoted_index, &quotedText(), ',', false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_IndexOrScan, quoted_scan, &quotedText(), ',', true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_IndexOrScan, quoted_block_index, &quotedBlock(), ',', false)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_IndexOrScan, quoted_block_scan, &quotedBlock(), ',', true)
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

__attribute__((target("pclmul"))) inline std::uint64_t clmulPrefixXor(std::uint64_t x) {
    const __m128i product =
        _mm_clmulepi64_si128(_mm_set_epi64x(0, static_cast<long long>(x)), _mm_set1_epi8(-1), 0);
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(product));
}

__attribute__((target("avx2,pclmul"))) void parityFloor(Maps& m) {
    const __m256i lf = _mm256_set1_epi8('\n'), cr = _mm256_set1_epi8('\r');
    const __m256i comma = _mm256_set1_epi8(','), quote = _mm256_set1_epi8('"');
    std::uint64_t inQuotes = 0;
    for (std::size_t w = 0; w < m.size() / 64; ++w) {
        const char* p = m.text.data() + 64 * w;
        const std::uint64_t inside = clmulPrefixXor(bytesOf(p, quote)) ^ inQuotes;
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
BENCHMARK_CAPTURE(BM_IndexOrScan, plain_index, &plainText(), '|', false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_IndexOrScan, plain_scan, &plainText(), '|', true)
    ->Unit(benchmark::kMillisecond);

// Every field of the quoted records unquoted into one buffer, cut byte by byte
// at the masked separators (the cutting is timed too).
void BM_Unquote(benchmark::State& state) {
    Maps m(quotedText());
    kolvane::scanQuoted(m.text.data(), 0, m.size(), m.size(), ",", m.words(), {});
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
