#include "quotedrecord.h"

namespace kolvane {

namespace {

// Line ends in a stretch of a quoted value, a CR LF counted once.
std::size_t lineEnds(std::string_view text, std::size_t from, std::size_t to) {
    std::size_t count = 0;
    for (std::size_t i = from; i < to; ++i) {
        if (text[i] == '\n') {
            ++count;
        } else if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) {
            ++count;
        }
    }
    return count;
}

}  // namespace

QuotedRecord splitQuotedRecord(std::string_view text, std::size_t pos, std::string_view split,
                               std::vector<FieldExtent>& fields) {
    fields.clear();
    QuotedRecord record;
    const std::size_t n = text.size();
    const char lead = split.empty() ? '\0' : split.front();
    std::size_t i = pos;
    for (;;) {
        FieldExtent field{i, i};
        if (i < n && text[i] == '"') {
            std::size_t from = i + 1;
            for (;;) {
                const std::size_t quote = text.find('"', from);
                if (quote == std::string_view::npos) {
                    record.innerLineEnds += lineEnds(text, from, n);
                    record.unterminated = true;
                    record.openQuote = field.begin;
                    fields.push_back({field.begin, n});
                    record.end = record.next = n;
                    return record;
                }
                record.innerLineEnds += lineEnds(text, from, quote);
                if (quote + 1 < n && text[quote + 1] == '"') {
                    from = quote + 2;
                    continue;
                }
                i = quote + 1;
                break;
            }
        }
        // An unquoted value, or what follows a closing quote: up to the next
        // split string or line end.
        bool atSplit = false;
        for (; i < n; ++i) {
            const char c = text[i];
            if (c == '\n' || c == '\r') break;
            if (c == lead && text.substr(i, split.size()) == split) {
                atSplit = true;
                break;
            }
        }
        field.end = i;
        fields.push_back(field);
        if (atSplit) {
            i += split.size();
            continue;
        }
        record.end = i;
        if (i + 1 < n && text[i] == '\r' && text[i + 1] == '\n') {
            i += 2;
        } else if (i < n) {
            ++i;
        }
        record.next = i;
        return record;
    }
}

void appendUnquoted(std::string_view raw, std::string& out) {
    if (raw.empty() || raw.front() != '"') {
        out.append(raw);
        return;
    }
    for (std::size_t i = 1; i < raw.size(); ++i) {
        if (raw[i] != '"') {
            out += raw[i];
        } else if (i + 1 < raw.size() && raw[i + 1] == '"') {
            out += '"';
            ++i;
        } else {
            out.append(raw.substr(i + 1));  // text after the closing quote is kept
            return;
        }
    }
}

}  // namespace kolvane
