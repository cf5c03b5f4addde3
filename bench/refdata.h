#pragma once

#include <cstdint>
#include <string>

namespace kolvane::bench {

// A tiny PRNG of our own: the standard engines are portable but their
// distributions are not, and the reference data must be the same bytes on
// every machine so that figures from different machines compare.
class SplitMix64 {
  public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // 0 <= result < n. The modulo bias is far below anything a benchmark sees.
    std::uint64_t below(std::uint64_t n) { return next() % n; }

  private:
    std::uint64_t state_;
};

// Writes the reference lines one after the other: 10 '|'-separated fields
// (id, e-mail, quantity, city, date, an often-empty code, amount, status, time,
// a few words of text), LF-terminated, about 98 bytes a line on average.
// Line n of the output is the same whatever the line count asked for.
class ReferenceLines {
  public:
    static constexpr std::uint64_t kSeed = 0x4b6f6c76616e65ULL;  // "Kolvane"

    ReferenceLines() : rng_(kSeed) {}

    // Appends the next line, with its LF, to `out`.
    void append(std::string& out);

  private:
    SplitMix64 rng_;
    std::uint64_t id_ = 0;
};

// The first `lines` reference lines as one string, for in-memory benchmarks.
std::string referenceData(std::uint64_t lines);

}  // namespace kolvane::bench
