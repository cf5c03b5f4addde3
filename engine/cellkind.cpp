#include "cellkind.h"

#include <array>
#include <cstddef>

namespace kolvane {

namespace {

std::string_view trimmed(std::string_view v) {
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);
    return v;
}

// Strips one of the currency signs written before or after an amount.
std::string_view withoutCurrency(std::string_view v) {
    static constexpr std::array<std::string_view, 5> kSigns = {"$", "\xe2\x82\xac", "\xc2\xa3",
                                                               "\xc2\xa5", "\xe2\x82\xbd"};
    for (std::string_view sign : kSigns) {
        if (v.starts_with(sign)) return trimmed(v.substr(sign.size()));
        if (v.ends_with(sign)) return trimmed(v.substr(0, v.size() - sign.size()));
    }
    return v;
}

// Digits in groups: "1234", "1,234", "1.234.567,89", "1 234.5", ".5". The
// first group of several has one to three digits, every group between two
// marks three; the last mark, when it differs from the others or stands
// alone, is the decimal one.
bool isGroupedDigits(std::string_view v) {
    std::array<std::size_t, 16> lengths{};
    std::array<char, 16> marks{};
    std::size_t groups = 0, digits = 0, run = 0;
    for (char c : v) {
        if (isDigit(c)) {
            ++run;
            ++digits;
        } else if (c == '.' || c == ',' || c == '\'' || c == ' ') {
            if (groups + 1 == lengths.size()) return false;
            marks[groups] = c;
            lengths[groups++] = run;
            run = 0;
        } else {
            return false;
        }
    }
    lengths[groups] = run;
    if (digits == 0) return false;
    if (groups == 0) return true;
    if (run == 0) return false;  // "12." or "1,"
    if (groups == 1) return marks[0] != ' ' || run == 3;
    // Grouping starts with one to three digits: "19580329,316.1" is two values.
    if (lengths[0] == 0 || lengths[0] > 3) return false;
    for (std::size_t g = 1; g < groups; ++g) {
        if (lengths[g] != 3 || marks[g - 1] != marks[0]) return false;
    }
    const char last = marks[groups - 1];
    if (last == marks[0]) return run == 3;
    return last == '.' || last == ',';
}

bool isNumber(std::string_view v) {
    if (!v.empty() && (v.front() == '-' || v.front() == '+' || v.front() == '(')) {
        v = trimmed(v.substr(1));
    }
    if (!v.empty() && (v.back() == '%' || v.back() == ')')) v = trimmed(v.substr(0, v.size() - 1));
    v = withoutCurrency(v);
    if (!v.empty() && (v.front() == '-' || v.front() == '+')) v.remove_prefix(1);
    const std::size_t e = v.find_first_of("eE");
    if (e != std::string_view::npos) {
        std::string_view exponent = v.substr(e + 1);
        if (!exponent.empty() && (exponent.front() == '-' || exponent.front() == '+')) {
            exponent.remove_prefix(1);
        }
        if (exponent.empty() || exponent.size() > 3) return false;
        for (char c : exponent) {
            if (!isDigit(c)) return false;
        }
        v = v.substr(0, e);
    }
    return isGroupedDigits(v);
}

// Digits parted by - / . : with at most a T, a Z, a zone offset or AM/PM.
// No part is longer than a year but a time's fraction of a second:
// "0.0188713 0.083" is two numbers. A space parts a date from its time:
// "0.05 8.50", with no time, is two numbers.
bool isDate(std::string_view v) {
    if (v.find(' ') != std::string_view::npos && v.find(':') == std::string_view::npos &&
        v.find_first_of("AaPp") == std::string_view::npos) {
        return false;
    }
    std::size_t digits = 0, marks = 0, letters = 0, run = 0;
    bool time = false;
    for (std::size_t i = 0; i < v.size(); ++i) {
        const char c = v[i];
        if (isDigit(c)) {
            ++digits;
            if (++run > 4 && !(time && v[i - run] == '.')) return false;
            continue;
        }
        run = 0;
        if (c == '-' || c == '/' || c == '.' || c == ':') {
            if (i == 0 || !isDigit(v[i - 1])) return false;
            time = time || c == ':';
            ++marks;
        } else if (c == 'T' || c == 'Z' || c == ' ' || c == '+') {
            continue;
        } else if (v.substr(i, 2) == "AM" || v.substr(i, 2) == "PM" || v.substr(i, 2) == "am" ||
                   v.substr(i, 2) == "pm") {
            ++letters;
            ++i;
        } else {
            return false;
        }
    }
    return digits >= 2 && marks >= 1 && letters <= 1 && digits > marks;
}

}  // namespace

CellKind cellKind(std::string_view value) {
    const std::string_view v = trimmed(value);
    if (v.empty()) return CellKind::Empty;
    if (isNumber(v)) return CellKind::Number;
    if (isDate(v)) return CellKind::Date;
    return CellKind::Text;
}

}  // namespace kolvane
