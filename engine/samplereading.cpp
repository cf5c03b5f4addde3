#include "samplereading.h"

#include <algorithm>

#include "cellkind.h"
#include "formatguess.h"

namespace kolvane {

namespace {

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
void joinColonParts(std::string_view text, std::vector<FieldSpan>& fields) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const FieldSpan f = fields[i];
        if (kept > 0 && (text.substr(f.begin, 2) == "//" || inTime(text, f.begin - 1))) {
            fields[kept - 1].end = f.end;
        } else {
            fields[kept++] = f;
        }
    }
    fields.resize(kept);
}

}  // namespace

std::size_t afterLine(std::string_view text, std::size_t pos) {
    const std::size_t end = text.find('\n', pos);
    return end == std::string_view::npos ? text.size() : end + 1;
}

bool commentStart(std::string_view text, std::size_t pos) {
    if (pos >= text.size() || (text[pos] != '#' && text[pos] != '%')) return false;
    const char next = pos + 1 < text.size() ? text[pos + 1] : '\n';
    return next == ' ' || next == '\t' || next == '\r' || next == '\n' || next == text[pos];
}

bool skipped(std::string_view text, std::size_t pos, const SampleReading& reading) {
    if (!reading.comments || !commentStart(text, pos)) return false;
    return pos > 0 || commentStart(text, afterLine(text, 0));
}

bool readSample(std::string_view text, bool whole, SampleReading& reading) {
    reading.cells.clear();
    reading.firstCell.assign(1, 0);
    reading.records.clear();
    reading.commentsAbove = 0;
    std::vector<FieldSpan> fields;
    std::size_t pos = 0;
    for (; pos < text.size() && reading.size() < kGuessSampleRecords;) {
        if (skipped(text, pos, reading)) {
            reading.commentsAbove += reading.size() == 0;
            pos = afterLine(text, pos);
            continue;
        }
        const RecordRead record = readFields(text, pos, {reading.split, reading.quotes}, fields);
        if (record.unterminated) {
            reading.end = pos;
            return record.innerLineEnds < 50;
        }
        const std::size_t end = record.end;
        // The last line of a cut sample may be cut too.
        if (!whole && end == text.size()) break;
        if (end > pos) {
            if (reading.split == ":") joinColonParts(text, fields);
            reading.records.push_back({pos, end});
            reading.cells.insert(reading.cells.end(), fields.begin(), fields.end());
            reading.firstCell.push_back(static_cast<std::uint32_t>(reading.cells.size()));
        }
        pos = record.next;
    }
    reading.end = pos;
    return true;
}

}  // namespace kolvane
