#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bitwalk.h"
#include "fieldcutter.h"
#include "quotescan.h"

namespace kolvane {

// Bit maps of a buffer's line ends (CR and LF) and of one split byte, made by a
// single vectorised pass, so that a byte is looked at once: lines are then found
// and cut into fields from the bits alone. The buffer must be readable up to
// kPadding bytes past what is indexed; those bytes never show up in the maps.
// The maps cover what was indexed since the last restart(), which lets a user
// keep them to a block's size (a quarter of it) however long a line grows.
class LineIndex {
  public:
    static constexpr std::size_t kPadding = 64;

    // What to mark: line ends and the split string's one byte (none for an
    // empty or longer one). In quoted mode the maps leave out the line ends
    // and split bytes inside quoted values, so records and fields are found
    // from them as lines are.
    void setDialect(const Dialect& dialect) {
        split_ = splitByte(dialect.split);
        quoted_ = dialect.quoted;
        quotedSplit_ = dialect.split;
    }
    // The split byte marked, or -1.
    int split() const { return split_; }
    // The next index() starts at the start of a record, not inside one.
    void atRecordStart() { carry_ = {}; }

    // Takes over maps of a quoted text's bytes [0, maps.bytes), made for the
    // dialect this index reads, as if index() had made them; `maps` gets this
    // index's old ones, and no good bytes.
    void adopt(QuotedMaps& maps);

    // Forgets what was indexed; the next index() starts the maps at `from`.
    void restart(std::size_t from) {
        origin_ = from / 64;
        words_ = 0;
    }

    // Indexes bytes [from, to) of data[0, size), after what was indexed
    // since the last restart (or from `from` on, when that lies before it).
    // May throw std::bad_alloc when the maps must grow.
    void index(const char* data, std::size_t from, std::size_t to, std::size_t size);

    // The first CR or LF in [from, to), or `to`; [from, to) must be indexed.
    std::size_t nextEnd(std::size_t from, std::size_t to) const {
        const std::size_t base = origin_ * 64;
        return base + firstBit(ends_.data(), from - base, to - base);
    }

    // The split byte's bits for a record of `size` bytes at `first`; no
    // words when no byte is marked or the maps do not hold the whole record.
    SeparatorBits separators(std::size_t first, std::size_t size) const {
        const std::size_t last = (first + std::max<std::size_t>(size, 1) - 1) / 64;
        if (split_ < 0 || first / 64 < origin_ || last - origin_ >= words_) {
            return {};
        }
        return SeparatorBits{seps_.data(), first - origin_ * 64, char(split_)};
    }

    // The maps themselves, for a loop over many lines: bit b of word i of each
    // stands for byte start + 64 i + b; no seps when no byte is marked. The
    // word after the last indexed one may be read; its bits mean nothing.
    // In quoted mode `hidden` marks the line ends left out, which lie inside
    // quoted values: the few records holding one count the source lines they
    // span; `quotes` marks every quote, so that a value with none is written
    // as it stands. Both are null in plain mode.
    struct Maps {
        const std::uint64_t* ends;
        const std::uint64_t* seps;
        std::size_t start;
        const std::uint64_t* hidden = nullptr;
        const std::uint64_t* quotes = nullptr;
    };
    Maps maps() const {
        return {ends_.data(), split_ < 0 ? nullptr : seps_.data(), origin_ * 64,
                quoted_ ? hidden_.data() : nullptr, quoted_ ? quotes_.data() : nullptr};
    }

  private:
    std::vector<std::uint64_t> ends_;  // word i holds bytes 64 (origin_ + i) on
    std::vector<std::uint64_t> seps_;
    std::size_t words_ = 0;  // words indexed since the last restart
    std::size_t origin_ = 0;
    int split_ = -1;
    bool quoted_ = false;
    std::string quotedSplit_;
    std::vector<std::uint64_t> quotes_;
    std::vector<std::uint64_t> hidden_;
    QuoteState carry_;  // where the last index() left off, in quoted mode
};

}  // namespace kolvane
