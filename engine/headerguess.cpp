#include "headerguess.h"

#include <algorithm>
#include <string>
#include <vector>

#include "cellkind.h"

namespace kolvane {

namespace {

// A value's outline: a run of letters is "a", a run of digits "9", any
// other byte itself. "Anna Berg" and "Lars Li" share "a a".
std::string shape(std::string_view value) {
    std::string out;
    for (char c : value) {
        const auto b = static_cast<unsigned char>(c);
        const char kind = (b >= '0' && b <= '9')                                  ? '9'
                          : ((b | 0x20) >= 'a' && (b | 0x20) <= 'z') || b >= 0x80 ? 'a'
                                                                                  : c;
        if (out.empty() || out.back() != kind || (kind != 'a' && kind != '9')) out += kind;
    }
    return out;
}

bool looksLikeName(const std::string& name) {
    return !name.empty() && name.size() <= 40 && cellKind(name) == CellKind::Text &&
           name.find('@') == std::string::npos && name.find("://") == std::string::npos;
}

// What the values below a name say of it: +2 a text name over numbers or
// dates, -2 a number over numbers of its own outline, +1 a name over values
// of one outline it lacks, -1 a text name of the values' outline, else 0.
int vote(std::string_view text, const SampleReading& r, std::size_t first, std::size_t col,
         const std::string& name) {
    const CellKind nameKind = cellKind(name);
    const std::string nameShape = shape(name);
    std::size_t filled = 0, numeric = 0, sameShape = 0, commonShape = 0;
    std::string firstShape;
    for (std::size_t i = first + 1; i < r.size(); ++i) {
        // Records that leave trailing fields out still line up with the names.
        if (col >= r.count(i)) continue;
        const std::string value = fieldValue(r.cell(text, i, col), true);
        const CellKind kind = cellKind(value);
        if (kind == CellKind::Empty) continue;
        ++filled;
        numeric += kind == CellKind::Number || kind == CellKind::Date;
        const std::string valueShape = shape(value);
        if (firstShape.empty()) firstShape = valueShape;
        commonShape += valueShape == firstShape;
        sameShape += valueShape == nameShape;
    }
    if (filled == 0 || nameKind == CellKind::Empty) return 0;
    if (numeric * 5 >= filled * 4) {
        // A year over amounts of one outline ("1960" over "4.82") names them.
        if (nameKind != CellKind::Text) {
            if (sameShape > 0) return -2;
            return commonShape * 5 >= filled * 4 ? 1 : 0;
        }
        return 2;
    }
    if (nameShape == "a") return 0;  // one word over words says nothing
    if (sameShape * 5 >= filled * 4) return -1;
    if (commonShape * 5 >= filled * 4 && sameShape == 0) return 1;
    return 0;
}

// Which of a record's first `named` fields stand in a run of three or more
// whole numbers that count up by one ("1998,1999,2000", "1;2;3").
std::vector<bool> counting(std::string_view text, const SampleReading& r, std::size_t row,
                           std::size_t named) {
    std::vector<long> values(named, -2);
    for (std::size_t col = 0; row < r.size() && col < std::min(named, r.count(row)); ++col) {
        const std::string v = fieldValue(r.cell(text, row, col), true);
        if (!v.empty() && v.size() <= 4 && std::all_of(v.begin(), v.end(), isDigit)) {
            values[col] = std::stol(v);
        }
    }
    std::vector<bool> out(named, false);
    for (std::size_t from = 0, to = 1; to <= named; ++to) {
        if (to < named && values[to] >= 0 && values[to] == values[to - 1] + 1) continue;
        if (to - from >= 3) std::fill(out.begin() + from, out.begin() + to, true);
        from = to;
    }
    return out;
}

}  // namespace

bool hasHeader(std::string_view text, const SampleReading& r, std::size_t first,
               std::size_t columns) {
    // Names may outnumber the fields of records that leave empty ones out.
    if (r.size() < first + 2 || r.count(first) + 1 < columns) return false;
    const std::size_t named = std::min(r.count(first), std::max<std::size_t>(columns, 1));
    int votes = 0;
    std::vector<std::string> names;
    // Years or months that count along the columns name them, unless the
    // record below counts too.
    const std::vector<bool> counts = counting(text, r, first, named);
    const std::vector<bool> countsBelow = counting(text, r, first + 1, named);
    for (std::size_t col = 0; col < named; ++col) {
        const std::string name = fieldValue(r.cell(text, first, col), true);
        if (cellKind(name) != CellKind::Empty &&
            std::find(names.begin(), names.end(), name) != names.end()) {
            votes -= 2;  // names are unique
        }
        names.push_back(name);
        votes += counts[col] && !countsBelow[col] ? 1 : vote(text, r, first, col, name);
    }
    if (votes != 0) return votes > 0;
    // Columns of free text: names are short, filled and no numbers. Two such
    // columns are more often pairs (a word and its translation) than a table.
    return columns > 2 && std::all_of(names.begin(), names.end(), looksLikeName);
}

}  // namespace kolvane
