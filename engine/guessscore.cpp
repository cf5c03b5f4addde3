#include "guessscore.h"

#include <algorithm>
#include <vector>

#include "cellkind.h"

namespace kolvane {

namespace {

// How readily a split string is believed. A space and a colon also stand
// inside text and times, so they need clearer evidence.
double prior(std::string_view split) {
    if (split == "," || split == "\t") return 1.0;
    if (split == ";" || split == "|") return 0.97;
    if (split == " ") return 0.8;
    return 0.9;
}

// How much a byte of another split string in a value hints that the value is
// several fields: a colon or a hash mildly (times, numbers), a comma more
// (it is in text too), the others strongly.
double hint(char c, std::string_view split) {
    if (split.size() == 1 && c == split.front()) return 1.0;
    if (c == ':' || c == '#') return 0.8;
    if (c == ',') return 0.6;
    return std::string_view(";\t|^~").find(c) != std::string_view::npos ? 0.3 : 1.0;
}

// How much a value looks like a table's cell rather than a piece of one.
double cleanliness(std::string_view raw, CellKind kind, std::string_view split) {
    if (properlyQuoted(raw)) return 1.0;
    if (raw.find('"') != std::string_view::npos) return 0.0;  // a quote split apart
    if (kind != CellKind::Text) return 1.0;
    double clean = 1.0;
    for (char c : raw) clean *= hint(c, split);
    return std::max(clean, 0.3 * 0.3 * 0.3);  // three hints say it as loudly as more
}

// Fields per record, most of them: the count most records share (the larger
// on a tie), and how many share it.
std::pair<std::size_t, std::size_t> modeCount(const SampleReading& r) {
    std::vector<std::size_t> seen(64, 0);
    for (std::size_t i = 0; i < r.size(); ++i) {
        const std::size_t c = r.count(i);
        if (c >= seen.size()) seen.resize(c + 1, 0);
        ++seen[c];
    }
    // When most records are split, unsplit ones are strays, however many.
    const std::size_t unsplit = seen[0] + seen[1];
    std::size_t best = unsplit * 2 < r.size() ? 2 : 0;
    for (std::size_t c = best; c < seen.size(); ++c) {
        if (seen[c] >= seen[best]) best = c;
    }
    return {best, seen[best]};
}

// Whether every record from `first` on starts with the same field, in five
// records or more.
bool sameStart(std::string_view text, const SampleReading& r, std::size_t first) {
    if (r.size() < first + 5) return false;
    for (std::size_t i = first + 1; i < r.size(); ++i) {
        if (r.cell(text, i, 0) != r.cell(text, first, 0)) return false;
    }
    return true;
}

// Whether a record of three or more fields holds nothing past its first:
// a title a spreadsheet padded out to the table's width ("Title,,,,").
bool paddedTitle(std::string_view text, const SampleReading& r, std::size_t i) {
    if (r.count(i) < 3) return false;
    for (std::size_t c = 1; c < r.count(i); ++c) {
        if (cellKind(r.cell(text, i, c)) != CellKind::Empty) return false;
    }
    return true;
}

// Title or comment lines above the table: records of fewer fields than the
// common count, or padded ones, before the first one of it, a few and fewer
// than the table's records; names outnumber the fields of records that leave
// empty ones out, and are no title. Only a table whose records mostly agree
// has a top to tell apart.
std::size_t titlesAbove(std::string_view text, const SampleReading& r, std::size_t columns,
                        std::size_t agreeing) {
    std::size_t titles = 0;
    while (titles < r.size() && (r.count(titles) < columns || paddedTitle(text, r, titles))) {
        ++titles;
    }
    if (titles > 30 || titles * 3 > r.size() || agreeing * 2 < r.size()) return 0;
    return titles;
}

// How regularly the records below the titles are split, 0 when the split
// string parts too few of them to be a table's.
double consistency(std::string_view text, const SampleReading& r, std::size_t titles,
                   std::size_t agreeing) {
    const double rest = static_cast<double>(r.size() - titles);
    // Records of many field counts (trailing empty fields left out, lists)
    // are still a table when nearly all of them are split, unless the
    // split string is followed by a space as in prose ("late, call").
    std::size_t split = 0, later = 0, spaced = 0;
    for (std::size_t i = titles; i < r.size(); ++i) {
        split += r.count(i) > 1;
        for (std::size_t c = r.firstCell[i] + 1; c < r.firstCell[i + 1]; ++c) {
            ++later;
            spaced += r.cells[c].end > r.cells[c].begin && text[r.cells[c].begin] == ' ';
        }
    }
    // A table's split string stands in nearly all its records; one that
    // parts only some lines of a list is punctuation.
    if (split * 10 < (r.size() - titles) * 7) return 0;
    const double regular =
        static_cast<double>(agreeing) / (rest + 0.5 * static_cast<double>(titles));
    return spaced * 2 < later ? std::max(regular, 0.5 * static_cast<double>(split) / rest)
                              : regular;
}

struct CellTally {
    double clean = 0, cells = 0, numeric = 0;
    std::size_t atoms = 0;  // records that read whole as one number or date
};

CellTally tallyCells(std::string_view text, const SampleReading& r, std::size_t titles,
                     std::size_t columns) {
    // A column empty in every record is more likely the gap inside a longer
    // separator ("a,,,b" of "a:b") than a column of the table.
    std::vector<char> filled(columns, 0);
    for (std::size_t i = titles; i < r.size(); ++i) {
        if (r.count(i) != columns) continue;
        for (std::size_t c = 0; c < columns; ++c) {
            filled[c] |= static_cast<char>(!r.cell(text, i, c).empty());
        }
    }
    CellTally t;
    for (std::size_t i = titles; i < r.size(); ++i) {
        const FieldSpan whole = r.records[i];
        // A whole record that reads as one number or date ("2,50", "12:30")
        // is one value, not fields.
        if (r.count(i) > 1 &&
            cellKind(text.substr(whole.begin, whole.end - whole.begin)) != CellKind::Text) {
            ++t.atoms;
        }
        for (std::size_t c = 0; c < r.count(i); ++c) {
            const std::string_view raw = r.cell(text, i, c);
            const CellKind kind = cellKind(raw);
            const bool gap = r.count(i) == columns && !filled[c];
            t.clean += gap ? 0.3 : cleanliness(raw, kind, r.split);
            t.numeric += kind == CellKind::Number || kind == CellKind::Date ? 1 : 0;
            t.cells += 1;
        }
    }
    return t;
}

// Whether the table's first record names its columns with words: then the
// records under it that read as one number ("1,340") are rows of numbers.
bool namedColumns(std::string_view text, const SampleReading& r, std::size_t first,
                  std::size_t columns) {
    if (r.size() < first + 3 || r.count(first) != columns) return false;
    for (std::size_t c = 0; c < columns; ++c) {
        if (cellKind(fieldValue(r.cell(text, first, c), true)) != CellKind::Text) return false;
    }
    return true;
}

}  // namespace

SplitScore scoreReading(std::string_view text, const SampleReading& r) {
    SplitScore s;
    if (r.size() == 0) return s;
    const auto [columns, agreeing] = modeCount(r);
    if (columns < 2) return s;
    const std::size_t titles = titlesAbove(text, r, columns, agreeing);
    const double regular = consistency(text, r, titles, agreeing);
    if (regular == 0) return s;
    const CellTally t = tallyCells(text, r, titles, columns);
    if (t.atoms * 2 >= r.size() - titles && !namedColumns(text, r, titles, columns)) return s;
    // Words parted by spaces are sentences unless some columns hold numbers,
    // and a word that starts every record ("item 1", "item 2") is a label.
    if (r.split == " " && ((t.numeric * 4 < t.cells && (columns < 3 || regular < 0.9)) ||
                           sameStart(text, r, titles))) {
        return s;
    }
    const double k = static_cast<double>(columns);
    s.value = regular * regular * (0.2 + 0.8 * t.clean / t.cells) * (1 - 0.5 / k) * prior(r.split);
    s.columns = columns;
    s.titleLines = titles;
    return s;
}

bool properlyQuoted(std::string_view raw) {
    if (raw.size() < 2 || raw.front() != '"' || raw.back() != '"') return false;
    std::size_t quotes = 0;
    for (char c : raw.substr(1, raw.size() - 2)) quotes += c == '"';
    return quotes % 2 == 0;
}

}  // namespace kolvane
