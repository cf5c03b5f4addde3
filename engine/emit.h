#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "bytescan.h"
#include "fieldlist.h"
#include "quotedvalue.h"
#include "quotemask.h"
#include "ripplan.h"

namespace kolvane {

// Where a line's wanted fields stand, as a cut says it to emitSteps():
// whether a step's field is missing, where its value is, and whether it is
// the line's last field (which a template trims and never tests).
//
// LineCut: slot i is field plan.wanted()[i], as offsets into the line; the
// slots the line has a field for are a prefix, since the wanted fields
// ascend. Only the wanted fields are kept, whatever their numbers.
struct FieldSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
};
struct LineCut {
    static constexpr bool kWholeLines = false;  // may hold a range to the line's end
    const FieldSpan* spans = nullptr;
    std::size_t filled = 0;  // slots the line has a field for
    std::size_t fields = 0;  // fields cut, up to the highest wanted one
    bool reachedEnd = true;  // the last field cut runs to the line's end
    const std::size_t* wanted = nullptr;
    std::string* scratch = nullptr;  // for unquoting values, in quoted mode

    bool missing(const RipPlan::Step& step) const { return step.slot >= filled; }
    FieldSpan span(const RipPlan::Step& step) const { return spans[step.slot]; }
    bool last(const RipPlan::Step& step) const { return reachedEnd && wanted[step.slot] == fields; }
};
// StopCut: field k of the line runs from stop[k - 1] + 1 to stop[k] (a
// one-byte split; stop[0] is -1), for every field up to `got`. The copier's
// cut of a short line: no slot per field to fill.
struct StopCut {
    static constexpr bool kWholeLines = true;  // never a range to the line's end
    const std::int32_t* stop = nullptr;
    std::size_t got = 0;
    bool reachedEnd = false;
    std::string* scratch = nullptr;  // for unquoting values, in quoted mode
    // For a quoted-mode record with no quote at all, written as
    // Values::quoteFree: the byte that makes a value need quotes, or -1.
    int joinTest = -1;
    // For a quoted-mode record whose cut fields lie in its first 64 bytes,
    // where values are quoted always, never, or as needed with the split byte
    // as the join: its quotes and enclosed stops, from the maps. They say how
    // most values are written with no look at their bytes.
    bool fromBits = false;
    std::uint64_t quotes = 0;
    std::uint64_t enclosed = 0;

    bool missing(const RipPlan::Step& step) const { return step.field - 1 >= got; }
    FieldSpan span(const RipPlan::Step& step) const {
        return {std::size_t(stop[step.field - 1] + 1), std::size_t(stop[step.field])};
    }
    bool last(const RipPlan::Step& step) const { return reachedEnd && step.field == got; }
};

// Ways to put a result's bytes: counting them, copying them exactly, or with
// wide moves into room that has slack behind it (the copier's), which also
// reads up to kWide bytes past a source that is padded for it.
struct CountBytes {
    std::size_t size = 0;
    void put(const char*, std::size_t n) { size += n; }
    void putReplacing(const char*, std::size_t n, char, char) { size += n; }
};
struct CopyBytes {
    char* p;
    void put(const char* from, std::size_t n) {
        if (n != 0) std::memcpy(p, from, n);
        p += n;
    }
    // Copies n bytes with every `what` made `with`: one pass the compiler
    // vectorises, where a put per field of a wide line crawls.
    void putReplacing(const char* from, std::size_t n, char what, char with) {
        put(from, n);
        std::replace(p - n, p, what, with);
    }
};
struct CopyWide {
    static constexpr std::size_t kWide = 32;
    char* p;
    // A short copy moves kWide bytes in two fixed-size moves: a branch on
    // every field's length would cost more than the extra bytes.
    void put(const char* from, std::size_t n) {
        if (n <= kWide) {
            std::memcpy(p, from, kWide);
        } else {
            std::memcpy(p, from, n);
        }
        p += n;
    }
    void putReplacing(const char* from, std::size_t n, char what, char with) {
        std::memcpy(p, from, n);
        std::replace(p, p + n, what, with);
        p += n;
    }
};

// Fields from `from` to the line's end, each split string replaced by the
// join: what a range to the last field gives, found by scanning, so that a
// line of millions of fields needs no slot per field.
template <class Out>
void putToEnd(const RipPlan& plan, std::string_view line, std::size_t from, Out& out,
              bool& complete) {
    const std::string_view split = plan.split();
    const std::string_view join = plan.join();
    if (plan.quoted()) {
        // Fields are where quotes allow: found first, put one by one.
        std::string scratch;
        std::size_t start = from;
        bool first = true;
        auto field = [&](std::size_t end) {
            if (!first) out.put(join.data(), join.size());
            first = false;
            const std::string_view raw = line.substr(start, end - start);
            if (plan.checksBlank() && complete && isBlankQuoted(raw)) complete = false;
            putQuotedValue(out, raw, plan.quoteOutput(), join, scratch);
        };
        forEachQuotedStop(line.substr(from), split, [&](std::size_t at) {
            field(from + at);
            start = from + at + split.size();
        });
        field(line.size());
        return;
    }
    if (!plan.checksBlank() && split.size() == 1 && join.size() == 1) {
        out.putReplacing(line.data() + from, line.size() - from, split[0], join[0]);
        return;
    }
    std::size_t start = from;
    auto value = [&](std::size_t end) {
        if (plan.checksBlank() && complete && isBlank(line.substr(start, end - start)))
            complete = false;
        out.put(line.data() + start, end - start);
    };
    if (split.size() == 1) {
        scanByte(line.data() + from, line.data() + line.size(), split[0], [&](const char* at) {
            value(std::size_t(at - line.data()));
            out.put(join.data(), join.size());
            start = std::size_t(at - line.data()) + 1;
            return true;
        });
    } else if (!split.empty()) {
        for (auto at = line.find(split, start); at != line.npos; at = line.find(split, start)) {
            value(at);
            out.put(join.data(), join.size());
            start = at + split.size();
        }
    }
    value(line.size());
}

// One field's raw bytes in quoted mode: unquoted, then as the plan writes
// values; a template's last field is trimmed after unquoting and not tested.
template <class Out>
void putQuotedField(const RipPlan& plan, std::string_view raw, bool lastOfTemplate, bool checkBlank,
                    std::string& scratch, Out& out, bool& complete) {
    if (lastOfTemplate) {
        scratch.clear();
        appendUnquoted(scratch, raw);
        const std::string_view value = trimSpaces(scratch);
        if (value.empty()) return;  // which may point nowhere, not into scratch
        const std::size_t at = std::size_t(value.data() - scratch.data()), n = value.size();
        scratch.resize(scratch.size() + CopyWide::kWide);  // room behind for wide moves
        out.put(scratch.data() + at, n);
        return;
    }
    if (checkBlank && complete && isBlankQuoted(raw)) complete = false;
    putQuotedValue(out, raw, plan.quoteOutput(), plan.join(), scratch);
}

// How a line's values are read: as their bytes (plain mode), as their bytes
// but quoted when they hold the cut's join byte (a quoted-mode record with no
// quote, which reads as plain text), or as quoted mode reads them.
enum class Values { plain, quoteFree, quoted };

// The one rule for the result line, whoever cut the line and however the
// bytes are put: the steps in order, each literal then its field's value; a
// field the line lacks is an empty value, or in a template its placeholder;
// a template's last field goes in without its edge spaces and is never
// tested. `complete` is cleared when a value the skip rule tests is blank.
// The plan's mode and skip rule come in as constants, so a loop over many
// lines tests neither per value; emitResult() picks them for one line and
// adds the closing text, which a loop may put together with its line end.
template <bool kTemplate, bool kCheckBlank, Values kValues, class Out, class Cut>
[[gnu::always_inline]] inline void emitSteps(const RipPlan& plan, std::string_view line,
                                             const Cut& cut, Out& out, bool& complete) {
    // Kept in locals: a store through the output's char pointer could alias
    // the plan, and the plan's own would be loaded again after every copy.
    const char* const text = plan.text();
    const RipPlan::Step* const end = plan.steps().data() + plan.steps().size();
    [[maybe_unused]] const QuoteOutput mode = plan.quoteOutput();
    for (const RipPlan::Step* step = plan.steps().data(); step != end; ++step) {
        out.put(text + step->literal, step->literalSize);
        if (cut.missing(*step)) {  // no such field, or a number below 1
            if constexpr (kTemplate) {
                out.put(text + step->placeholder, step->placeholderSize);
            } else {
                complete = false;  // an empty value
            }
            continue;
        }
        const FieldSpan span = cut.span(*step);
        if constexpr (!Cut::kWholeLines) {
            if (step->toEnd) {
                putToEnd(plan, line, span.begin, out, complete);
                continue;
            }
        }
        const char* value = line.data() + span.begin;
        std::size_t n = span.end - span.begin;
        if constexpr (kValues == Values::quoted) {
            if constexpr (requires { cut.fromBits; }) {
                // A value with no quote, or quoted with none inside, is told
                // from the record's bits. It holds nothing that `needed`
                // quotes but for a split byte or a line end inside quotes
                // (the join being the split byte, and a line end outside
                // quotes ending the record): so it goes in as it stands, or
                // as its inside. A template's last value is trimmed instead.
                if (cut.fromBits && !(kTemplate && cut.last(*step))) {
                    const std::uint64_t in = (std::uint64_t{1} << n) - 1;  // n < 64
                    const std::uint64_t quotes = (cut.quotes >> span.begin) & in;
                    const bool quoted = quotes != 0;
                    if (!quoted || (n >= 2 && quotes == (1 | std::uint64_t{1} << (n - 1)))) {
                        const char* const inside = value + (quoted ? 1 : 0);
                        const std::size_t size = quoted ? n - 2 : n;
                        if (kCheckBlank && complete && isBlank({inside, size})) complete = false;
                        if (mode == QuoteOutput::always) {
                            out.put(kQuotes, 1);
                            out.put(inside, size);
                            out.put(kQuotes, 1);
                            continue;
                        }
                        const bool asItStands = mode == QuoteOutput::needed && quoted &&
                                                ((cut.enclosed >> span.begin) & in) != 0;
                        out.put(asItStands ? value : inside, asItStands ? n : size);
                        continue;
                    }
                }
            }
#ifdef __SSE2__
            if constexpr (requires { Out::kWide; }) {
                // Most values are short and either open with no quote and
                // hold nothing to quote, or are quoted with no quote inside.
                // Those go in after one look at their bytes, as they stand or
                // as their inside (quoted again just as they were, if the
                // inside needs it).
                const std::string_view join = plan.join();
                if (join.size() <= 1 && mode == QuoteOutput::needed &&
                    !(kTemplate && cut.last(*step))) {
                    const char joinByte = join.empty() ? '"' : join[0];
                    const bool opens = n != 0 && *value == '"';
                    const char* const from = value + (opens ? 1 : 0);
                    const std::size_t size = opens ? (n >= 2 ? n - 2 : 33) : n;  // `"` alone: no
                    const ValueBits bits = valueBits32(from, joinByte);
                    const unsigned in = size >= 32 ? ~0U : (1U << size) - 1;
                    const unsigned special = bits.special & in;
                    const bool whole =
                        opens ? value[n - 1] == '"' && (bits.quotes & in) == 0 : special == 0;
                    if (size <= 32 && whole) {
                        if (kCheckBlank && complete && isBlank({from, size})) complete = false;
                        const bool asItStands = opens && special != 0;
                        out.put(asItStands ? value : from, asItStands ? n : size);
                        continue;
                    }
                }
            }
#endif
            putQuotedField(plan, {value, n}, kTemplate && cut.last(*step), kCheckBlank,
                           *cut.scratch, out, complete);
            continue;
        }
        if (kTemplate && cut.last(*step)) {
            while (n > 0 && *value == ' ') ++value, --n;
            while (n > 0 && value[n - 1] == ' ') --n;
        } else if (kCheckBlank && complete && isBlank({value, n})) {
            complete = false;
        }
        if constexpr (kValues == Values::quoteFree) {
            if (cut.joinTest >= 0 && (n <= 32 ? holdsBytePadded({value, n}, char(cut.joinTest))
                                              : std::memchr(value, cut.joinTest, n) != nullptr)) {
                // A value with no quote to double, quoted for its join byte.
                out.put(kQuotes, 1);
                out.put(value, n);
                out.put(kQuotes, 1);
                continue;
            }
        }
        out.put(value, n);
    }
}

// The steps, then the closing text: a whole result line.
template <class Out>
void emitResult(const RipPlan& plan, std::string_view line, const LineCut& cut, Out& out,
                bool& complete) {
    constexpr Values kPlain = Values::plain, kQuoted = Values::quoted;
    if (plan.isTemplate()) {
        if (plan.quoted()) {
            plan.checksBlank() ? emitSteps<true, true, kQuoted>(plan, line, cut, out, complete)
                               : emitSteps<true, false, kQuoted>(plan, line, cut, out, complete);
        } else {
            plan.checksBlank() ? emitSteps<true, true, kPlain>(plan, line, cut, out, complete)
                               : emitSteps<true, false, kPlain>(plan, line, cut, out, complete);
        }
    } else if (plan.quoted()) {
        plan.checksBlank() ? emitSteps<false, true, kQuoted>(plan, line, cut, out, complete)
                           : emitSteps<false, false, kQuoted>(plan, line, cut, out, complete);
    } else {
        plan.checksBlank() ? emitSteps<false, true, kPlain>(plan, line, cut, out, complete)
                           : emitSteps<false, false, kPlain>(plan, line, cut, out, complete);
    }
    const std::string_view closing = plan.closing();
    out.put(closing.data(), closing.size());
}

}  // namespace kolvane
