#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "fieldlist.h"

namespace kolvane {

// One entry of the command line's field list: fields by number (a range
// N-M, N-, -M or one number), or a field by the name a header line gives it.
struct FieldEntry {
    FieldRange range;
    std::string name;  // not empty: the entry is a name

    bool operator==(const FieldEntry&) const = default;
};

// Reads the command line's field list: entries between commas, each a field
// number 1..32767 or a range N-M, N- or -M, with spaces around it; an empty
// entry gives an empty value. With `names`, anything else is a field name,
// and a name holding a comma or edge spaces is written in double quotes
// ("Date, local"; "" for a quote). The message names the first entry that
// is none of these.
std::variant<std::vector<FieldEntry>, std::string> readFieldEntries(std::string_view text,
                                                                    bool names);

// The entries with every name turned into its column's number in `header`
// (the header line's values, field 1 first). The message quotes a name the
// header lacks (listing the header's names, the first 20) or one that two
// columns share (naming both).
std::variant<FieldList, std::string> resolveFieldNames(const std::vector<FieldEntry>& entries,
                                                       const std::vector<std::string>& header);

// The template with every "[name]" of a header name turned into "[n]";
// brackets holding digits stay field numbers, other brackets stay text. The
// message names a name two columns share.
std::variant<std::string, std::string> resolveTemplateNames(std::string_view templ,
                                                            const std::vector<std::string>& header);

}  // namespace kolvane
