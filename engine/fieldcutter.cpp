#include "fieldcutter.h"

#include <algorithm>

#include "bytescan.h"
#include "fieldlist.h"

namespace kolvane {

FieldCutter::FieldCutter(std::string split) : split_(std::move(split)), fields_(16) {}

std::size_t FieldCutter::cut(std::string_view line, std::size_t want) {
    reachedEnd_ = true;
    if (want == 0) return 0;
    if (split_.empty()) {
        fields_[1] = line;
        return 1;
    }
    if (split_.size() == 1) return cutAtByte(line, want);
    std::size_t pos = 0;
    std::size_t got = 0;
    while (got < want) {
        reserveField(got + 1);
        std::size_t sep = line.find(split_, pos);
        if (sep == std::string_view::npos) {
            fields_[++got] = line.substr(pos);
            return got;
        }
        fields_[++got] = line.substr(pos, sep - pos);
        pos = sep + split_.size();
    }
    // Stopped at the highest wanted field, and a separator followed it.
    reachedEnd_ = false;
    return got;
}

std::size_t FieldCutter::cutAtByte(std::string_view line, std::size_t want) {
    const char* const end = line.data() + line.size();
    const char* fieldStart = line.data();
    std::size_t got = 0;
    // One pass over the line, stopping once the highest wanted field is cut.
    const char* stop = scanByte(fieldStart, end, split_[0], [&](const char* at) {
        reserveField(got + 1);
        fields_[++got] = std::string_view(fieldStart, static_cast<std::size_t>(at - fieldStart));
        fieldStart = at + 1;
        return got < want;
    });
    if (stop != end) {
        reachedEnd_ = false;
        return got;
    }
    reserveField(got + 1);
    fields_[++got] = std::string_view(fieldStart, static_cast<std::size_t>(end - fieldStart));
    return got;
}

std::vector<std::string_view> cutFields(std::string_view line, std::string_view split,
                                        std::size_t max) {
    FieldCutter cutter{std::string(split)};
    const std::size_t got = cutter.cut(line, max);
    std::vector<std::string_view> fields;
    fields.reserve(got);
    for (std::size_t k = 1; k <= got; ++k) fields.push_back(cutter.field(k));
    return fields;
}

}  // namespace kolvane
