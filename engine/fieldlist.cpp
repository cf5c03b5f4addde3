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

FieldList::FieldList(std::vector<FieldRange> entries) : entries_(std::move(entries)) {
    for (const FieldRange& e : entries_) {
        const std::size_t reach = e.last == kToLastField ? SIZE_MAX
                                  : e.last > 0           ? static_cast<std::size_t>(e.last)
                                                         : 0;
        highest_ = std::max(highest_, reach);
    }
}

}  // namespace kolvane
