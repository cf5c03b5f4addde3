#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

namespace kolvane {

// Fields first..last of a line, in that order. A single field n is {n, n};
// a field number below 1 or beyond the line's fields matches nothing.
struct FieldRange {
    std::int16_t first = 0;
    std::int32_t last = 0;

    bool operator==(const FieldRange&) const = default;
};

// The fields a plain rip keeps, in list order. Read once from the field
// list's grammar (fieldselect.h), owned by whoever rips; a rip only reads it.
class FieldList {
  public:
    // `last` of a range that runs to the last field of each line.
    static constexpr std::int32_t kToLastField = std::numeric_limits<std::int32_t>::max();

    FieldList() = default;
    explicit FieldList(std::vector<FieldRange> entries);

    const std::vector<FieldRange>& entries() const { return entries_; }
    std::size_t size() const { return entries_.size(); }
    // How far a line must be cut for this list; SIZE_MAX when a range runs to
    // the line's end.
    std::size_t highest() const { return highest_; }

  private:
    std::vector<FieldRange> entries_;
    std::size_t highest_ = 0;
};

// Non-overlapping occurrences of `separator` in `text`, searched left to right.
// An empty separator occurs nowhere, so a line split by it is one field.
std::int64_t countSeparators(std::string_view text, std::string_view separator);

// True when nothing but space characters remains (tabs count as content).
inline bool isBlank(std::string_view value) {
    return value.find_first_not_of(' ') == std::string_view::npos;
}

// Drops leading and trailing space characters (only the space itself).
inline std::string_view trimSpaces(std::string_view value) {
    auto first = value.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    auto last = value.find_last_not_of(' ');
    return value.substr(first, last - first + 1);
}

}  // namespace kolvane
