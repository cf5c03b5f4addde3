#include "bitwalk.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace kolvane {
namespace {

// The first run of `words` zero words wholly inside [from, to), read word by
// word: where the copier may find a quote-free stretch.
std::size_t quietRunByWord(const std::vector<std::uint64_t>& map, std::size_t from, std::size_t to,
                           std::size_t words) {
    std::size_t run = 0;
    for (std::size_t w = from / 64 + 1; w * 64 + 64 <= to; ++w) {
        run = map[w] == 0 ? run + 1 : 0;
        if (run == words) return std::max((w - words) * 64, from);
    }
    return to;
}

TEST(BitWalk, QuietRunIsTheFirstLongEnough) {
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        // Dense and sparse maps, and runs just under, at and over the length.
        const double busy = (round % 4 + 1) / 5.0;
        std::bernoulli_distribution bit(busy);
        std::vector<std::uint64_t> map(1 + random() % 80);
        for (auto& word : map) word = bit(random) ? std::uint64_t{1} << random() % 64 : 0;
        const std::size_t bits = map.size() * 64;
        const std::size_t from = random() % bits, to = from + random() % (bits - from + 1);
        const std::size_t words = 1 + random() % 6;
        ASSERT_EQ(quietRunFrom(map.data(), from, to, words), quietRunByWord(map, from, to, words))
            << "round " << round;
    }
}

}  // namespace
}  // namespace kolvane
