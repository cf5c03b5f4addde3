#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "lineend.h"

namespace kolvane {

// How records and fields are read: the split string between fields, and
// whether fields may be enclosed in double quotes.
struct Dialect {
    std::string split = "|";
    bool quoted = false;

    bool operator==(const Dialect&) const = default;
};

// Where a reader of quoted text stands between two bytes: the one state that
// every reader of quoted text carries, from byte to byte and from one piece
// of text to the next.
struct QuoteState {
    enum At : std::uint8_t {
        // A quote here opens a value: at a field's start (after a split
        // string, a line end, or at the source's start), or just past a quote
        // that closed one, as the second quote of `""` reopens it.
        mayOpen,
        unquoted,  // inside a value that no quote opened: quotes are ordinary bytes
        quoted,    // inside a quoted value: split strings and line ends belong to it
    };
    At at = mayOpen;
    std::uint32_t splitLeft = 0;  // bytes of a multi-byte split string still to come

    bool operator==(const QuoteState&) const = default;
};

// What one byte is to a reader of quoted text.
enum class QuoteByte : std::uint8_t {
    plain,    // an ordinary byte, a quote, or the rest of a split string
    inside,   // a byte of a quoted value: a line end or split string there is the value's
    split,    // the first byte of a split string that ends a field
    lineEnd,  // a CR or LF that ends the record
};

// Reads byte i of data[0, size) in state `s`, which it moves on. The rules of
// quoted text, as Python's csv module reads them with its default dialect: a
// quote opens a value only at the very start of a field, `""` inside one is
// a quote, a lone quote closes it, and what follows the closing quote up to
// the next split string is kept (its quotes are ordinary bytes). Every reader
// of quoted text follows this; the vectorised scanner reads whole words by
// the quotes' parity and falls back to it wherever parity could misread.
inline QuoteByte stepQuote(QuoteState& s, const char* data, std::size_t i, std::size_t size,
                           std::string_view split) {
    const char ch = data[i];
    if (s.splitLeft > 0) {
        if (--s.splitLeft == 0) s.at = QuoteState::mayOpen;
        return QuoteByte::plain;
    }
    if (s.at == QuoteState::quoted) {
        if (ch == '"') s.at = QuoteState::mayOpen;
        return QuoteByte::inside;
    }
    if (ch == '"' && s.at == QuoteState::mayOpen) {  // opens a value, or is `""`'s second
        s.at = QuoteState::quoted;
        return QuoteByte::plain;
    }
    if (ch == '\n' || ch == '\r') {
        s.at = QuoteState::mayOpen;
        return QuoteByte::lineEnd;
    }
    if (!split.empty() && ch == split[0] && split.size() <= size - i &&
        std::memcmp(data + i, split.data(), split.size()) == 0) {
        s.splitLeft = std::uint32_t(split.size() - 1);
        s.at = s.splitLeft == 0 ? QuoteState::mayOpen : QuoteState::unquoted;
        return QuoteByte::split;
    }
    s.at = QuoteState::unquoted;
    return QuoteByte::plain;
}

// Where a record read by readRecord() ends.
struct RecordEnd {
    std::size_t end = 0;   // where its line end starts, or where the text ends
    std::size_t next = 0;  // where the next record starts, past the line end
    // A quote is still open where the text ends: the record runs to the end.
    bool open = false;
};

// Reads the record that starts at `pos` of `text` as `dialect` says, calling
// atStop(i) at the first byte of every split string that ends one of its
// fields: the scalar reading, for text no vectorised scan has looked at (a
// sample, a header, a record across windows) and for a multi-byte split
// string. Plain text ends a record at its first line end; quoted text at the
// first one outside quotes. `state` is where the reader stands at `pos`.
template <class AtStop>
RecordEnd readRecord(std::string_view text, std::size_t pos, const Dialect& dialect,
                     AtStop&& atStop, QuoteState state = {}) {
    const std::string_view split = dialect.split;
    if (!dialect.quoted) {
        const auto brk = findLineBreak(text.data(), pos, text.size(), true);
        const std::size_t end = brk ? brk->eol : text.size();
        // Searched no further than a split string may start in the line: a
        // line without one must not cost a search of all the text after it.
        const auto line = text.substr(0, std::min(text.size(), end + split.size() - 1));
        if (!split.empty()) {
            for (auto at = line.find(split, pos); at < end;
                 at = line.find(split, at + split.size()))
                atStop(at);
        }
        return {end, brk ? brk->next : end, false};
    }
    for (std::size_t i = pos; i < text.size(); ++i) {
        switch (stepQuote(state, text.data(), i, text.size(), split)) {
            case QuoteByte::split:
                atStop(i);
                break;
            case QuoteByte::lineEnd:
                return {i, terminatorEnd(text.data(), i, text.size()), false};
            default:
                break;
        }
    }
    return {text.size(), text.size(), state.at == QuoteState::quoted};
}

}  // namespace kolvane
