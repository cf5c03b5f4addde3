#pragma once

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
        if (++w > last) return to;
        bits = map[w];
    }
    const std::size_t at = w * 64 + std::size_t(__builtin_ctzll(bits));
    return at < to ? at : to;
}

// Where the first run of `words` whole zero words in [from, to) may be
// reached from: the start of the word before the run (a stretch with no bit
// may begin in it), or `from` if that is later; `to` when there is no such
// run. One pass over the words: a branch on each word's bits would be
// guessed wrong about half the time on text thick with quotes.
inline std::size_t quietRunFrom(const std::uint64_t* map, std::size_t from, std::size_t to,
                                std::size_t words) {
    std::size_t run = 0;
    for (std::size_t w = from / 64 + 1; w * 64 + 64 <= to; ++w) {
        run = (run + 1) & (std::size_t{0} - std::size_t(map[w] == 0));
        if (run == words) [[unlikely]] {
            const std::size_t at = (w - words) * 64;
            return at > from ? at : from;
        }
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
