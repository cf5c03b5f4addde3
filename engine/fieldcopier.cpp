#include "fieldcopier.h"

#include <algorithm>
#include <cstring>
#include <limits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace kolvane {

namespace {

constexpr std::size_t kWide = 32;  // bytes a short copy moves whatever its size

// Copies n bytes; a short copy moves kWide bytes in two fixed-size moves, as
// a branch on every field's length would cost more than the extra bytes. The
// source must be readable, and the destination writable, kWide bytes on.
inline char* put(char* to, const char* from, std::size_t n) {
    if (n <= kWide) {
        std::memcpy(to, from, kWide);
    } else {
        std::memcpy(to, from, n);
    }
    return to + n;
}

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

}  // namespace

void OutputRoom::grow(std::size_t n) {
    // resize() zero-fills: growing a step at a time keeps that pass close to
    // what is really written, and the pages warm for it.
    bytes_.resize(std::max(used_ + n + kSlack, bytes_.size() + (std::size_t{64} << 10)));
}

std::uint32_t FieldCopier::addText(std::string_view text) {
    const auto at = static_cast<std::uint32_t>(text_.size());
    text_.append(text);
    return at;
}

bool FieldCopier::configure(const Settings& settings, const FieldList& fields,
                            std::string_view eol) {
    if (settings.split.size() != 1) return false;
    split_ = settings.split[0];
    template_ = settings.smart;
    checkBlank_ = settings.skipEmpty;
    maxField_ = 0;
    text_.clear();
    steps_.clear();
    std::string_view closingText;
    if (template_) {
        if (!planTemplate(trimSpaces(settings.fields), closingText)) return false;
    } else {
        for (const FieldRange& e : fields.entries()) {
            if (e.last > static_cast<std::int32_t>(kMostFields)) return false;
            for (std::int32_t k = e.first; k <= e.last; ++k) {
                if (steps_.size() == kMostValues) return false;
                Step step;
                if (!steps_.empty()) {
                    step.literal = addText(settings.join);
                    step.literalSize = static_cast<std::uint32_t>(settings.join.size());
                }
                step.field = static_cast<std::uint32_t>(std::max(k, 0));
                steps_.push_back(step);
                maxField_ = std::max<std::size_t>(maxField_, step.field);
            }
        }
    }
    closing_.literal = addText(closingText);
    addText(eol);
    closing_.literalSize = static_cast<std::uint32_t>(closingText.size() + eol.size());
    eolSize_ = eol.size();
    fixedSize_ = closing_.literalSize;
    for (const Step& step : steps_) fixedSize_ += step.literalSize + step.placeholderSize;
    text_.append(kWide, '\0');
    return true;
}

// The template's placeholders as LineRipper reads them; false when it needs
// that ripper's stepwise replacement, or more fields than the copier cuts.
bool FieldCopier::planTemplate(std::string_view t, std::string_view& closingText) {
    std::vector<TemplatePart> parts;
    if (!parseTemplate(t, parts) || parts.size() - 1 > kMostValues) return false;
    for (const TemplatePart& part : parts) {
        if (part.field == 0) break;  // the closing text
        if (part.field > kMostFields) return false;
        Step step;
        step.literal = addText(part.literal);
        step.literalSize = static_cast<std::uint32_t>(part.literal.size());
        step.field = static_cast<std::uint32_t>(part.field);
        step.placeholder = addText(part.placeholder);
        step.placeholderSize = static_cast<std::uint32_t>(part.placeholder.size());
        steps_.push_back(step);
        maxField_ = std::max(maxField_, part.field);
    }
    closingText = parts.back().literal;
    return true;
}

std::size_t FieldCopier::ripLines(const char* data, std::size_t pos, std::size_t to,
                                  std::size_t size, const LineIndex& index, Target& target) {
    const LineIndex::Maps maps = index.maps();
    if (maps.seps == nullptr || static_cast<char>(index.split()) != split_) return pos;
    // Chosen once per window, so the loop tests neither mode per value.
    if (template_) {
        return checkBlank_ ? ripRun<true, true>(data, pos, to, size, maps, target)
                           : ripRun<true, false>(data, pos, to, size, maps, target);
    }
    return checkBlank_ ? ripRun<false, true>(data, pos, to, size, maps, target)
                       : ripRun<false, false>(data, pos, to, size, maps, target);
}

namespace {

// Cuts fields 1..most of the line [pos, eol) from the separator bits: field k
// runs from stop[k - 1] + 1 to stop[k]. Returns how many fields the line has
// up to `most`; `reachedEnd` says whether the last one ran to the line's end.
inline std::size_t cutAt(const LineIndex::Maps& maps, std::size_t pos, std::size_t eol,
                         std::size_t most, std::int32_t* stop, bool& reachedEnd) {
    const std::size_t first = pos - maps.start;
    const std::size_t end = eol - maps.start;
    const std::size_t endWord = (end - 1) / 64;
    std::size_t w = first / 64;
    std::uint64_t word = maps.seps[w] & (~std::uint64_t{0} << (first % 64));
    // Bit b of word w is byte w * 64 + b - first of the line.
    auto wordStart = static_cast<std::int32_t>(w * 64 - first);
    std::size_t got = 0;
    for (;;) {
        if (w == endWord && end % 64 != 0) word &= (std::uint64_t{1} << (end % 64)) - 1;
        for (; word != 0; word &= word - 1) {
            stop[++got] = wordStart + __builtin_ctzll(word);
            if (got == most) {
                reachedEnd = false;
                return got;
            }
        }
        if (w == endWord) break;
        word = maps.seps[++w];
        wordStart += 64;
    }
    stop[++got] = static_cast<std::int32_t>(eol - pos);
    reachedEnd = true;
    return got;
}

// The 64 bits of a map from bit `at` on; the word after at's must be readable.
inline std::uint64_t bitsFrom(const std::uint64_t* map, std::size_t at) {
    const std::size_t w = at / 64;
    const unsigned shift = unsigned(at % 64);
    // Two shifts, as one by 64 would be undefined when `at` starts a word.
    return (map[w] >> shift) | ((map[w + 1] << 1) << (63 - shift));
}

// cutAt() for a line whose wanted separators all lie in its first 64 bytes,
// as they mostly do: a fixed number of steps over one word of bits, with no
// branch that depends on the data. False when they do not; stop is then
// half written and cutAt() does it again.
inline bool cutInWord(const LineIndex::Maps& maps, std::size_t pos, std::size_t length,
                      std::size_t most, std::int32_t* stop) {
    std::uint64_t bits = bitsFrom(maps.seps, pos - maps.start);
    if (length < 64) bits &= (std::uint64_t{1} << length) - 1;
    for (std::size_t k = 1; k <= most; ++k) {
        if (bits == 0) return false;
        stop[k] = __builtin_ctzll(bits);
        bits &= bits - 1;
    }
    return true;
}

// Cuts fields 1..most of the line [pos, eol) as cutAt() does, from one look
// when it can.
inline std::size_t cutLine(const LineIndex::Maps& maps, std::size_t pos, std::size_t eol,
                           std::size_t most, std::int32_t* stop, bool& reachedEnd) {
    if (most == 0) {
        reachedEnd = true;
        return 0;
    }
    if (cutInWord(maps, pos, eol - pos, most, stop)) {
        reachedEnd = false;  // the last wanted field ended at a separator
        return most;
    }
    return cutAt(maps, pos, eol, most, stop, reachedEnd);
}

// The first CR or LF at or after `pos`, 64 bytes a look; SIZE_MAX when there
// is none up to word `lastWord` of the maps.
inline std::size_t lineEndFrom(const LineIndex::Maps& maps, std::size_t pos, std::size_t lastWord) {
    std::size_t at = pos - maps.start;
    std::uint64_t bits = bitsFrom(maps.ends, at);
    while (bits == 0) {
        at += 64;
        if (at / 64 > lastWord) return SIZE_MAX;
        bits = bitsFrom(maps.ends, at);
    }
    return maps.start + at + std::size_t(__builtin_ctzll(bits));
}

}  // namespace

template <bool kTemplate, bool kCheckBlank>
char* FieldCopier::build(char* p, const char* line, const std::int32_t* stop, std::size_t got,
                         bool reachedEnd, bool& complete) const {
    const char* const text = text_.data();
    for (const Step& step : steps_) {
        p = put(p, text + step.literal, step.literalSize);
        const std::size_t k = step.field;
        if (k - 1 >= got) {  // k is 0 or past the line's fields
            if constexpr (kTemplate) {
                p = put(p, text + step.placeholder, step.placeholderSize);
            } else {
                complete = false;  // an empty value
            }
            continue;
        }
        const char* value = line + stop[k - 1] + 1;
        std::size_t n = std::size_t(stop[k] - stop[k - 1] - 1);
        if (kTemplate && k == got && reachedEnd) {
            // A template's last field goes in trimmed and is never tested.
            while (n > 0 && *value == ' ') ++value, --n;
            while (n > 0 && value[n - 1] == ' ') --n;
        } else if (kCheckBlank && complete && isBlank({value, n})) {
            complete = false;
        }
        p = put(p, value, n);
    }
    return put(p, text + closing_.literal, closing_.literalSize);
}

// The loop's state is written back to the target when it ends, however it
// ends: growing the room or the line ends may throw.
template <bool kTemplate, bool kCheckBlank>
std::size_t FieldCopier::ripRun(const char* data, std::size_t pos, std::size_t to, std::size_t size,
                                const LineIndex::Maps& maps, Target& target) {
    struct State {
        Target& target;
        std::vector<OutputFile::LineEnd>& ends;
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
    OutputFile::LineEnd* endsOut = st.ends.data();
    std::int32_t stop[kMostFields + 2];
    stop[0] = -1;
    // Field stops are 32-bit; longer lines take the general path.
    const std::size_t longest = std::min<std::size_t>(target.lineLimit, INT32_MAX - 1);
    const std::size_t lastWord = (to - 1 - maps.start) / 64;

    while (pos < to) {
        const std::size_t eol = lineEndFrom(maps, pos, lastWord);
        if (eol >= to || eol - pos > longest) return pos;
        const std::size_t length = eol - pos;
        const std::size_t next = terminatorEnd(data, eol, size);
        if (length == 0) {
            ++st.lines;
            pos = next;
            continue;
        }
        const char* const line = data + pos;
        bool reachedEnd = true;
        const std::size_t got = cutLine(maps, pos, eol, maxField_, stop, reachedEnd);
        // A bracket in a value could form a placeholder a later field would
        // fill; a result that may pass the room's bound or the result limit
        // is sized by the general path.
        if (kTemplate && got > 0 && hasBracket(line, std::size_t(stop[got]))) return pos;
        const std::size_t bound = length * steps_.size() + fixedSize_;
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
        char* const end =
            build<kTemplate, kCheckBlank>(st.p, line, stop, got, reachedEnd, complete);
        if (!kCheckBlank || complete) {
            st.p = end;
            endsOut[st.endsUsed++] = {st.startUsed + std::size_t(end - st.start), st.lines + 1};
        }
        st.sawLine = true;
        ++st.lines;
        pos = next;
    }
    return pos;
}

}  // namespace kolvane
