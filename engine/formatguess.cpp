#include "formatguess.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "cellkind.h"
#include "fieldcutter.h"
#include "lineend.h"
#include "quotedvalue.h"
#include "textcheck.h"

namespace kolvane {

namespace {

// The split strings a guess considers, most common first: on a tie, the
// earlier one wins.
constexpr std::array<std::string_view, 9> kCandidates = {",", "\t", ";", "|", ":",
                                                         " ", "^",  "~", "#"};

// How readily a split string is believed. A space and a colon also stand
// inside text and times, so they need clearer evidence.
double prior(std::string_view split) {
    if (split == "," || split == "\t") return 1.0;
    if (split == ";" || split == "|") return 0.97;
    if (split == " ") return 0.8;
    return 0.9;
}

using FieldExtent = FieldSpan;

// The sample read as records with one split string.
struct Reading {
    std::string split;
    bool quotes = false;  // read with quoted values respected
    std::vector<FieldExtent> cells;
    std::vector<std::uint32_t> firstCell;  // per record, its first cell; one more at the end
    std::vector<FieldExtent> records;      // each record's extent, without its line end

    std::size_t size() const { return records.size(); }
    std::size_t count(std::size_t r) const { return firstCell[r + 1] - firstCell[r]; }
};

// Splits a record at `pos` without regard to quotes.
std::size_t splitPlain(std::string_view text, std::size_t pos, std::string_view split,
                       std::vector<FieldExtent>& fields, std::size_t& end) {
    fields.clear();
    const std::size_t lineEnd = std::min(text.find_first_of("\r\n", pos), text.size());
    const std::string_view line = text.substr(0, lineEnd);
    std::size_t from = pos;
    // An empty split string finds itself everywhere: the line is one field.
    for (std::size_t at;
         !split.empty() && (at = line.find(split, from)) != std::string_view::npos;) {
        fields.push_back({from, at});
        from = at + split.size();
    }
    fields.push_back({from, lineEnd});
    end = lineEnd;
    if (lineEnd + 1 < text.size() && text[lineEnd] == '\r' && text[lineEnd + 1] == '\n') {
        return lineEnd + 2;
    }
    return std::min(lineEnd + 1, text.size());
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether a colon at `at` is inside a time ("12:30"): one or two digits
// before it, two after.
bool inTime(std::string_view text, std::size_t at) {
    std::size_t before = 0;
    while (before < 3 && before < at && isDigit(text[at - 1 - before])) ++before;
    const bool twoAfter = at + 2 < text.size() && isDigit(text[at + 1]) && isDigit(text[at + 2]) &&
                          (at + 3 == text.size() || !isDigit(text[at + 3]));
    return before >= 1 && before <= 2 && twoAfter;
}

// A colon before "//" (a web address) or inside a time is never a split:
// joins the fields it parts.
void joinColonParts(std::string_view text, std::vector<FieldExtent>& fields) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const FieldExtent f = fields[i];
        if (kept > 0 && (text.substr(f.begin, 2) == "//" || inTime(text, f.begin - 1))) {
            fields[kept - 1].end = f.end;
        } else {
            fields[kept++] = f;
        }
    }
    fields.resize(kept);
}

// One quoted record from `pos`, its fields' extents in `fields`, read by the
// engine's one record reader.
struct QuotedRead {
    std::size_t end, next;
    bool unterminated;
    std::size_t innerLineEnds;  // of a record a quote left open
};
QuotedRead readQuoted(std::string_view text, std::size_t pos, const std::string& split,
                      std::vector<FieldExtent>& fields) {
    fields.clear();
    std::size_t start = pos;
    const RecordEnd r = readRecord(text, pos, Dialect{split, true}, [&](std::size_t at) {
        fields.push_back({start, at});
        start = at + split.size();
    });
    fields.push_back({start, r.end});
    const std::size_t ends = r.open ? std::size_t(lineEndsIn(text.substr(pos, r.end - pos))) : 0;
    return {r.end, r.next, r.open, ends};
}

// Reads up to kGuessSampleRecords non-empty records. With quotes, false when
// they cannot be what the file means: a quote that never closes.
bool read(std::string_view text, bool whole, Reading& reading) {
    reading.cells.clear();
    reading.firstCell.assign(1, 0);
    reading.records.clear();
    std::vector<FieldExtent> fields;
    for (std::size_t pos = 0; pos < text.size() && reading.size() < kGuessSampleRecords;) {
        std::size_t end = 0, next = 0;
        if (reading.quotes) {
            const QuotedRead record = readQuoted(text, pos, reading.split, fields);
            // A truncated sample may cut a long quoted value; a quote that
            // swallows many lines is more likely an ordinary byte.
            if (record.unterminated) return !whole && record.innerLineEnds < 50;
            end = record.end;
            next = record.next;
        } else {
            next = splitPlain(text, pos, reading.split, fields, end);
        }
        // The last line of a cut sample may be cut too.
        if (!whole && end == text.size()) break;
        if (end > pos) {
            if (reading.split == ":") joinColonParts(text, fields);
            reading.records.push_back({pos, end});
            reading.cells.insert(reading.cells.end(), fields.begin(), fields.end());
            reading.firstCell.push_back(static_cast<std::uint32_t>(reading.cells.size()));
        }
        pos = next;
    }
    return true;
}

bool properlyQuoted(std::string_view raw) {
    if (raw.size() < 2 || raw.front() != '"' || raw.back() != '"') return false;
    std::size_t quotes = 0;
    for (char c : raw.substr(1, raw.size() - 2)) quotes += c == '"';
    return quotes % 2 == 0;
}

// How much a byte of another split string in a value hints that the value is
// several fields: a colon or a hash mildly (times, numbers), a comma more
// (it is in text too), the others strongly.
double hint(char c, std::string_view split) {
    if (split.size() == 1 && c == split.front()) return 1.0;
    switch (c) {
        case ':':
        case '#':
            return 0.8;
        case ',':
            return 0.6;
        case ';':
        case '\t':
        case '|':
        case '^':
        case '~':
            return 0.3;
        default:
            return 1.0;
    }
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

struct Score {
    double value = 0;
    std::size_t columns = 1, titleLines = 0;
};

// Fields per record, most of them: the count most records share (the larger
// on a tie), and how many share it.
std::pair<std::size_t, std::size_t> modeCount(const Reading& r) {
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
bool sameStart(std::string_view text, const Reading& r, std::size_t first) {
    if (r.size() < first + 5) return false;
    auto field = [&](std::size_t i) {
        const FieldExtent f = r.cells[r.firstCell[i]];
        return text.substr(f.begin, f.end - f.begin);
    };
    for (std::size_t i = first + 1; i < r.size(); ++i) {
        if (field(i) != field(first)) return false;
    }
    return true;
}

Score score(std::string_view text, const Reading& r) {
    Score s;
    if (r.size() == 0) return s;
    const auto [columns, agreeing] = modeCount(r);
    if (columns < 2) return s;
    // Title or comment lines above the table: records before the first one
    // of the common count, a few and fewer than the table's records.
    // Only a table whose records mostly agree has a top to tell apart.
    std::size_t titles = 0;
    while (titles < r.size() && r.count(titles) != columns) ++titles;
    if (titles > 10 || titles * 3 > r.size() || agreeing * 2 < r.size()) titles = 0;
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
    if (split * 10 < (r.size() - titles) * 7) return s;
    const double regular =
        static_cast<double>(agreeing) / (rest + 0.5 * static_cast<double>(titles));
    const double consistency =
        spaced * 2 < later ? std::max(regular, 0.5 * static_cast<double>(split) / rest) : regular;

    // A column empty in every record is more likely the gap inside a longer
    // separator ("a,,,b" of "a:b") than a column of the table.
    std::vector<char> filled(columns, 0);
    for (std::size_t i = titles; i < r.size(); ++i) {
        if (r.count(i) != columns) continue;
        for (std::size_t c = 0; c < columns; ++c) {
            const FieldExtent f = r.cells[r.firstCell[i] + c];
            filled[c] |= static_cast<char>(f.end > f.begin);
        }
    }
    double clean = 0, cells = 0;
    std::size_t atoms = 0;
    double numericCells = 0;
    for (std::size_t i = titles; i < r.size(); ++i) {
        const std::string_view record =
            text.substr(r.records[i].begin, r.records[i].end - r.records[i].begin);
        // A whole record that reads as one number or date ("2,50", "12:30")
        // is one value, not fields.
        if (r.count(i) > 1 && cellKind(record) != CellKind::Text) ++atoms;
        for (std::size_t c = r.firstCell[i]; c < r.firstCell[i + 1]; ++c) {
            const std::string_view raw =
                text.substr(r.cells[c].begin, r.cells[c].end - r.cells[c].begin);
            const CellKind kind = cellKind(raw);
            const std::size_t column = c - r.firstCell[i];
            const bool gap = r.count(i) == columns && !filled[column];
            clean += gap ? 0.3 : cleanliness(raw, kind, r.split);
            if (kind == CellKind::Number || kind == CellKind::Date) numericCells += 1;
            cells += 1;
        }
    }
    if (atoms * 2 >= r.size() - titles) return s;
    // Words parted by spaces are sentences unless some columns hold numbers,
    // and a word that starts every record ("item 1", "item 2") is a label.
    if (r.split == " " && ((numericCells * 4 < cells && (columns < 3 || consistency < 0.9)) ||
                           sameStart(text, r, titles))) {
        return s;
    }
    const double k = static_cast<double>(columns);
    s.value =
        consistency * consistency * (0.2 + 0.8 * clean / cells) * (1 - 0.5 / k) * prior(r.split);
    s.columns = columns;
    s.titleLines = titles;
    return s;
}

// Reads the sample with `split`, with quotes respected unless they cannot be.
Score judge(std::string_view text, bool whole, Reading& reading, std::string_view split) {
    reading.split = split;
    reading.quotes = true;
    if (!read(text, whole, reading)) {
        reading.quotes = false;
        read(text, whole, reading);
    }
    return score(text, reading);
}

bool separatorByte(char c) {
    return std::string_view(",;\t|:^#~!*=").find(c) != std::string_view::npos;
}

// Whether `gap` is `run` once or several times over (empty fields between).
bool repeats(std::string_view gap, std::string_view run) {
    if (run.empty() || gap.size() % run.size() != 0) return false;
    for (std::size_t at = 0; at < gap.size(); at += run.size()) {
        if (gap.substr(at, run.size()) != run) return false;
    }
    return true;
}

// A longer split string the winner stands in: "||", "|~|", "::". Only when
// nearly every gap between fields is that same run of separator bytes, or
// that run repeated around empty fields.
std::string longerSplit(std::string_view text, const Reading& r) {
    std::vector<std::pair<std::string_view, std::size_t>> seen;  // gaps and how often
    std::size_t gaps = 0;
    for (std::size_t i = 0; i < r.size(); ++i) {
        for (std::size_t c = r.firstCell[i]; c + 1 < r.firstCell[i + 1]; ++c) {
            // Over empty fields too: "a||b" read by "|" has one between.
            std::size_t from = r.cells[c].end, to = r.cells[c + 1].begin;
            while (from > r.records[i].begin && separatorByte(text[from - 1])) --from;
            while (to < r.records[i].end && separatorByte(text[to])) ++to;
            const std::string_view gap = text.substr(from, to - from);
            ++gaps;
            auto it = std::find_if(seen.begin(), seen.end(),
                                   [&](const auto& s) { return s.first == gap; });
            if (it != seen.end()) {
                ++it->second;
            } else if (seen.size() < 16) {
                seen.emplace_back(gap, 1);
            }
        }
    }
    if (seen.empty()) return r.split;
    const std::string_view run =
        std::max_element(seen.begin(), seen.end(), [](const auto& a, const auto& b) {
            return a.second < b.second;
        })->first;
    std::size_t same = 0;
    for (const auto& [gap, count] : seen) same += repeats(gap, run) ? count : 0;
    if (run.size() <= r.split.size() || same * 20 < gaps * 19) return r.split;
    return std::string(run);
}

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

// Votes on whether a table's first record holds names: a name over a column
// of numbers or dates, or over values that share an outline it lacks.
bool hasHeader(std::string_view text, const Reading& r, std::size_t first, std::size_t columns) {
    if (r.size() < first + 2 || r.count(first) != columns) return false;
    auto cell = [&](std::size_t record, std::size_t column) {
        const FieldExtent f = r.cells[r.firstCell[record] + column];
        std::string value;
        appendUnquoted(value, text.substr(f.begin, f.end - f.begin));
        return value;
    };
    int votes = 0;
    std::vector<std::string> names;
    for (std::size_t col = 0; col < columns; ++col) {
        const std::string name = cell(first, col);
        const CellKind nameKind = cellKind(name);
        if (nameKind != CellKind::Empty &&
            std::find(names.begin(), names.end(), name) != names.end()) {
            votes -= 2;  // names are unique
        }
        names.push_back(name);
        const std::string nameShape = shape(name);
        std::size_t filled = 0, numeric = 0, sameShape = 0, commonShape = 0;
        std::string firstShape;
        for (std::size_t i = first + 1; i < r.size(); ++i) {
            if (r.count(i) != columns) continue;
            const std::string value = cell(i, col);
            const CellKind kind = cellKind(value);
            if (kind == CellKind::Empty) continue;
            ++filled;
            numeric += kind == CellKind::Number || kind == CellKind::Date;
            const std::string valueShape = shape(value);
            if (firstShape.empty()) firstShape = valueShape;
            commonShape += valueShape == firstShape;
            sameShape += valueShape == nameShape;
        }
        if (filled == 0 || nameKind == CellKind::Empty) continue;
        if (numeric * 5 >= filled * 4) {
            votes += nameKind == CellKind::Text ? 2 : -2;
        } else if (nameShape == "a") {
            continue;  // one word over words says nothing
        } else if (sameShape * 5 >= filled * 4) {
            votes -= 1;
        } else if (commonShape * 5 >= filled * 4 && sameShape == 0) {
            votes += 1;
        }
    }
    if (votes != 0) return votes > 0;
    // Columns of free text: names are short, filled and no numbers.
    return columns > 1 && std::all_of(names.begin(), names.end(), looksLikeName);
}

bool anyProperlyQuoted(std::string_view text, const Reading& r) {
    if (!r.quotes) return false;
    return std::any_of(r.cells.begin(), r.cells.end(), [&](const FieldExtent& f) {
        return properlyQuoted(text.substr(f.begin, f.end - f.begin));
    });
}

}  // namespace

Expected<FormatGuess> guessFormat(std::string_view sample, bool whole) {
    const std::string_view text = sample.substr(0, kGuessSampleBytes);
    whole = whole && text.size() == sample.size();
    auto problem = [](std::string cause) {
        return Error{"Cannot guess the format of", "", std::move(cause)};
    };
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        return problem("it holds no text");
    }
    if (looksBinary(text)) return problem("it holds binary data, not text");
    FormatGuess guess;
    if (!isUtf8(text, whole)) guess.encoding = legacyEncoding(text);

    Reading best, trial;
    Score bestScore;
    for (std::string_view split : kCandidates) {
        if (text.find(split) == std::string_view::npos) continue;
        const Score s = judge(text, whole, trial, split);
        if (s.value > bestScore.value) {
            bestScore = s;
            std::swap(best, trial);
        }
    }
    // A split that keeps records whole, or splits them at random, is no split.
    if (bestScore.value < 0.1) {
        judge(text, whole, best, "");
        guess.quoted = anyProperlyQuoted(text, best);
        guess.header = hasHeader(text, best, 0, 1);
        return guess;
    }
    const std::string longer = longerSplit(text, best);
    if (longer != best.split) {
        const Score s = judge(text, whole, trial, longer);
        // Its records hold fewer empty values, which costs it some cleanliness.
        if (s.value >= bestScore.value * 0.75) {
            bestScore = s;
            std::swap(best, trial);
        }
    }
    guess.split = best.split;
    guess.quoted = anyProperlyQuoted(text, best);
    guess.columns = bestScore.columns;
    guess.titleLines = bestScore.titleLines;
    guess.header = hasHeader(text, best, bestScore.titleLines, bestScore.columns);
    return guess;
}

}  // namespace kolvane
