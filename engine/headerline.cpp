#include "headerline.h"

#include <algorithm>
#include <cstring>

#include "blockreader.h"
#include "fieldcutter.h"
#include "quotedvalue.h"
#include "recordstream.h"

namespace kolvane {

IoResult KeptStart::read(std::span<char> buf) {
    IoResult r = inner_->read(buf);
    kept_.append(buf.data(), std::min(most_ - std::min(most_, kept_.size()), r.bytes));
    return r;
}

Expected<HeaderRecord> readHeaderRecord(ByteSource& source, const std::string& sourceName,
                                        const Dialect& dialect,
                                        const std::function<bool()>& keepGoing) {
    RecordStream stream(source, dialect, keepGoing, std::size_t{64} << 10);
    HeaderRecord header;
    const std::size_t limit = defaultLineLimit();
    bool cut = false;
    const RecordStream::Outcome outcome = stream.next(&header.record, limit, cut);
    if (outcome == RecordStream::Outcome::failed) return readError(sourceName, stream.failure(), 1);
    if (cut) return readError(sourceName, lineTooLong(limit), 1);
    header.terminator = stream.terminator();
    header.lines = stream.lines();
    header.after = stream.rest();
    return header;
}

std::vector<std::string> headerNames(std::string_view record, const Dialect& dialect) {
    std::vector<std::string> names;
    for (const std::string_view field : cutFields(record, dialect)) {
        if (dialect.quoted) {
            appendUnquoted(names.emplace_back(), field);
        } else {
            names.emplace_back(field);
        }
    }
    return names;
}

}  // namespace kolvane
