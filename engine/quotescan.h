#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "quoterules.h"

namespace kolvane {

// Where a text's maps are written, bit b of word i standing for byte 64 i + b:
// its line ends and split stops outside quoted values (where records and
// fields end), its quotes (so a value with none is written as it stands),
// and the line ends inside quoted values (`hidden`, so a record counts the
// source lines it spans). For a multi-byte split string a stop is the first
// byte of the string.
struct QuotedMapWords {
    std::uint64_t* ends;
    std::uint64_t* seps;
    std::uint64_t* quotes;
    std::uint64_t* hidden;
};

// The maps of the first `bytes` bytes of a block, made by the reader that
// had to scan them to cut the block at a record end, for the ripper to take
// over: each byte is scanned once.
struct QuotedMaps {
    std::vector<std::uint64_t> ends, seps, quotes, hidden;
    std::size_t bytes = 0;  // none are good when 0
    Dialect dialect;        // what they were made for

    // Room for `words` words in each map, and one more, which may be read.
    void grow(std::size_t words) {
        if (ends.size() > words) return;
        for (auto* map : {&ends, &seps, &quotes, &hidden}) map->resize(words + 1);
    }
    QuotedMapWords words() { return {ends.data(), seps.data(), quotes.data(), hidden.data()}; }
};

// For each of `words` runs of 64 bytes from p: bit i of ends[w] is set when
// byte 64w + i is CR or LF, and of seps[w] (only with a split byte, `split`
// 0-255) when it is the split byte. Plain text's index.
void markLineBytes(const char* p, std::size_t words, int split, std::uint64_t* ends,
                   std::uint64_t* seps);

// Scans quoted text[from, to), whose word 0 stands for byte 0 of `text`, from
// `state` (where a reader stands before byte `from`) into `maps`, and
// returns the state after byte to - 1. Bits before `from` in its word stay as
// they were; bits from `to` on in its word are cleared. `size` (at least
// `to`) says how far the text goes, for a split string running past `to`;
// nothing past `size` is read.
//
// With a one-byte split string (or none) whole words go 64 bytes a step, by
// the quotes' running parity, and the last part word from a padded copy by
// the same step; a word where parity misreads (a quote that opens no value,
// as in `12" monitor`) is read byte by byte by stepQuote(), as is a longer
// split string throughout.
QuoteState scanQuoted(const char* text, std::size_t from, std::size_t to, std::size_t size,
                      std::string_view split, const QuotedMapWords& maps, QuoteState state);

// The same, every byte by stepQuote(): the reading the word scan must agree with.
QuoteState scanQuotedExact(const char* text, std::size_t from, std::size_t to, std::size_t size,
                           std::string_view split, const QuotedMapWords& maps, QuoteState state);

}  // namespace kolvane
