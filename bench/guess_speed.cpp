// How long a format guess takes on a full sample (64 KiB), the window's cost
// on every load: the target is under 10 ms. Samples of the common kinds, and
// a worst case where every candidate split string reads a long record.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "formatguess.h"

namespace {

// A small deterministic generator, so every run times the same bytes.
struct Lcg {
    std::uint64_t state = 20261207;
    std::uint32_t next(std::uint32_t bound) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>((state >> 33) % bound);
    }
};

constexpr const char* kNames[] = {"Berg, Anna", "Svensson, Lars", "García, José",
                                  "Li, Chen",   "O'Brien, Aoife", "Müller, Björn"};
constexpr const char* kWords[] = {"order", "shipped", "late", "refund", "box",  "damaged",
                                  "call",  "after",   "noon", "tax",    "item", "signed"};

// Rows of id, quoted name, amount, date, quoted note (with commas, a doubled
// quote, and now and then a line end) until the sample is full.
std::string quotedCsv(char split, char decimal) {
    Lcg rng;
    std::string out =
        std::string("id") + split + "name" + split + "amount" + split + "date" + split + "note\r\n";
    for (int id = 1; out.size() < kolvane::kGuessSampleBytes; ++id) {
        out += std::to_string(id) + split + '"' + kNames[rng.next(6)] + '"' + split;
        out += std::to_string(rng.next(10000)) + decimal + std::to_string(10 + rng.next(90));
        out += split + std::string("2024-0") + std::to_string(1 + rng.next(9)) + "-1" +
               std::to_string(rng.next(10)) + split + '"';
        for (std::uint32_t w = 0, n = 3 + rng.next(10); w < n; ++w) {
            out += kWords[rng.next(12)];
            out += rng.next(8) == 0 ? ", " : rng.next(40) == 0 ? "\n" : " ";
        }
        out += rng.next(20) == 0 ? "12\"\" monitor\"\r\n" : "\"\r\n";
    }
    return out.substr(0, kolvane::kGuessSampleBytes);
}

void guess(benchmark::State& state, const std::string& sample) {
    for (auto _ : state) {
        auto result = kolvane::guessFormat(sample, false);
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * sample.size()));
}

void BM_GuessQuotedCsv(benchmark::State& state) {
    static const std::string sample = quotedCsv(',', '.');
    guess(state, sample);
}
BENCHMARK(BM_GuessQuotedCsv)->Unit(benchmark::kMillisecond);

void BM_GuessSemicolonDecimalComma(benchmark::State& state) {
    static const std::string sample = quotedCsv(';', ',');
    guess(state, sample);
}
BENCHMARK(BM_GuessSemicolonDecimalComma)->Unit(benchmark::kMillisecond);

// Short records of many fields: the most cells for every candidate to judge.
void BM_GuessManySmallFields(benchmark::State& state) {
    static const std::string sample = [] {
        Lcg rng;
        std::string out;
        while (out.size() < kolvane::kGuessSampleBytes) {
            for (int f = 0; f < 30; ++f)
                out += std::to_string(rng.next(100)) + (f < 29 ? "\t" : "\n");
        }
        return out.substr(0, kolvane::kGuessSampleBytes);
    }();
    guess(state, sample);
}
BENCHMARK(BM_GuessManySmallFields)->Unit(benchmark::kMillisecond);

// One line of 64 KiB of words and punctuation: every split string splits it.
void BM_GuessOneLongLine(benchmark::State& state) {
    static const std::string sample = [] {
        Lcg rng;
        std::string out;
        const char marks[] = {',', ';', ' ', '|', ':', '\t', '^', '~', '#'};
        while (out.size() < kolvane::kGuessSampleBytes) {
            out += kWords[rng.next(12)];
            out += marks[rng.next(9)];
        }
        return out.substr(0, kolvane::kGuessSampleBytes);
    }();
    guess(state, sample);
}
BENCHMARK(BM_GuessOneLongLine)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
