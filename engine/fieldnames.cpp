#include "fieldnames.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>

namespace kolvane {

namespace {

constexpr const char* kEntryRule =
    "a field is a whole number from 1 to 32767, or a range N-M (N not above M), N- or -M";

// A field number: digits only, 1..32767.
std::optional<std::int16_t> readNumber(std::string_view digits) {
    int value = 0;
    const char* end = digits.data() + digits.size();
    auto [stop, ec] = std::from_chars(digits.data(), end, value);
    if (digits.empty() || digits[0] == '-' || ec != std::errc{} || stop != end) return {};
    if (value < 1 || value > 32767) return {};
    return static_cast<std::int16_t>(value);
}

std::optional<FieldRange> readRange(std::string_view text) {
    if (text.empty()) return FieldRange{};  // an empty value, as in the window
    const auto dash = text.find('-');
    if (dash == std::string_view::npos) {
        const auto n = readNumber(text);
        if (!n) return {};
        return FieldRange{*n, *n};
    }
    const std::string_view left = text.substr(0, dash), right = text.substr(dash + 1);
    if (left.empty() && right.empty()) return {};
    const auto first = left.empty() ? std::int16_t{1} : readNumber(left);
    // A bad upper end reads 0, which is below every first field.
    const std::int32_t last =
        right.empty() ? FieldList::kToLastField : readNumber(right).value_or(std::int16_t{0});
    if (!first || last < *first) return {};
    return FieldRange{*first, last};
}

// Where the entry starting at `start` ends: the next comma outside quotes.
std::size_t entryEnd(std::string_view text, std::size_t start) {
    bool quoted = false;
    for (std::size_t i = start; i < text.size(); ++i) {
        if (text[i] == '"') quoted = !quoted;  // "" leaves it as it was
        if (text[i] == ',' && !quoted) return i;
    }
    return std::string_view::npos;
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

std::string headerList(const std::vector<std::string>& header) {
    std::string names;
    for (std::size_t i = 0; i < header.size() && i < 20; ++i) {
        if (i > 0) names.append(", ");
        names.append(header[i]);
    }
    if (header.size() > 20) names += ", ...";
    return names;
}

// The column (1-based) named `name`, or the message saying why there is none.
std::variant<std::int16_t, std::string> columnOf(std::string_view name,
                                                 const std::vector<std::string>& header) {
    const auto first = std::find(header.begin(), header.end(), name);
    if (first == header.end()) {
        return "no field is named \"" + std::string(name) +
               "\"; the header's names are: " + headerList(header);
    }
    const auto column = first - header.begin() + 1;
    const auto again = std::find(first + 1, header.end(), name);
    if (again != header.end()) {
        return "the field name \"" + std::string(name) + "\" names columns " +
               std::to_string(column) + " and " + std::to_string(again - header.begin() + 1);
    }
    if (column > 32767) return "the field \"" + std::string(name) + "\" is past column 32767";
    return static_cast<std::int16_t>(column);
}

}  // namespace

std::variant<std::vector<FieldEntry>, std::string> readFieldEntries(std::string_view text,
                                                                    bool names) {
    if (isBlank(text)) return std::string("the field list is empty");
    std::vector<FieldEntry> entries;
    for (std::size_t start = 0;;) {
        const auto end = names ? entryEnd(text, start) : text.find(',', start);
        const std::string_view entry = text.substr(start, end - start);
        const std::string_view trimmed = trimSpaces(entry);
        if (const auto range = readRange(trimmed)) {
            entries.push_back({*range, {}});
        } else if (!names) {
            return "field list entry \"" + std::string(entry) + "\": " + kEntryRule;
        } else if (trimmed.starts_with('"')) {
            const auto name = quotedName(trimmed);
            if (!name || name->empty()) {
                return "field list entry " + std::string(entry) +
                       ": a quoted name ends at its closing quote (\"\" for a quote)";
            }
            entries.push_back({{}, *name});
        } else {
            entries.push_back({{}, std::string(trimmed)});
        }
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return entries;
}

std::variant<FieldList, std::string> resolveFieldNames(const std::vector<FieldEntry>& entries,
                                                       const std::vector<std::string>& header) {
    std::vector<FieldRange> ranges;
    for (const FieldEntry& entry : entries) {
        if (entry.name.empty()) {
            ranges.push_back(entry.range);
            continue;
        }
        auto column = columnOf(entry.name, header);
        if (auto* problem = std::get_if<std::string>(&column)) return std::move(*problem);
        const std::int16_t n = std::get<std::int16_t>(column);
        ranges.push_back({n, n});
    }
    return FieldList(std::move(ranges));
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
        out.append(std::to_string(std::get<std::int16_t>(column))).append("]");
        from = close + 1;
        open = close;
    }
    out.append(templ.substr(from));
    return std::variant<std::string, std::string>(std::in_place_index<0>, std::move(out));
}

}  // namespace kolvane
