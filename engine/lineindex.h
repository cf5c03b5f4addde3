#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bitwalk.h"
#include "quotemask.h"

namespace kolvane {

// Where one split byte stands in an indexed text: bit (first + i) of `words`
// (64 bytes a word) is set when byte i of the line is `byte`.
struct SeparatorBits {
    const std::uint64_t* words = nullptr;
    std::size_t first = 0;
    char byte = 0;
};

// The byte a split string marks in a LineIndex: its only byte, or -1 (none)
// when it is empty or longer.
inline int splitByte(std::string_view split) {
    return split.size() == 1 ? static_cast<unsigned char>(split[0]) : -1;
}

// Where a quoted text's maps are written, bit b of word i standing for byte
// 64 i + b: its line ends and split bytes outside quoted values, its quotes,
// the line ends inside quoted values (`hidden`), and the line ends and split
// bytes inside them (`enclosed`).
struct QuotedMapWords {
    std::uint64_t* ends;
    std::uint64_t* seps;
    std::uint64_t* quotes;
    std::uint64_t* hidden;
    std::uint64_t* enclosed;
};

// The maps of a quoted text's first `bytes` bytes, as LineIndex makes them,
// made elsewhere (by the reader that had to mask them to cut blocks at
// records) for an index to take over: bit b of word i stands for byte 64 i + b.
struct QuotedMaps {
    std::vector<std::uint64_t> ends, seps, quotes, hidden, enclosed;
    std::size_t bytes = 0;  // none are good when 0
    int split = -1;         // the split byte they were made for

    void grow(std::size_t words) {
        if (ends.size() >= words) return;
        for (auto* map : {&ends, &seps, &quotes, &hidden, &enclosed}) map->resize(words);
    }
    QuotedMapWords words() {
        return {ends.data(), seps.data(), quotes.data(), hidden.data(), enclosed.data()};
    }
};

// Bit maps of a buffer's line ends (CR and LF) and of one split byte, made by a
// single vectorised pass, so that a byte is looked at once: lines are then found
// and cut into fields from the bits alone. The buffer must be readable up to
// kPadding bytes past what is indexed; those bytes never show up in the maps.
// The maps cover what was indexed since the last restart(), which lets a user
// keep them to a block's size (a quarter of it) however long a line grows.
class LineIndex {
  public:
    static constexpr std::size_t kPadding = 64;

    // The byte to mark besides line ends; none when `byte` is negative.
    void setSplit(int byte) { split_ = byte; }
    int split() const { return split_; }
    // In quoted mode the maps leave out the line ends and split bytes inside
    // quoted values, so records and fields are found from them as lines are;
    // `split` is the whole split string, which a quote may follow.
    void setQuoted(bool quoted, std::string_view split) {
        quoted_ = quoted;
        quotedSplit_.assign(split);
    }
    // The next index() starts at the start of a record, not inside one.
    void atRecordStart() { carry_ = {}; }

    // Takes over maps of a quoted text's bytes [0, maps.bytes), made for the
    // split byte this index marks, as if index() had made them; `maps` gets
    // this index's old ones, and no good bytes.
    void adopt(QuotedMaps& maps);

    // Forgets what was indexed; the next index() starts the maps at `from`.
    void restart(std::size_t from) {
        origin_ = from / 64;
        words_ = 0;
    }

    // Indexes bytes [from, to) of `data`, after what was indexed since the
    // last restart (or from `from` on, when that lies before it). May throw
    // std::bad_alloc when the maps must grow.
    void index(const char* data, std::size_t from, std::size_t to);

    // The first CR or LF in [from, to), or `to`; [from, to) must be indexed.
    std::size_t nextEnd(std::size_t from, std::size_t to) const {
        const std::size_t base = origin_ * 64;
        return base + firstBit(ends_.data(), from - base, to - base);
    }

    // The split byte's bits for a line starting at `first`; no words when no
    // byte is marked or the maps do not hold the line's start.
    SeparatorBits separators(std::size_t first) const {
        if (split_ < 0 || first / 64 < origin_ || first / 64 - origin_ >= words_) return {};
        return SeparatorBits{seps_.data(), first - origin_ * 64, char(split_)};
    }

    // The maps themselves, for a loop over many lines: bit b of word i of each
    // stands for byte start + 64 i + b; no seps when no byte is marked. The
    // word after the last indexed one may be read; its bits mean nothing.
    // In quoted mode `hidden` marks the line ends left out, which lie inside
    // quoted values: the few records holding one count the source lines they
    // span; `quotes` marks every quote, so that a record with none is cut and
    // written as plain text; `enclosed` marks the line ends and split bytes
    // inside quoted values, so that a value is known to need quotes or not
    // from the bits. All three are null in plain mode.
    struct Maps {
        const std::uint64_t* ends;
        const std::uint64_t* seps;
        std::size_t start;
        const std::uint64_t* hidden = nullptr;
        const std::uint64_t* quotes = nullptr;
        const std::uint64_t* enclosed = nullptr;
    };
    Maps maps() const {
        return {ends_.data(),
                split_ < 0 ? nullptr : seps_.data(),
                origin_ * 64,
                quoted_ ? hidden_.data() : nullptr,
                quoted_ ? quotes_.data() : nullptr,
                quoted_ ? enclosed_.data() : nullptr};
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
    std::vector<std::uint64_t> enclosed_;
    QuoteCarry carry_;  // where the last index() left off, in quoted mode
};

// For each of `words` runs of 64 bytes from p: bit i of ends[w] is set when
// byte 64w + i is CR or LF, and of seps[w] (only with a split byte) when it is
// the split byte. SSE2, or AVX2 when the processor has it.
void markLineBytes(const char* p, std::size_t words, int split, std::uint64_t* ends,
                   std::uint64_t* seps);

// markLineBytes() with a third map from the same loads: bit i of quotes[w] is
// set when byte 64 w + i is a double quote.
void markQuotedLineBytes(const char* p, std::size_t words, int split, std::uint64_t* ends,
                         std::uint64_t* seps, std::uint64_t* quotes);

// The maps of a quoted text's bytes [from, to), whose word 0 stands for
// byte 0 of `data`: line ends, split bytes (`split`'s one byte, when it has
// one), quotes, and the line ends (`hidden`) and the line ends and split bytes
// (`enclosed`) inside quoted values, which the first two leave out. `carry`
// is the state before `from`; returns the state after to - 1. Bits before
// `from` stay as they were; bits from `to` on are cleared, but for quotes'.
// `data` is read to the end of the word holding to - 1, and `size` says how
// far the text goes.
QuoteCarry markQuotedMaps(const char* data, std::size_t from, std::size_t to, std::size_t size,
                          std::string_view split, const QuotedMapWords& maps, QuoteCarry carry);

}  // namespace kolvane
