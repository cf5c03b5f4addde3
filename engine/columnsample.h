#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "error.h"
#include "fieldcutter.h"
#include "io.h"
#include "quoterules.h"

namespace kolvane {

// The first lines of a source, each kept to a bounded start, for a view of
// its columns: bounded in lines, in bytes kept and in bytes read, so a line
// of gigabytes costs no more than a few blocks of it.
struct SampleText {
    // How much is read and kept at most.
    struct Limits {
        std::size_t lines = 1000;  // quoted records may take several lines each
        std::size_t lineBytes = std::size_t{16} << 10;
        std::size_t keptBytes = std::size_t{4} << 20;
        std::size_t readBytes = std::size_t{64} << 20;
    };

    // Each line's kept start, followed by its line end as it stood.
    std::string text;
    // Where each line kept only in part ends in `text`, past its line end.
    std::vector<std::size_t> cutEnds;
    bool more = false;  // the source goes on beyond the last line kept

    bool cut() const { return !cutEnds.empty(); }
};

// Reads the sample from `source` (already read as text). Setting `cancel`
// makes it give up within one block, with an Error.
Expected<SampleText> readSample(ByteSource& source, const std::string& sourceName,
                                const SampleText::Limits& limits,
                                const std::atomic<bool>* cancel = nullptr);

// A field's value as a user sees it: its raw bytes unquoted in quoted mode.
std::string fieldValue(std::string_view raw, bool quoted);

// One record of a sample: its bytes and its fields' raw bytes (quotes and
// all, in quoted mode), views into the sample's text.
struct SampleRecord {
    std::string_view bytes;
    std::vector<std::string_view> fields;  // at most the `maxFields` asked for
    std::size_t fieldCount = 0;            // all the record has
    bool cut = false;  // holds a line kept only in part: what it gives is unknown
};

// One record from `pos`, quoted or plain, its fields' extents in `fields`,
// read by the engine's one record reader: every reading of a sample goes
// through here.
struct RecordRead {
    std::size_t end, next;
    bool unterminated;          // a quote is still open where the text ends
    std::size_t innerLineEnds;  // of a record a quote left open
};
RecordRead readFields(std::string_view text, std::size_t pos, const Dialect& dialect,
                      std::vector<FieldSpan>& fields);

// Cuts `text` into at most `maxRecords` records as a rip would: one a line,
// or, in quoted mode, as many lines as a quoted value runs over. A record
// ends with a line kept only in part (at `cutEnds`, in order): a quote the
// missing part closed would otherwise swallow the lines after it.
std::vector<SampleRecord> splitSample(std::string_view text, const Dialect& dialect,
                                      std::size_t maxRecords, std::size_t maxFields,
                                      const std::vector<std::size_t>& cutEnds = {});

}  // namespace kolvane
