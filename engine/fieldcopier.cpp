#include "fieldcopier.h"

#include <algorithm>
#include <charconv>
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
    std::size_t literalStart = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] == ']') return false;  // a ']' no placeholder closes
        if (t[i] != '[') continue;
        std::size_t j = i + 1;
        while (j < t.size() && t[j] >= '0' && t[j] <= '9') ++j;
        if (j == i + 1 || j == t.size() || t[j] != ']') return false;
        // "[0]", "[01]" and numbers past 9 digits name no field: they stay.
        if (j - i - 1 <= 9 && t[i + 1] != '0') {
            std::size_t field = 0;
            std::from_chars(t.data() + i + 1, t.data() + j, field);
            if (field > kMostFields || steps_.size() == kMostValues) return false;
            Step step;
            step.literal = addText(t.substr(literalStart, i - literalStart));
            step.literalSize = static_cast<std::uint32_t>(i - literalStart);
            step.field = static_cast<std::uint32_t>(field);
            step.placeholder = addText(t.substr(i, j + 1 - i));
            step.placeholderSize = static_cast<std::uint32_t>(j + 1 - i);
            steps_.push_back(step);
            maxField_ = std::max(maxField_, field);
            literalStart = j + 1;
        }
        i = j;
    }
    closingText = t.substr(literalStart);
    return true;
}

std::size_t FieldCopier::cut(std::string_view line, const SeparatorBits& bits) {
    const std::size_t end = bits.first + line.size();
    const std::size_t lastWord = (end - 1) / 64;
    std::size_t w = bits.first / 64;
    std::uint64_t word = bits.words[w] & (~std::uint64_t{0} << (bits.first % 64));
    // Bit b of word w is byte w * 64 + b - first of the line.
    auto wordStart = static_cast<std::int32_t>(w * 64 - bits.first);
    std::size_t got = 0;
    for (;;) {
        if (w == lastWord && end % 64 != 0) word &= (std::uint64_t{1} << (end % 64)) - 1;
        for (; word != 0; word &= word - 1) {
            stop_[++got] = wordStart + __builtin_ctzll(word);
            if (got == maxField_) {
                reachedEnd_ = false;
                return got;
            }
        }
        if (w == lastWord) break;
        word = bits.words[++w];
        wordStart += 64;
    }
    stop_[++got] = static_cast<std::int32_t>(line.size());
    reachedEnd_ = true;
    return got;
}

FieldCopier::Value FieldCopier::value(const Step& s, const char* line, std::size_t got,
                                      bool& complete) const {
    if (s.field == 0 || s.field > got) {
        // A plain list's missing field is empty; a template keeps the placeholder.
        if (!template_) {
            complete = false;
            return {line, 0};
        }
        return {text_.data() + s.placeholder, s.placeholderSize};
    }
    const std::int32_t from = stop_[s.field - 1] + 1;
    std::string_view v(line + from, static_cast<std::size_t>(stop_[s.field] - from));
    if (template_ && s.field == got && reachedEnd_) {
        // A template's last field goes in trimmed and is never tested. The
        // copy reads from the value's start even when nothing is left of it.
        const std::string_view trimmed = trimSpaces(v);
        return {trimmed.empty() ? v.data() : trimmed.data(), trimmed.size()};
    }
    if (checkBlank_ && isBlank(v)) complete = false;
    return {v.data(), v.size()};
}

FieldCopier::Outcome FieldCopier::rip(std::string_view line, const SeparatorBits& bits,
                                      OutputRoom& out, std::size_t maxResult) {
    if (bits.words == nullptr || bits.byte != split_ ||
        line.size() >= std::size_t{std::numeric_limits<std::int32_t>::max()}) {
        return Outcome::kDeclined;
    }
    const std::size_t got = maxField_ == 0 ? 0 : cut(line, bits);
    // A bracket in a value could form a placeholder a later field would fill.
    if (template_ && got > 0 && hasBracket(line.data(), std::size_t(stop_[got]))) {
        return Outcome::kDeclined;
    }
    // No value is longer than its line.
    const std::size_t bound = line.size() * steps_.size() + fixedSize_;
    if (bound <= kBoundedResult && bound - eolSize_ <= std::max(maxResult, line.size())) {
        return ripBounded(line, got, bound, out);
    }
    return ripSized(line, got, maxResult, out);
}

FieldCopier::Outcome FieldCopier::ripBounded(std::string_view line, std::size_t got,
                                             std::size_t bound, OutputRoom& out) {
    char* const start = out.room(bound);
    char* p = start;
    bool complete = true;
    for (const Step& step : steps_) {
        p = put(p, text_.data() + step.literal, step.literalSize);
        const Value v = value(step, line.data(), got, complete);
        p = put(p, v.data, v.size);
    }
    p = put(p, text_.data() + closing_.literal, closing_.literalSize);
    if (checkBlank_ && !complete) return Outcome::kSkipped;
    out.advance(static_cast<std::size_t>(p - start));
    return Outcome::kRipped;
}

FieldCopier::Outcome FieldCopier::ripSized(std::string_view line, std::size_t got,
                                           std::size_t maxResult, OutputRoom& out) {
    bool complete = true;
    std::size_t size = closing_.literalSize;
    const std::size_t n = steps_.size();
    for (std::size_t i = 0; i < n; ++i) {
        values_[i] = value(steps_[i], line.data(), got, complete);
        size += steps_[i].literalSize + values_[i].size;
    }
    if (size - eolSize_ > std::max(maxResult, line.size())) return Outcome::kTooLong;
    if (checkBlank_ && !complete) return Outcome::kSkipped;
    char* p = out.room(size);
    for (std::size_t i = 0; i < n; ++i) {
        p = put(p, text_.data() + steps_[i].literal, steps_[i].literalSize);
        p = put(p, values_[i].data, values_[i].size);
    }
    put(p, text_.data() + closing_.literal, closing_.literalSize);
    out.advance(size);
    return Outcome::kRipped;
}

std::size_t FieldCopier::ripLines(const char* data, std::size_t pos, std::size_t to,
                                  std::size_t size, const LineIndex& index, Target& target) {
    while (pos < to) {
        const std::size_t eol = index.nextEnd(pos, to);
        if (eol == to) break;  // the line may end beyond what is indexed
        const std::string_view line(data + pos, eol - pos);
        if (line.size() > target.lineLimit) break;
        const std::size_t next = terminatorEnd(data, eol, size);
        if (!line.empty()) {
            switch (rip(line, index.separators(pos), target.room, target.maxResult)) {
                case Outcome::kRipped:
                    target.ends.push_back({target.room.used(), target.lines + 1});
                    break;
                case Outcome::kSkipped:
                    break;
                case Outcome::kTooLong:
                case Outcome::kDeclined:
                    return pos;
            }
            target.sawLine = true;
        }
        ++target.lines;
        pos = next;
    }
    return pos;
}

}  // namespace kolvane
