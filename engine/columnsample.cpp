#include "columnsample.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "fieldlist.h"
#include "lineend.h"
#include "quotedrecord.h"

namespace kolvane {

namespace {

constexpr std::size_t kBlockBytes = std::size_t{256} << 10;

}  // namespace

Expected<SampleText> readSample(ByteSource& source, const std::string& sourceName,
                                const SampleText::Limits& limits, const std::atomic<bool>* cancel) {
    SampleText sample;
    std::vector<char> block(kBlockBytes);
    std::string pending;  // the bytes of a line not ended yet, at most lineBytes
    bool inLine = false;  // bytes of the current line were seen
    bool lineCut = false;
    bool afterCr = false;  // a CR ended the last block's line: a LF next is its own
    std::size_t lines = 0;
    std::size_t read = 0;
    auto endLine = [&] {
        sample.text += pending;
        sample.text += '\n';
        sample.cut = sample.cut || lineCut;
        pending.clear();
        inLine = lineCut = false;
        ++lines;
    };
    auto full = [&] {
        return lines == limits.lines || sample.text.size() >= limits.keptBytes ||
               read >= limits.readBytes;
    };
    for (;;) {
        if (cancel && cancel->load()) return Error{"Cannot read", sourceName, "cancelled", 0, 0};
        const IoResult r = source.read(block);
        if (r.failed()) return readError(sourceName, r, std::int64_t(lines) + 1);
        if (r.noDataYet) {
            std::this_thread::sleep_for(std::chrono::milliseconds{1});
            continue;
        }
        if (r.bytes == 0) {
            if (inLine) endLine();
            return sample;
        }
        read += r.bytes;
        const char* data = block.data();
        std::size_t pos = 0;
        if (afterCr && data[0] == '\n') pos = 1;
        afterCr = false;
        while (pos < r.bytes) {
            if (!inLine && full()) {
                sample.more = true;
                return sample;
            }
            // A CR that ends the block ends its line: a LF that starts the
            // next block is skipped there.
            const auto brk = findLineBreak(data, pos, r.bytes, true);
            const std::size_t eol = brk ? brk->eol : r.bytes;
            const std::size_t room = limits.lineBytes - pending.size();
            pending.append(data + pos, std::min(eol - pos, room));
            lineCut = lineCut || eol - pos > room;
            inLine = true;
            if (!brk) break;
            afterCr = brk->next == r.bytes && data[eol] == '\r';
            pos = brk->next;
            endLine();
        }
        if (read >= limits.readBytes && inLine) {
            // A line of more than the bytes read at most: its start is all
            // there is to show.
            lineCut = true;
            endLine();
            sample.more = true;
            return sample;
        }
    }
}

std::vector<SampleRecord> splitSample(std::string_view text, std::string_view split, bool quoted,
                                      std::size_t maxRecords, std::size_t maxFields) {
    std::vector<SampleRecord> records;
    std::vector<FieldExtent> extents;
    std::size_t pos = 0;
    while (pos < text.size() && records.size() < maxRecords) {
        SampleRecord record;
        if (quoted) {
            const QuotedRecord found = splitQuotedRecord(text, pos, split, extents);
            record.bytes = text.substr(pos, found.end - pos);
            record.fieldCount = extents.size();
            for (std::size_t k = 0; k < std::min(extents.size(), maxFields); ++k) {
                record.fields.push_back(
                    text.substr(extents[k].begin, extents[k].end - extents[k].begin));
            }
            pos = std::max(found.next, pos + 1);
        } else {
            const std::size_t eol = std::min(text.find('\n', pos), text.size());
            record.bytes = text.substr(pos, eol - pos);
            record.fieldCount =
                split.empty() ? 1 : std::size_t(countSeparators(record.bytes, split)) + 1;
            record.fields = cutFields(record.bytes, split, maxFields);
            pos = eol + 1;
        }
        records.push_back(std::move(record));
    }
    return records;
}

}  // namespace kolvane
