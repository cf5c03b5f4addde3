#include "fieldcutter.h"

#include <algorithm>

#include "bytescan.h"
#include "fieldlist.h"

namespace kolvane {

FieldCutter::FieldCutter(std::string split) : fields_(16) {
    setSplit(split);
}

std::size_t FieldCutter::cutOther(std::string_view line, std::size_t want) {
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

std::size_t FieldCutter::cutAtBits(std::string_view line, std::size_t want,
                                   const SeparatorBits& bits) {
    const char* const base = line.data() - bits.first;  // byte i of the indexed text
    const std::size_t end = bits.first + line.size();
    std::size_t fieldStart = bits.first;
    std::size_t got = 0;
    reachedEnd_ = true;
    // A wanted field count that fits is made room for once, not per field.
    // The slots are written through a local pointer: through fields_ the
    // compiler reloaded it after every store (a store may alias the vector).
    if (want < 4096 && want >= fields_.size()) fields_.resize(want + 1);
    std::string_view* slot = fields_.data();
    // Where the walk next stops: at the wanted field, or when the slots run
    // out. One test per field instead of two.
    std::size_t stop = std::min(want, fields_.size() - 1);
    if (!line.empty()) {
        std::size_t w = bits.first / 64;
        const std::size_t last = (end - 1) / 64;
        std::uint64_t word = bits.words[w] & (~std::uint64_t{0} << (bits.first % 64));
        for (;;) {
            if (w == last && end % 64 != 0) word &= (std::uint64_t{1} << (end % 64)) - 1;
            for (; word != 0; word &= word - 1) {
                const std::size_t at = w * 64 + std::size_t(__builtin_ctzll(word));
                slot[++got] = std::string_view(base + fieldStart, at - fieldStart);
                fieldStart = at + 1;
                if (got == stop) {
                    if (got == want) {
                        reachedEnd_ = false;
                        return got;
                    }
                    reserveField(got + 1);
                    slot = fields_.data();
                    stop = std::min(want, fields_.size() - 1);
                }
            }
            if (w == last) break;
            word = bits.words[++w];
        }
    }
    reserveField(got + 1);
    fields_[++got] = std::string_view(base + fieldStart, end - fieldStart);
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
