#include "fieldselect.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>

namespace kolvane {

namespace {

constexpr const char* kEntryRule =
    "a field is a whole number from 1 to 32767, or a range N-M (N not above M), N- or -M";
constexpr std::size_t kMostNames = 20;

// A field number as kolvane-rip takes it: digits only, 1..32767.
std::optional<std::int16_t> strictNumber(std::string_view digits) {
    int value = 0;
    const char* end = digits.data() + digits.size();
    auto [stop, ec] = std::from_chars(digits.data(), end, value);
    if (digits.empty() || digits[0] == '-' || ec != std::errc{} || stop != end) return {};
    if (value < 1 || value > 32767) return {};
    return static_cast<std::int16_t>(value);
}

std::optional<FieldRange> strictRange(std::string_view text) {
    if (text.empty()) return FieldRange{};  // an empty value
    const auto dash = text.find('-');
    if (dash == std::string_view::npos) {
        const auto n = strictNumber(text);
        if (!n) return {};
        return FieldRange{*n, *n};
    }
    const std::string_view left = text.substr(0, dash), right = text.substr(dash + 1);
    if (left.empty() && right.empty()) return {};
    const auto first = left.empty() ? std::int16_t{1} : strictNumber(left);
    // A bad upper end reads 0, which is below every first field.
    const std::int32_t last =
        right.empty() ? FieldList::kToLastField : strictNumber(right).value_or(std::int16_t{0});
    if (!first || last < *first) return {};
    return FieldRange{*first, last};
}

// A field number as the window's box takes it: a sign allowed, a fraction
// rounded half to even; 0 when it does not convert or fit 16 bits.
std::int16_t lenientNumber(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    const auto dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    const std::string_view fraction = dot == text.npos ? "" : text.substr(dot + 1);
    if ((whole.empty() && fraction.empty()) || (dot != text.npos && fraction.empty())) return 0;
    std::int64_t value = 0;
    for (const char c : whole) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
        if (value > 100000) return 0;  // already far outside 16 bits
    }
    if (fraction.find_first_not_of("0123456789") != fraction.npos) return 0;
    if (!fraction.empty()) {
        const bool restZero = fraction.find_first_not_of('0', 1) == fraction.npos;
        const char first = fraction[0];
        if (first > '5' || (first == '5' && (!restZero || value % 2 == 1))) ++value;
    }
    if (negative) value = -value;
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max()) {
        return 0;
    }
    return static_cast<std::int16_t>(value);
}

// Digits, signs and points: a number, however badly typed, never a name.
bool looksNumeric(std::string_view entry) {
    return !entry.empty() && entry.find_first_not_of("0123456789+-.") == entry.npos;
}

// Where the entry starting at `start` ends: the next comma, outside a quoted
// name where names are read.
std::size_t entryEnd(std::string_view text, std::size_t start, bool names) {
    bool quoted = false;
    for (std::size_t i = start; i < text.size(); ++i) {
        if (names && text[i] == '"') quoted = !quoted;  // "" leaves it as it was
        if (text[i] == ',' && !quoted) return i;
    }
    return text.npos;
}

// The name inside "...", with "" read as one quote; nullopt when the quotes
// do not enclose the whole entry.
std::optional<std::string> quotedName(std::string_view text) {
    if (text.size() < 2 || text.front() != '"' || text.back() != '"') return {};
    std::string name;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] == '"' && (i + 2 >= text.size() || text[++i] != '"')) return {};
        name += text[i];
    }
    return name;
}

// One entry read, or what is wrong with it.
std::variant<FieldEntry, std::string> readEntry(std::string_view typed, FieldReading reading,
                                                bool names) {
    const std::string_view trimmed = trimSpaces(typed);
    const bool strict = reading == FieldReading::strict;
    if (!names || looksNumeric(trimmed) || trimmed.empty()) {
        if (strict) {
            if (const auto range = strictRange(trimmed)) return FieldEntry{*range, {}, {}};
            return "field list entry \"" + std::string(typed) + "\": " + kEntryRule;
        }
        const std::int16_t n = lenientNumber(trimmed);
        if (n >= 1 || trimmed.empty()) return FieldEntry{{n, n}, {}, {}};
        return std::string("is not a field number: it gives an empty value");
    }
    if (!trimmed.starts_with('"')) return FieldEntry{{}, std::string(trimmed), {}};
    const auto name = quotedName(trimmed);
    if (name && !name->empty()) return FieldEntry{{}, *name, {}};
    if (name) {
        return strict
                   ? "field list entry " + std::string(trimmed) + ": an empty name names no field"
                   : std::string("is an empty name: it gives an empty value");
    }
    return strict ? "field list entry " + std::string(trimmed) +
                        ": a quoted name ends at its closing quote (\"\" for a quote)"
                  : std::string("is not a quoted name: it gives an empty value");
}

std::string headerList(const std::vector<std::string>& header) {
    std::string names;
    for (std::size_t i = 0; i < header.size() && i < kMostNames; ++i) {
        names.append(i > 0 ? ", " : "").append(shownName(header[i]));
    }
    if (header.size() > kMostNames) names += ", ... (" + std::to_string(header.size()) + " in all)";
    return names;
}

// The column (1-based) `name` names in `header`, or why it names none: the
// one rule by which a name becomes a column, for lists and templates alike.
std::variant<std::size_t, std::string> columnOf(std::string_view name,
                                                const std::vector<std::string>& header) {
    const auto first = std::find(header.begin(), header.end(), name);
    if (first == header.end()) {
        return "no field is named " + shownName(name, ",", true) +
               "; the header's names are: " + headerList(header);
    }
    const auto column = std::size_t(first - header.begin()) + 1;
    const auto again = std::find(first + 1, header.end(), name);
    if (again != header.end()) {
        return "the field name " + shownName(name, ",", true) + " names columns " +
               std::to_string(column) + " and " + std::to_string(again - header.begin() + 1);
    }
    return column;
}

}  // namespace

std::string shownName(std::string_view name, std::string_view split, bool quote) {
    constexpr std::size_t kMostBytes = 60;
    quote = quote || name.empty() || name.front() == ' ' || name.back() == ' ' ||
            name.find_first_of("\",") != name.npos ||
            (!split.empty() && name.find(split) != name.npos);
    std::string shown = quote ? "\"" : "";
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (i == kMostBytes) {
            shown += "\xe2\x80\xa6";  // …
            break;
        }
        const auto c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7f) {
            const char* hex = "0123456789abcdef";
            shown.append("\\x").append(1, hex[c >> 4]).append(1, hex[c & 15]);
        } else {
            shown += c == '"' && quote ? "\"\"" : std::string(1, char(c));
        }
    }
    return shown + (quote ? "\"" : "");
}

FieldEntries readFieldEntries(std::string_view text, FieldReading reading, bool names) {
    FieldEntries read;
    if (isBlank(text)) {
        read.blank = true;
        if (reading == FieldReading::strict)
            read.problems.push_back({{}, "the field list is empty"});
        return read;
    }
    // Every comma separates, outside a quoted name.
    for (std::size_t start = 0;;) {
        const std::size_t end = entryEnd(text, start, names);
        const std::string_view typed = text.substr(start, end - start);
        auto entry = readEntry(typed, reading, names);
        if (auto* problem = std::get_if<std::string>(&entry)) {
            read.problems.push_back({std::string(trimSpaces(typed)), std::move(*problem)});
            if (reading == FieldReading::strict) return read;
            // An empty value: a number below 1 is kept as it reads, and
            // matches no field.
            const std::int16_t n = names ? 0 : lenientNumber(trimSpaces(typed));
            entry = FieldEntry{{n, n}, {}, {}};
        }
        std::get<FieldEntry>(entry).typed = trimSpaces(typed);
        read.entries.push_back(std::get<FieldEntry>(std::move(entry)));
        if (end == text.npos) break;
        start = end + 1;
    }
    return read;
}

FieldSelection resolveFields(const FieldEntries& read, FieldReading reading,
                             const std::vector<std::string>* header) {
    FieldSelection selection;
    selection.problems = read.problems;
    const bool strict = reading == FieldReading::strict;
    if (read.blank || (strict && !read.problems.empty())) return selection;
    std::vector<FieldRange> ranges;
    for (const FieldEntry& entry : read.entries) {
        if (entry.name.empty() || header == nullptr) {
            ranges.push_back(entry.range);  // a name not yet known gives an empty value
            continue;
        }
        auto column = columnOf(entry.name, *header);
        std::string problem;
        if (auto* why = std::get_if<std::string>(&column)) {
            problem = strict ? *why
                      : why->starts_with("no field")
                          ? "is not a name in the first line: it gives an empty value"
                          : "names two fields (" + why->substr(why->rfind("columns ") + 8) +
                                "): it gives an empty value";
        } else if (std::get<std::size_t>(column) > 32767) {
            problem = (strict ? "the field " + shownName(entry.name, ",", true) + " is column " +
                                    std::to_string(std::get<std::size_t>(column)) + ", past" +
                                    " the 32767 a field list reaches; a template reaches it"
                              : std::string("is past field 32767: it gives an empty value"));
        }
        if (!problem.empty()) {
            selection.problems.push_back({entry.typed, std::move(problem)});
            if (strict) return selection;
            ranges.push_back({});
            continue;
        }
        const auto n = static_cast<std::int16_t>(std::get<std::size_t>(column));
        ranges.push_back({n, n});
    }
    selection.list = FieldList(std::move(ranges));
    return selection;
}

FieldSelection selectFields(std::string_view text, FieldReading reading, bool names,
                            const std::vector<std::string>* header) {
    return resolveFields(readFieldEntries(text, reading, names), reading, header);
}

std::variant<std::string, std::string> resolveTemplateNames(
    std::string_view templ, const std::vector<std::string>& header) {
    std::string out;
    std::size_t from = 0;
    for (auto open = templ.find('['); open != std::string_view::npos;
         open = templ.find('[', open + 1)) {
        const auto close = templ.find(']', open + 1);
        if (close == std::string_view::npos) break;
        const std::string_view name = templ.substr(open + 1, close - open - 1);
        if (name.empty() || name.find_first_not_of("0123456789") == std::string_view::npos ||
            std::find(header.begin(), header.end(), name) == header.end()) {
            continue;  // a field number, or text
        }
        auto column = columnOf(name, header);
        if (auto* problem = std::get_if<std::string>(&column)) {
            return std::variant<std::string, std::string>(std::in_place_index<1>,
                                                          std::move(*problem));
        }
        out.append(templ.substr(from, open - from)).append("[");
        out.append(std::to_string(std::get<std::size_t>(column))).append("]");
        from = close + 1;
        open = close;
    }
    out.append(templ.substr(from));
    return std::variant<std::string, std::string>(std::in_place_index<0>, std::move(out));
}

}  // namespace kolvane
