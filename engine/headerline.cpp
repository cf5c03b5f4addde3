#include "headerline.h"

#include <algorithm>
#include <cstring>

#include "fieldcutter.h"
#include "quotedvalue.h"

namespace kolvane {

IoResult KeptStart::read(std::span<char> buf) {
    IoResult r = inner_->read(buf);
    kept_.append(buf.data(), std::min(most_ - std::min(most_, kept_.size()), r.bytes));
    return r;
}

std::vector<std::string> headerNames(std::string_view record, const Dialect& dialect) {
    std::vector<std::string> names;
    for (const std::string_view field : cutFields(record, dialect)) {
        if (dialect.quoted) {
            appendUnquoted(names.emplace_back(), field);
        } else {
            names.emplace_back(field);
        }
    }
    return names;
}

}  // namespace kolvane
