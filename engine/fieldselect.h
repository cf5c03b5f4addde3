#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "fieldlist.h"

namespace kolvane {

// The field list's one grammar, read two ways:
//
//   list   := entry ( "," entry )*
//   entry  := " "* ( number | range | name )? " "*     (an empty entry: an empty value)
//   number := digits, 1 to 32767
//   range  := number? "-" number?                       N-M (N not above M), N- or -M
//   name   := '"' ( byte | '""' )* '"' | bytes without a comma     (names on only)
//
// Strict, as kolvane-rip reads it: an entry that is none of these is an error
// naming it. Lenient, as the window's field box reads it: every comma
// separates (but inside a quoted name, with names on); a number may carry a
// sign and a fraction, rounded half to even, and read as any signed 16-bit
// value; anything else (a range, an unknown name, 40000) gives an empty value
// and a warning. With names on, an entry that is not digits, signs and
// points is a name, turned into its column by the header.
enum class FieldReading { strict, lenient };

// What one entry cannot give, in the words both front ends show.
struct FieldProblem {
    std::string entry;  // as typed, trimmed
    std::string why;    // "is not a field number: it gives an empty value", ...
};

// One entry as the grammar reads it: fields by number, or a header's name.
struct FieldEntry {
    FieldRange range;
    std::string name;  // not empty: the entry is a name
    std::string typed;
};

struct FieldEntries {
    std::vector<FieldEntry> entries;
    std::vector<FieldProblem> problems;  // strict: the first, and entries stop there
    bool blank = false;                  // nothing but spaces: the window keeps the last list
};

// The entries of `text`.
FieldEntries readFieldEntries(std::string_view text, FieldReading reading, bool names);

// A field list with its names turned into columns, and what its entries cannot give.
struct FieldSelection {
    std::optional<FieldList> list;  // nullopt: a blank list, or (strict) a problem
    std::vector<FieldProblem> problems;
};

// Turns the entries' names into their columns in `header` (the header
// record's names, field 1 first; nullptr while it is not known, when a name
// gives an empty value and no problem).
FieldSelection resolveFields(const FieldEntries& read, FieldReading reading,
                             const std::vector<std::string>* header);

// Both in one call.
FieldSelection selectFields(std::string_view text, FieldReading reading, bool names,
                            const std::vector<std::string>* header);

// The template with every "[name]" of a header name turned into "[n]";
// brackets holding digits stay field numbers, other brackets stay text. The
// message names a name two columns share.
std::variant<std::string, std::string> resolveTemplateNames(std::string_view templ,
                                                            const std::vector<std::string>& header);

// A name as a message shows it: quoted (always, or where it holds a split
// string, a comma, a quote or edge spaces), at most 60 characters with "…",
// and every byte that is no printable text as \xNN.
std::string shownName(std::string_view name, std::string_view split = ",", bool quote = false);

}  // namespace kolvane
