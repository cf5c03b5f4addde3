#include "lineindex.h"

#include <algorithm>

namespace kolvane {

void LineIndex::index(const char* data, std::size_t from, std::size_t to, std::size_t size) {
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
    }
    words_ = std::max(words_, lastWord + 1 - origin_);
    if (quoted_) {
        const std::size_t base = origin_ * 64;
        const QuotedMapWords maps{ends_.data(), seps_.data(), quotes_.data(), hidden_.data()};
        carry_ = scanQuoted(data + base, from - base, to - base, size - base, quotedSplit_, maps,
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

void LineIndex::adopt(QuotedMaps& maps) {
    ends_.swap(maps.ends);
    seps_.swap(maps.seps);
    quotes_.swap(maps.quotes);
    hidden_.swap(maps.hidden);
    origin_ = 0;
    words_ = (maps.bytes + 63) / 64;
    maps.bytes = 0;
    carry_ = {};
}

}  // namespace kolvane
