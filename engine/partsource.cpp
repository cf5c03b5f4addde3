#include "partsource.h"

#include <algorithm>

#include "bitwalk.h"
#include "codec.h"
#include "frontrules.h"
#include "lineend.h"
#include "parttext.h"
#include "quotescan.h"
#include "runreport.h"

namespace kolvane {

namespace {

// Bytes of one code unit: an edge between a UTF-16 unit's two bytes moves to
// the unit's start.
std::uint64_t unitOf(const TextForm& form) {
    return form.kind == TextForm::Kind::utf16le || form.kind == TextForm::Kind::utf16be ? 2 : 1;
}

// Every state a reader of quoted text may be in before a byte it has not
// read from the start: each of the three, or inside a split string of
// several bytes with k of them still to come.
std::vector<QuoteState> everyState(const Dialect& dialect) {
    std::vector<QuoteState> states = {
        {QuoteState::mayOpen, 0}, {QuoteState::unquoted, 0}, {QuoteState::quoted, 0}};
    for (std::size_t k = 1; k < dialect.split.size(); ++k) {
        states.push_back({QuoteState::unquoted, std::uint32_t(k)});
    }
    return states;
}

// Bytes a window keeps for the next block: a CR's LF, or the rest of a split
// string that starts before the window's end.
std::size_t lookahead(const Dialect& dialect) {
    return std::max<std::size_t>(1, dialect.split.empty() ? 0 : dialect.split.size() - 1);
}

// The states that readers standing in `states` at file offset `from` are in
// before the character at offset `until`.
Expected<std::vector<QuoteState>> readStates(const SourcePart& file, std::uint64_t from,
                                             std::uint64_t until, std::vector<QuoteState> states,
                                             const Dialect& dialect, const PartReading& how) {
    auto text = PartText::open(file.path, file.form, from,
                               std::size_t(std::min<std::uint64_t>(how.block, until - from + 64)));
    if (!text) return text.error();
    QuotedMaps maps;
    for (;;) {
        const std::string_view w = text->window();
        const std::size_t edge = text->positionOf(until);
        const bool reached = edge < w.size() || text->ended();
        const std::size_t limit =
            text->ended() ? w.size() : w.size() - std::min(w.size(), lookahead(dialect));
        const std::size_t to = reached ? std::min(limit, edge) : limit;
        maps.grow(w.size() / 64 + 1);
        for (QuoteState& state : states) {
            state = scanQuoted(w.data(), 0, to, w.size(), dialect.split, maps.words(), state);
        }
        if (reached && to == edge) return states;
        if (auto error = text->next(to)) return *error;
    }
}

// Just past the first record end at or after the character at `from`, where
// a reader stands in `state`; the file's size when the last record ends
// there.
Expected<std::uint64_t> recordEndFrom(const SourcePart& file, std::uint64_t from, QuoteState state,
                                      const Dialect& dialect, const PartReading& how) {
    auto text = PartText::open(file.path, file.form, from, how.block);
    if (!text) return text.error();
    QuotedMaps maps;
    for (;;) {
        const std::string_view w = text->window();
        const std::size_t limit =
            text->ended() ? w.size() : w.size() - std::min(w.size(), lookahead(dialect));
        std::size_t end = limit;
        if (dialect.quoted) {
            maps.grow(w.size() / 64 + 1);
            state = scanQuoted(w.data(), 0, limit, w.size(), dialect.split, maps.words(), state);
            end = firstBit(maps.ends.data(), 0, limit);
        } else if (const auto brk = findLineBreak(w.data(), 0, w.size(), text->ended())) {
            end = std::min(brk->eol, limit);
        }
        if (end < limit) return text->offsetAt(terminatorEnd(w.data(), end, w.size()));
        if (text->ended()) return file.size;
        if (auto error = text->next(limit)) return *error;
    }
}

std::string cannotCut(const std::string& source, const std::string& why) {
    return "--part cannot cut " + source + ": " + why + " (run one job per file instead)";
}

// The file at `path` as a part sees it before its share is known: its size
// and text form, or why it cannot be cut.
std::variant<SourcePart, std::string, Error> partFile(const std::string& path,
                                                      const std::string& encoding) {
    if (path == "-") return cannotCut("standard input", "it is no regular file");
    // Looked at before it is opened: opening a FIFO waits for its writer.
    const auto named = identityAt(path);
    if (named && !named->regular) return cannotCut(path, "it is no regular file");
    auto file = FileSource::open(path);
    if (!file) return file.error();
    const auto identity = (*file)->identity();
    if (!identity || !identity->regular) return cannotCut(path, "it is no regular file");
    std::string head(kLongestMark, '\0');
    std::size_t got = 0;
    for (IoResult r{1, 0, {}}; got < head.size() && r.bytes > 0; got += r.bytes) {
        r = (*file)->read(std::span<char>(head.data() + got, head.size() - got));
        if (r.failed()) return readError(path, r, 1);
    }
    head.resize(got);
    if (compressionOf(head, true) != Compression::none) return cannotCut(path, "it is compressed");
    SourcePart part{path, *textFormOf(head, encoding, true), (*file)->size().value_or(0)};
    // procfs shows files that hold text as empty: their size is no size.
    if (part.size == 0 && got > 0) return cannotCut(path, "its size is not known");
    if (part.form.kind == TextForm::Kind::other && !singleByteText(encoding)) {
        return cannotCut(path, "a character in " + encoding + " may take more than one byte");
    }
    return part;
}

// Where the index-th of `count` equal ranges of `total` bytes begins, exactly,
// for any total: count is at most 2^32.
std::uint64_t rangeStart(std::uint64_t total, std::uint64_t index, std::uint64_t count) {
    return total / count * index + total % count * index / count;
}

}  // namespace

Expected<std::uint64_t> firstRecordFrom(const SourcePart& file, std::uint64_t at,
                                        const Dialect& dialect, const PartReading& how,
                                        std::uint64_t known) {
    known = std::max(known, file.form.mark);
    const std::uint64_t unit = unitOf(file.form);
    if (at >= file.size) return file.size;
    if (at < known + unit) return known;
    // The character before `at` may end the record before the first at or after it.
    const std::uint64_t edge = known + (at - known) / unit * unit - unit;
    if (!dialect.quoted) return recordEndFrom(file, edge, {}, dialect, how);
    // Every state a reader may stand in is read up to the edge from a few
    // KiB before it; once they agree there, the reading is known, whatever
    // came before. A stretch with no quote cannot tell a value's inside from
    // its outside: then a stretch twice as long before it is read, each byte
    // once, its states carried through the stretches read before, at worst
    // from the record start known.
    const std::vector<QuoteState> every = everyState(dialect);
    std::vector<QuoteState> atEdge;  // where each of `every` at `readFrom` leads by the edge
    std::uint64_t readFrom = edge;
    for (std::uint64_t back = std::max<std::uint64_t>(how.context / unit, 1) * unit;; back *= 2) {
        const bool exact = edge - known <= back;
        const std::uint64_t from = exact ? known : edge - back;
        auto states =
            readStates(file, from, readFrom, exact ? std::vector<QuoteState>{QuoteState{}} : every,
                       dialect, how);
        if (!states) return states.error();
        for (QuoteState& state : *states) {
            if (!atEdge.empty())
                state = atEdge[std::find(every.begin(), every.end(), state) - every.begin()];
        }
        if (exact || std::all_of(states->begin(), states->end(),
                                 [&](const QuoteState& s) { return s == states->front(); })) {
            return recordEndFrom(file, edge, states->front(), dialect, how);
        }
        atEdge = std::move(*states);
        readFrom = from;
    }
}

std::variant<std::vector<SourcePart>, std::string, Error> planPart(
    const std::vector<std::string>& paths, const PartNumber& part, const Dialect& dialect,
    const std::string& encoding, const PartReading& how) {
    std::vector<SourcePart> shares;
    std::uint64_t total = 0;
    for (const std::string& path : paths) {
        auto file = partFile(path, encoding);
        if (file.index() != 0) {
            if (auto* problem = std::get_if<std::string>(&file)) return std::move(*problem);
            return std::get<Error>(std::move(file));
        }
        shares.push_back(std::get<SourcePart>(std::move(file)));
        total += shares.back().size;
    }
    const std::uint64_t from = rangeStart(total, part.index - 1, part.count);
    const std::uint64_t to = rangeStart(total, part.index, part.count);
    std::uint64_t offset = 0;  // where the share's file starts in the stream
    for (SourcePart& share : shares) {
        auto inFile = [&](std::uint64_t at) {
            return at <= offset ? 0 : std::min(at - offset, share.size);
        };
        auto begin = firstRecordFrom(share, inFile(from), dialect, how);
        if (!begin) return begin.error();
        // Read back no further than the share's first record, known to start.
        auto end = firstRecordFrom(share, std::max(*begin, inFile(to)), dialect, how, *begin);
        if (!end) return end.error();
        share.begin = *begin;
        share.end = *end;
        offset += share.size;
    }
    return shares;
}

Expected<std::unique_ptr<ByteSource>> openSourcePart(const SourcePart& share,
                                                     const StopAsked& stopAsked) {
    if (share.begin == share.end) return std::unique_ptr<ByteSource>(std::make_unique<NoBytes>());
    const bool first = share.holdsFirstRecord();
    const std::uint64_t from = first ? 0 : share.begin;
    auto file = FileSource::open(share.path, from, stopAsked, share.end - from);
    if (!file) return file.error();
    if (first) return decodingText(std::move(*file), share.form.encoding);
    return decodingText(std::move(*file), share.form, share.begin);
}

void countFromFileStart(Error& error, const SourcePart& share) {
    auto text = PartText::open(share.path, share.form, share.form.mark, PartReading{}.block);
    std::int64_t lines = 0;
    while (text) {
        const std::string_view w = text->window();
        const std::size_t stop = text->positionOf(share.begin);
        if (stop < w.size() || text->ended()) {
            shiftLines(error, lines + lineEndsIn(w.substr(0, stop)));
            return;
        }
        // A CR at the block's end waits for the LF that may follow it.
        const std::size_t limit = w.size() - (!w.empty() && w.back() == '\r' ? 1 : 0);
        lines += lineEndsIn(w.substr(0, limit));
        if (text->next(limit)) return;  // the message keeps the count of the share
    }
}

}  // namespace kolvane
