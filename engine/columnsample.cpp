#include "columnsample.h"

#include <algorithm>

#include "lineend.h"
#include "quotedvalue.h"
#include "recordstream.h"

namespace kolvane {

Expected<SampleText> readSample(ByteSource& source, const std::string& sourceName,
                                const SampleText::Limits& limits, const std::atomic<bool>* cancel) {
    SampleText sample;
    const RecordStream* reading = nullptr;
    RecordStream lines(source, Dialect{"", false}, [&] {
        return !(cancel && cancel->load()) && reading->read() < limits.readBytes;
    });
    reading = &lines;
    using enum RecordStream::Outcome;
    for (std::size_t count = 0;; ++count) {
        bool cut = false;
        const bool full = count == limits.lines || sample.text.size() >= limits.keptBytes;
        // When full, one look tells whether the source goes on.
        std::string none;
        const auto outcome = full ? lines.next(&none, 0, cut, true)
                                  : lines.next(&sample.text, limits.lineBytes, cut);
        if (outcome == failed)
            return readError(sourceName, lines.failure(), std::int64_t(count) + 1);
        if (outcome == stopped && cancel && cancel->load()) {
            return Error{"Cannot read", sourceName, "cancelled", 0, 0};
        }
        sample.more = outcome != end && (full || outcome == stopped);
        if (full || outcome == end || !lines.started()) return sample;
        // Past the bytes read at most, a line's start is all there is to show.
        sample.text.append(outcome == stopped ? std::string_view("\n") : lines.terminator());
        if (cut || outcome == stopped) sample.cutEnds.push_back(sample.text.size());
        if (outcome == stopped) return sample;
    }
}

std::string fieldValue(std::string_view raw, bool quoted) {
    if (!quoted) return std::string(raw);
    std::string value;
    appendUnquoted(value, raw);
    return value;
}

RecordRead readFields(std::string_view text, std::size_t pos, const Dialect& dialect,
                      std::vector<FieldSpan>& fields) {
    fields.clear();
    std::size_t start = pos;
    const RecordEnd r = readRecord(text, pos, dialect, [&](std::size_t at) {
        fields.push_back({start, at});
        start = at + dialect.split.size();
    });
    fields.push_back({start, r.end});
    const std::size_t ends = r.open ? std::size_t(lineEndsIn(text.substr(pos, r.end - pos))) : 0;
    return {r.end, r.next, r.open, ends};
}

std::vector<SampleRecord> splitSample(std::string_view whole, const Dialect& dialect,
                                      std::size_t maxRecords, std::size_t maxFields,
                                      const std::vector<std::size_t>& cutEnds) {
    std::vector<SampleRecord> records;
    std::vector<FieldSpan> spans;
    auto cutEnd = cutEnds.begin();
    for (std::size_t pos = 0; pos < whole.size() && records.size() < maxRecords;) {
        while (cutEnd != cutEnds.end() && *cutEnd <= pos) ++cutEnd;
        const std::size_t limit = cutEnd == cutEnds.end() ? whole.size() : *cutEnd;
        const std::string_view text = whole.substr(0, limit);
        const RecordRead end = readFields(text, pos, dialect, spans);
        SampleRecord record;
        record.fieldCount = spans.size();
        for (std::size_t f = 0; f < std::min(maxFields, spans.size()); ++f) {
            record.fields.push_back(text.substr(spans[f].begin, spans[f].end - spans[f].begin));
        }
        record.bytes = text.substr(pos, end.end - pos);
        record.cut = cutEnd != cutEnds.end() && end.next >= limit;
        records.push_back(std::move(record));
        pos = std::max(end.next, pos + 1);
    }
    return records;
}

}  // namespace kolvane
