#include "fieldcopier.h"

#include <algorithm>
#include <cstring>
#include <limits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "bitwalk.h"
#include "emit.h"
#include "lineend.h"

namespace kolvane {

namespace {

// Whether [p, p + n) holds a '[' or a ']'; reads up to 15 bytes past it.
inline bool hasBracket(const char* p, std::size_t n) {
#ifdef __SSE2__
    const __m128i open = _mm_set1_epi8('[');
    const __m128i close = _mm_set1_epi8(']');
    for (std::size_t i = 0; i < n; i += 16) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        auto mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(c, open), _mm_cmpeq_epi8(c, close))));
        if (n - i < 16) mask &= (1U << (n - i)) - 1;
        if (mask != 0) return true;
    }
    return false;
#else
    return std::memchr(p, '[', n) != nullptr || std::memchr(p, ']', n) != nullptr;
#endif
}

// Whether the `n` bytes from p (at most 64, readable up to 64) hold `byte`.
inline bool holdsByte(const char* p, std::int32_t n, char byte) {
#ifdef __SSE2__
    const __m128i b = _mm_set1_epi8(byte);
    std::uint64_t bits = 0;
    for (int i = 0; i < n; i += 16) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        bits |= std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(c, b)))) << i;
    }
    return (bits & ((std::uint64_t{1} << n) - 1)) != 0;
#else
    return std::memchr(p, byte, std::size_t(n)) != nullptr;
#endif
}

}  // namespace

void OutputRoom::grow(std::size_t n) {
    // resize() zero-fills: growing a step at a time keeps that pass close to
    // what is really written, and the pages warm for it.
    bytes_.resize(
        std::max(used_ + n + OutputRoom::kSlack, bytes_.size() + (std::size_t{64} << 10)));
}

bool FieldCopier::takes(const RipPlan& plan) {
    if (plan.split().size() != 1 || plan.stepwise()) return false;
    if (plan.highest() > kMostFields || plan.steps().size() > kMostValues) return false;
    return std::none_of(plan.steps().begin(), plan.steps().end(),
                        [](const RipPlan::Step& step) { return step.toEnd; });
}

void FieldCopier::configure(const RipPlan& plan, std::string_view eol) {
    plan_ = &plan;
    split_ = plan.split().empty() ? 0 : plan.split()[0];
    eol_.assign(plan.closing()).append(eol);
    eolSize_ = eol.size();
    eol_.append(CopyWide::kWide, '\0');
    // A value with no quote holds no line end, nor the split string outside
    // quotes: unquoted, or quoted only as needed, it stays as it stands
    // unless it holds a join of another byte.
    const std::string_view join = plan.join();
    const ValueWay way = plan.valueWay();
    joinTest_ = kNeverPlain;
    if (way == ValueWay::unquote ||
        (way == ValueWay::quoteNeeded && (plan.joinIsSplit() || join.empty()))) {
        joinTest_ = kNoJoinTest;
    } else if (way == ValueWay::quoteNeeded && join.size() == 1) {
        joinTest_ = static_cast<unsigned char>(join[0]);
    }
}

std::size_t FieldCopier::ripLines(const char* data, std::size_t pos, std::size_t until,
                                  std::size_t to, std::size_t size, const LineIndex& index,
                                  Target& target) {
    const LineIndex::Maps maps = index.maps();
    if (maps.seps == nullptr || static_cast<char>(index.split()) != split_) return pos;
    // Chosen once per call, so the loop tests no mode per value.
    std::size_t at = pos;
    plan_->dispatch([&]<bool kTemplate, bool kCheckBlank, ValueWay kWay>() {
        at = ripRun<kTemplate, kCheckBlank, kWay>(data, pos, until, to, size, maps, target);
    });
    return at;
}

namespace {

// The copier's cut of a record: field k runs from stop[k - 1] + 1 to stop[k]
// (stop[0] is -1), for every field up to `got`, so no slot per field is
// filled. In quoted mode the maps say where a value's quotes are.
struct StopCut {
    static constexpr bool kWholeRecords = true;  // never a range to the record's end
    const std::int32_t* stop = nullptr;
    std::size_t got = 0;
    bool reachedEnd = false;
    const LineIndex::Maps* maps = nullptr;
    std::size_t at = 0;  // where the record starts in the maps
    // The quotes of the record's first 64 bytes, where most values lie,
    // taken in one look.
    std::uint64_t quotes = 0;
    bool lineEnds = false;  // a line end stands inside quotes in the record

    bool missing(const RipPlan::Step& step) const { return step.field - 1 >= got; }
    FieldSpan span(const RipPlan::Step& step) const {
        return {std::size_t(stop[step.field - 1] + 1), std::size_t(stop[step.field])};
    }
    bool last(const RipPlan::Step& step) const { return reachedEnd && step.field == got; }
    // No quote stands in the record's cut fields.
    bool quoteFree() const {
        const auto end = std::size_t(stop[got]);
        return end < 64 && (quotes & ((std::uint64_t{1} << end) - 1)) == 0;
    }
    ValueLook look(FieldSpan span) const {
        const std::size_t n = span.end - span.begin;
        if (n >= 64) return {};
        const std::uint64_t in = (std::uint64_t{1} << n) - 1;
        if (span.end < 64) return {true, (quotes >> span.begin) & in, lineEnds};
        return {true, bitsFrom(maps->quotes, at + span.begin) & in, lineEnds};
    }
};

}  // namespace

// The loop's state is written back to the target when it ends, however it
// ends: growing the room or the line ends may throw.
template <bool kTemplate, bool kCheckBlank, ValueWay kWay>
std::size_t FieldCopier::ripRun(const char* data, std::size_t pos, std::size_t until,
                                std::size_t to, std::size_t size, const LineIndex::Maps& maps,
                                Target& target) {
    struct State {
        Target& target;
        std::vector<LineEnd>& ends;
        std::int64_t lines;
        bool sawLine = false;
        std::size_t endsUsed;
        char* start = nullptr;  // where the room began when last asked for
        std::size_t startUsed;  // what the room held then
        char* p = nullptr;      // where the next byte goes
        char* limit = nullptr;  // how far the room goes
        ~State() {
            ends.resize(endsUsed);
            target.room.advance(static_cast<std::size_t>(p - start));
            target.lines = lines;
            target.sawLine = target.sawLine || sawLine;
        }
    } st{target, target.ends, target.lines, false, target.ends.size(), nullptr, target.room.used()};
    st.start = st.p = target.room.room(0);
    st.limit = st.p + target.room.free();
    LineEnd* endsOut = st.ends.data();
    const RipPlan& plan = *plan_;
    const std::size_t most = plan.highest();
    const std::size_t values = plan.steps().size();
    const std::size_t fixed = plan.fixedSize() + eolSize_;
    // The closing text and the line end, in one copy.
    const char* const closing = eol_.data();
    const std::size_t closingSize = eol_.size() - CopyWide::kWide;
    std::int32_t stop[kMostFields + 2];
    stop[0] = -1;
    constexpr bool kQuoted = kWay != ValueWay::plain;
    // A quoted value may double its quotes and gain two: room for that.
    constexpr std::size_t perValue = kQuoted ? 2 : 1;
    constexpr std::size_t quotes = kQuoted ? 2 : 0;
    // Field stops are 32-bit; longer records take the general path.
    const std::size_t longest = std::min<std::size_t>(target.lineLimit, INT32_MAX - 1);
    // The first line end inside quotes from a record on, found again only
    // once a record passes it (0 is before any).
    std::size_t nextHidden = 0;

    while (pos < until && pos < to) {
        const std::size_t eol = maps.start + nextBit(maps.ends, pos - maps.start, to - maps.start);
        if (eol >= to || eol - pos > longest) return pos;
        const std::size_t length = eol - pos;
        const std::size_t next = terminatorEnd(data, eol, size);
        if (length == 0) {
            ++st.lines;
            pos = next;
            continue;
        }
        const char* const record = data + pos;
        StopCut cut{stop, 0, false, &maps, pos - maps.start};
        cut.got =
            cutStops({maps.seps, pos - maps.start, split_}, length, most, stop, cut.reachedEnd);
        if constexpr (kQuoted) {
            cut.quotes = bitsFrom(maps.quotes, cut.at);
            if (nextHidden <= pos) {
                nextHidden = maps.start + firstBit(maps.hidden, pos - maps.start, to - maps.start);
            }
            cut.lineEnds = nextHidden < eol;
        }
        // A bracket in a value could form a placeholder a later field would
        // fill; a result that may pass the room's bound or the result limit
        // is sized by the general path.
        if (kTemplate && cut.got > 0 && hasBracket(record, std::size_t(stop[cut.got]))) {
            return pos;
        }
        const std::size_t bound = (length * perValue + quotes) * values + fixed;
        if (bound > kBoundedResult || bound - eolSize_ > std::max(target.maxResult, length)) {
            return pos;
        }
        if (static_cast<std::size_t>(st.limit - st.p) < bound) {
            target.room.advance(static_cast<std::size_t>(st.p - st.start));
            st.start = st.p;  // nothing is pending should room() throw
            st.startUsed = target.room.used();
            st.start = st.p = target.room.room(bound);
            st.limit = st.p + target.room.free();
        }
        if (st.endsUsed == st.ends.size()) {
            st.ends.resize(st.endsUsed + 4096);
            endsOut = st.ends.data();
        }
        bool complete = true;
        CopyWide out{st.p};
        // A record with no quote where its cut fields are is written as plain
        // text, where the plan writes such values as they stand.
        if (kQuoted && cut.quoteFree() &&
            (joinTest_ == kNoJoinTest ||
             (joinTest_ >= 0 && !holdsByte(record, stop[cut.got], char(joinTest_))))) {
            emitSteps<kTemplate, kCheckBlank, ValueWay::plain>(plan, {record, length}, cut, out,
                                                               complete);
        } else {
            emitSteps<kTemplate, kCheckBlank, kWay>(plan, {record, length}, cut, out, complete);
        }
        if (!kCheckBlank || complete) {
            out.put(closing, closingSize);
            st.p = out.p;
            endsOut[st.endsUsed++] = {st.startUsed + std::size_t(st.p - st.start), st.lines + 1};
        }
        st.sawLine = true;
        // A quoted record may hold line ends: it counts its source lines.
        st.lines += 1;
        if (kQuoted && cut.lineEnds) st.lines += lineEndsIn({record, length});
        pos = next;
    }
    return pos;
}

}  // namespace kolvane
