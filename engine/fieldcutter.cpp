#include "fieldcutter.h"

namespace kolvane {

std::vector<FieldSpan> cutSpans(std::string_view record, const Dialect& dialect, std::size_t max) {
    std::vector<FieldSpan> spans;
    if (max == 0) return spans;
    std::size_t start = 0;
    forEachStop(record, dialect, [&](std::size_t at) {
        spans.push_back({start, at});
        start = at + dialect.split.size();
        return spans.size() < max;
    });
    if (spans.size() < max) spans.push_back({start, record.size()});
    return spans;
}

std::vector<std::string_view> cutFields(std::string_view record, const Dialect& dialect,
                                        std::size_t max) {
    std::vector<std::string_view> fields;
    for (const FieldSpan& span : cutSpans(record, dialect, max)) {
        fields.push_back(record.substr(span.begin, span.end - span.begin));
    }
    return fields;
}

std::size_t countFields(std::string_view record, const Dialect& dialect) {
    std::size_t stops = 0;
    forEachStop(record, dialect, [&](std::size_t) { ++stops; });
    return stops + 1;
}

LineCut FieldCutter::cut(const std::vector<std::size_t>& wanted, std::string_view record,
                         const Dialect& dialect, const SeparatorBits& bits) {
    if (slots_.size() < wanted.size()) slots_.resize(wanted.size());
    LineCut cut{slots_.data(), 0, 1, true, wanted.data(), bits};
    if (wanted.empty()) return cut;
    const std::size_t splitSize = dialect.split.size();
    std::size_t fieldStart = 0;
    std::size_t field = 1;  // the field that ends at the next stop
    forEachStop(
        record, dialect,
        [&](std::size_t at) {
            if (wanted[cut.filled] == field) {
                slots_[cut.filled++] = {fieldStart, at};
                if (cut.filled == wanted.size()) {
                    cut.reachedEnd = false;
                    return false;
                }
            }
            fieldStart = at + splitSize;
            ++field;
            return true;
        },
        bits);
    cut.fields = field;
    if (cut.reachedEnd && wanted[cut.filled] == field)
        slots_[cut.filled++] = {fieldStart, record.size()};
    return cut;
}

}  // namespace kolvane
