#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

#include "fieldlist.h"

namespace kolvane {

std::int64_t countSeparators(std::string_view text, std::string_view separator) {
    if (separator.empty()) return 0;
    std::int64_t count = 0;
    for (auto pos = text.find(separator); pos != std::string_view::npos;
         pos = text.find(separator, pos + separator.size())) {
        ++count;
    }
    return count;
}

std::int16_t fieldNumber(std::string_view entry) {
    std::string_view text = trimSpaces(entry);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    auto dot = text.find('.');
    std::string_view whole = text.substr(0, dot);
    std::string_view fraction = dot == std::string_view::npos ? "" : text.substr(dot + 1);
    if (whole.empty() && fraction.empty()) return 0;
    if (dot != std::string_view::npos && fraction.empty()) return 0;

    std::int64_t value = 0;
    for (char c : whole) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
        if (value > 100000) return 0;  // already far outside 16 bits
    }
    for (char c : fraction) {
        if (c < '0' || c > '9') return 0;
    }
    if (!fraction.empty()) {
        // Round half to even: above half rounds up, exactly half goes to the even side.
        char first = fraction[0];
        bool restZero = fraction.substr(1).find_first_not_of('0') == std::string_view::npos;
        if (first > '5' || (first == '5' && !restZero) || (first == '5' && value % 2 == 1)) {
            ++value;
        }
    }
    if (negative) value = -value;
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max()) {
        return 0;
    }
    return static_cast<std::int16_t>(value);
}

FieldList::FieldList(std::vector<FieldRange> entries) : entries_(std::move(entries)) {
    for (const FieldRange& e : entries_) {
        const std::size_t reach = e.last == kToLastField ? SIZE_MAX
                                  : e.last > 0           ? static_cast<std::size_t>(e.last)
                                                         : 0;
        highest_ = std::max(highest_, reach);
    }
}

std::optional<FieldList> FieldList::parse(std::string_view text) {
    if (isBlank(text)) return std::nullopt;
    // Every comma separates, so an empty or malformed entry is still an entry.
    std::vector<FieldRange> entries;
    entries.reserve(static_cast<std::size_t>(countSeparators(text, ",")) + 1);
    std::size_t start = 0;
    for (;;) {
        const auto comma = text.find(',', start);
        const std::int16_t n = fieldNumber(text.substr(start, comma - start));
        entries.push_back({n, n});
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return FieldList(std::move(entries));
}

}  // namespace kolvane
