#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fieldcutter.h"
#include "quotedvalue.h"
#include "ripplan.h"

namespace kolvane {

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

// Puts one value of a quoted text as the plan's way writes it, the skip rule
// testing it unquoted; `trim`: a template's last value, trimmed after
// unquoting. Most values are read from the quotes' map with no look at their
// bytes: one with no quote is its bytes, which hold no line end nor, outside
// quotes, the split string; one quoted with no quote inside is its inside,
// or stands as it is when it needs quotes again. The rest are unquoted byte
// by byte.
template <ValueWay kWay, bool kCheckBlank, class Out>
[[gnu::always_inline]] inline void putQuoted(const RipPlan& plan, const char* raw, std::size_t n,
                                             const ValueLook& look, bool trim, Out& out,
                                             bool& complete) {
    if (look.known && look.quotes == 0) {
        if (trim) {
            const std::string_view value = trimSpaces({raw, n});
            // A trimmed blank value points nowhere: nothing is put for it.
            if (!value.empty()) out.put(value.data(), value.size());
            return;
        }
        if (kCheckBlank && complete && isBlank({raw, n})) complete = false;
        const bool quote = kWay == ValueWay::quoteAlways ||
                           (kWay == ValueWay::quoteNeeded && !plan.joinIsSplit() &&
                            holdsJoinPadded({raw, n}, plan.join()));
        if (!quote) return out.put(raw, n);
        out.put(kQuotes, 1);
        out.put(raw, n);
        return out.put(kQuotes, 1);
    }
    if (look.known && !trim && n >= 2 && *raw == '"' &&
        look.quotes == (std::uint64_t{1} | std::uint64_t{1} << (n - 1))) {
        const std::string_view inside(raw + 1, n - 2);
        if (kCheckBlank && complete && isBlank(inside)) complete = false;
        // It holds no quote; where no line end is inside, only the join counts.
        const bool quote = kWay == ValueWay::quoteAlways ||
                           (kWay == ValueWay::quoteNeeded &&
                            (look.lineEnds ? needsQuotesPadded(inside, plan.join())
                                           : holdsJoinPadded(inside, plan.join())));
        return quote ? out.put(raw, n) : out.put(inside.data(), inside.size());
    }
    if (trim) return putUnquotedTrimmed(out, {raw, n});
    if (kCheckBlank && complete && isBlankQuoted({raw, n})) complete = false;
    putQuotedValue(out, {raw, n},
                   kWay == ValueWay::unquote       ? QuoteOutput::never
                   : kWay == ValueWay::quoteAlways ? QuoteOutput::always
                                                   : QuoteOutput::needed,
                   plan.join());
}

// Fields from `from` to the record's end, each joined by the plan's join: what
// a range to the last field gives, found by scanning, so that a record of
// millions of fields needs no slot per field. `bits`, when they mark the
// record's stops, spare quoted text a second reading by the quote rules.
template <ValueWay kWay, bool kCheckBlank, class Out>
void putToEnd(const RipPlan& plan, std::string_view record, std::size_t from, Out& out,
              bool& complete, const SeparatorBits& bits) {
    const std::string_view split = plan.split(), join = plan.join();
    if (kWay == ValueWay::plain && !kCheckBlank && split.size() == 1 && join.size() == 1) {
        out.putReplacing(record.data() + from, record.size() - from, split[0], join[0]);
        return;
    }
    std::size_t start = from;
    auto field = [&](std::size_t end) {
        if (start != from) out.put(join.data(), join.size());
        const char* value = record.data() + start;
        if constexpr (kWay == ValueWay::plain) {
            if (kCheckBlank && complete && isBlank({value, end - start})) complete = false;
            out.put(value, end - start);
        } else {
            putQuoted<kWay, kCheckBlank>(plan, value, end - start, {}, false, out, complete);
        }
    };
    forEachStop(
        record.substr(from), plan.dialect(),
        [&](std::size_t at) {
            field(from + at);
            start = from + at + split.size();
        },
        SeparatorBits{bits.words, bits.first + from, bits.byte});
    field(record.size());
}

// The one rule for the result line, whoever cut the record and however the
// bytes are put: the steps in order, each literal then its field's value; a
// field the record lacks is an empty value (quoted when every value is), or
// in a template its placeholder; a template's last field goes in without its
// edge spaces and is never tested. `complete` is cleared when a value the
// skip rule tests is blank. The plan's mode, skip rule and way of writing
// values come in as constants, so a loop over many records tests none of
// them per value; emitResult() picks them for one record and adds the
// closing text, which a loop may put together with its line end.
template <bool kTemplate, bool kCheckBlank, ValueWay kWay, class Out, class Cut>
[[gnu::always_inline]] inline void emitSteps(const RipPlan& plan, std::string_view record,
                                             const Cut& cut, Out& out, bool& complete) {
    // Kept in locals: a store through the output's char pointer could alias
    // the plan, and the plan's own would be loaded again after every copy.
    const char* const text = plan.text();
    const RipPlan::Step* const end = plan.steps().data() + plan.steps().size();
    for (const RipPlan::Step* step = plan.steps().data(); step != end; ++step) {
        out.put(text + step->literal, step->literalSize);
        if (cut.missing(*step)) {  // no such field, or a number below 1
            if constexpr (kTemplate) {
                out.put(text + step->placeholder, step->placeholderSize);
            } else {
                complete = false;  // an empty value
                if (kWay == ValueWay::quoteAlways) out.put(kQuotes, 2);
            }
            continue;
        }
        const FieldSpan span = cut.span(*step);
        if constexpr (!Cut::kWholeRecords) {
            if (step->toEnd) {
                putToEnd<kWay, kCheckBlank>(plan, record, span.begin, out, complete, cut.bits);
                continue;
            }
        }
        const char* value = record.data() + span.begin;
        std::size_t n = span.end - span.begin;
        const bool trim = kTemplate && cut.last(*step);
        if constexpr (kWay != ValueWay::plain) {
            putQuoted<kWay, kCheckBlank>(plan, value, n, cut.look(span), trim, out, complete);
            continue;
        }
        if (trim) {
            while (n > 0 && *value == ' ') ++value, --n;
            while (n > 0 && value[n - 1] == ' ') --n;
        } else if (kCheckBlank && complete && isBlank({value, n})) {
            complete = false;
        }
        out.put(value, n);
    }
}

// The steps, then the closing text: a whole result line.
template <class Out>
void emitResult(const RipPlan& plan, std::string_view record, const LineCut& cut, Out& out,
                bool& complete) {
    plan.dispatch([&]<bool kTemplate, bool kCheckBlank, ValueWay kWay>() {
        emitSteps<kTemplate, kCheckBlank, kWay>(plan, record, cut, out, complete);
    });
    const std::string_view closing = plan.closing();
    out.put(closing.data(), closing.size());
}

}  // namespace kolvane
