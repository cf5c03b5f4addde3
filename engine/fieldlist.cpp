#include <cstdint>
#include <limits>

#include "ripstate.h"

namespace kolvane {

std::int64_t Countvalue(std::string_view text, std::string_view separator) {
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

void Setfields(RipState& state, std::string_view ripFields) {
    if (isBlank(ripFields)) return;
    state.Fieldcount = Countvalue(ripFields, ",") + 1;
    state.Fieldnum.assign(static_cast<std::size_t>(state.Fieldcount), 0);
    state.Fieldval.assign(static_cast<std::size_t>(state.Fieldcount), std::string_view{});
    std::size_t start = 0;
    for (std::size_t i = 0; i < state.Fieldnum.size(); ++i) {
        auto comma = ripFields.find(',', start);
        state.Fieldnum[i] = fieldNumber(ripFields.substr(start, comma - start));
        start = comma + 1;  // past the end only after the last entry
    }
}

}  // namespace kolvane
