#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace kolvane {

// The one place where bit maps become positions. An index marks line ends
// and separators as bits, 64 bytes a word (bit b of word w is byte 64 w + b);
// everything that finds lines and fields reads positions from here, never
// bits, the way a vectorised parser's first stage hands positions on.

// The 64 bits of `map` from bit `at` on; the word after at's must be readable.
inline std::uint64_t bitsFrom(const std::uint64_t* map, std::size_t at) {
    const std::size_t w = at / 64;
    const unsigned shift = unsigned(at % 64);
    // Two shifts, as one by 64 would be undefined when `at` starts a word.
    return (map[w] >> shift) | ((map[w + 1] << 1) << (63 - shift));
}

// The first set bit in [from, to), or `to`. Reads whole words only inside
// the range's words.
inline std::size_t firstBit(const std::uint64_t* map, std::size_t from, std::size_t to) {
    if (from >= to) return to;
    std::size_t w = from / 64;
    const std::size_t last = (to - 1) / 64;
    std::uint64_t bits = map[w] & (~std::uint64_t{0} << (from % 64));
    while (bits == 0) {
        // Four words a look, where the bits are far apart.
        while (w + 4 <= last && (map[w + 1] | map[w + 2] | map[w + 3] | map[w + 4]) == 0) w += 4;
        if (++w > last) return to;
        bits = map[w];
    }
    const std::size_t at = w * 64 + std::size_t(__builtin_ctzll(bits));
    return at < to ? at : to;
}

// The first set bit at or after `at`, 64 bits a look from wherever `at`
// falls, which finds a short record's end in one; `to` when there is none
// before `to`, or only past it.
inline std::size_t nextBit(const std::uint64_t* map, std::size_t at, std::size_t to) {
    std::uint64_t bits = bitsFrom(map, at);
    while (bits == 0) {
        at += 64;
        if (at >= to) return to;
        bits = bitsFrom(map, at);
    }
    return std::min(to, at + std::size_t(__builtin_ctzll(bits)));
}

// The last set bit in [from, to), or `to`.
inline std::size_t lastBit(const std::uint64_t* map, std::size_t from, std::size_t to) {
    if (from >= to) return to;
    const std::size_t first = from / 64;
    for (std::size_t w = (to - 1) / 64 + 1; w-- > first;) {
        std::uint64_t bits = map[w];
        if (w == (to - 1) / 64 && to % 64 != 0) bits &= (std::uint64_t{1} << (to % 64)) - 1;
        if (w == first) bits &= ~std::uint64_t{0} << (from % 64);
        if (bits != 0) return w * 64 + 63 - std::size_t(__builtin_clzll(bits));
    }
    return to;
}

// Where the first run of `words` whole zero words in [from, to) may be
// reached from: the start of the word before the run (a stretch with no bit
// may begin in it), or `from` if that is later; `to` when there is no such
// run. A window of `words` is read from its end back: a word with a bit in
// it rules out every run through it, so text thick with bits is passed over
// a window at a time, not read word by word.
inline std::size_t quietRunFrom(const std::uint64_t* map, std::size_t from, std::size_t to,
                                std::size_t words) {
    if (words == 0) return from;
    const std::size_t end = to / 64;  // words wholly before `to`
    for (std::size_t start = from / 64 + 1; start + words <= end;) {
        std::size_t w = start + words;
        while (w > start && map[w - 1] == 0) --w;
        if (w == start) {
            const std::size_t at = (start - 1) * 64;
            return at > from ? at : from;
        }
        start = w;
    }
    return to;
}

// The set bits of [from, to) in order: next() gives each position once, then
// `to`.
class BitWalk {
  public:
    BitWalk(const std::uint64_t* map, std::size_t from, std::size_t to)
        : map_(map), w_(from / 64), last_(to == 0 ? 0 : (to - 1) / 64), to_(to) {
        word_ = from < to ? map_[w_] & (~std::uint64_t{0} << (from % 64)) : 0;
        if (from < to) clip();
    }

    std::size_t next() {
        while (word_ == 0) {
            if (w_ >= last_ || to_ == 0) return to_;
            word_ = map_[++w_];
            clip();
        }
        const std::size_t at = w_ * 64 + std::size_t(__builtin_ctzll(word_));
        word_ &= word_ - 1;
        return at;
    }

  private:
    void clip() {
        if (w_ == last_ && to_ % 64 != 0) word_ &= (std::uint64_t{1} << (to_ % 64)) - 1;
    }

    const std::uint64_t* map_;
    std::size_t w_;
    std::size_t last_;
    std::size_t to_;
    std::uint64_t word_;
};

// Up to `most` positions of set bits from one 64-bit look at bits [at, at +
// length), into out[1..]: a fixed number of steps, no branch on where the
// bits fall. False when fewer than `most` are there (out is then half written).
template <class Position>
inline bool takeFromWord(const std::uint64_t* map, std::size_t at, std::size_t length,
                         std::size_t most, Position* out) {
    std::uint64_t bits = bitsFrom(map, at);
    if (length < 64) bits &= (std::uint64_t{1} << length) - 1;
    for (std::size_t k = 1; k <= most; ++k) {
        if (bits == 0) return false;
        out[k] = static_cast<Position>(__builtin_ctzll(bits));
        bits &= bits - 1;
    }
    return true;
}

}  // namespace kolvane
