#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kolvane {

// The raw bytes of one field in the text: quotes, doubled quotes and any text
// after a closing quote included, the split string and the line end not.
struct FieldExtent {
    std::size_t begin = 0, end = 0;
};

// Where one record lies in the text.
struct QuotedRecord {
    std::size_t end = 0;   // where its line end starts, or the text's end
    std::size_t next = 0;  // where the next record starts, past the line end
    // A quote opened at `openQuote` is never closed before the text ends: the
    // record runs to the end, and its last field is everything from there.
    bool unterminated = false;
    std::size_t openQuote = 0;
    // How many line ends inside quotes the record spans.
    std::size_t innerLineEnds = 0;
};

// Splits the record that starts at `pos` into `fields` (cleared first), by
// `split` (empty: the record is one field) with fields that may be enclosed
// in double quotes: a quote opens a quoted value only as a field's first
// byte; inside, "" is one quote and a lone quote closes it; text after the
// closing quote belongs to the field; a quote anywhere else is an ordinary
// byte; a split string or a line end (LF, CR LF, CR) inside quotes belongs
// to the value. The scalar reading of one record, for the guess and for
// stretches where a vectorised scan cannot be trusted.
QuotedRecord splitQuotedRecord(std::string_view text, std::size_t pos, std::string_view split,
                               std::vector<FieldExtent>& fields);

// Appends a field's value to `out`: a quoted field without its quotes and
// with "" read as one quote, any other field as it is.
void appendUnquoted(std::string_view raw, std::string& out);

}  // namespace kolvane
