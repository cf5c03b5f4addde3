#include "lineripper.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "bytescan.h"

namespace kolvane {

namespace {

// "[i]" for field i.
std::string_view placeholderFor(std::size_t i, char (&buf)[24]) {
    buf[0] = '[';
    auto [end, ec] = std::to_chars(buf + 1, buf + sizeof buf - 1, i);
    (void)ec;
    *end++ = ']';
    return std::string_view(buf, static_cast<std::size_t>(end - buf));
}

// Replaces every occurrence of `what` in `text`, left to right, without
// overlap; inserted text is not searched again. False, with `text` as it was,
// when the result would pass `limit` bytes.
bool replaceAll(std::string& text, std::string_view what, std::string_view with,
                std::string& scratch, std::size_t limit) {
    auto pos = text.find(what);
    if (pos == std::string::npos) return true;
    scratch.clear();
    std::size_t from = 0;
    for (; pos != std::string::npos; pos = text.find(what, from)) {
        if (scratch.size() + (pos - from) + with.size() > limit) return false;
        scratch.append(text, from, pos - from);
        scratch.append(with);
        from = pos + what.size();
    }
    if (scratch.size() + (text.size() - from) > limit) return false;
    scratch.append(text, from);
    text.swap(scratch);
    return true;
}

}  // namespace

FieldList fieldListFor(const Settings& settings, FieldList last) {
    if (settings.smart) return last;
    return FieldList::parse(settings.fields).value_or(std::move(last));
}

void LineRipper::configure(const Settings& settings, const FieldList& fields) {
    split_ = settings.split;
    cutter_.setSplit(split_);
    join_ = settings.join;
    smart_ = settings.smart;
    checkBlank_ = settings.skipEmpty;
    fields_ = &fields;
    maxField_ = fields.highest();
    template_.assign(trimSpaces(settings.fields));
    segments_.clear();
    simpleTemplate_ = true;
    if (!smart_) return;
    simpleTemplate_ = parseTemplate(template_, segments_);
    maxField_ = 0;
    for (const TemplatePart& part : segments_) maxField_ = std::max(maxField_, part.field);
}

bool parseTemplate(std::string_view t, std::vector<TemplatePart>& parts) {
    parts.clear();
    bool simple = true;
    std::size_t literalStart = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] == ']') simple = false;  // a ']' no placeholder closes
        if (t[i] != '[') continue;
        std::size_t j = i + 1;
        while (j < t.size() && t[j] >= '0' && t[j] <= '9') ++j;
        if (j == i + 1 || j == t.size() || t[j] != ']') {
            simple = false;  // a '[' that starts no [digits] token
            continue;
        }
        std::size_t field = 0;
        bool fits = j - i - 1 <= 9;
        if (fits) std::from_chars(t.data() + i + 1, t.data() + j, field);
        if (fits && t[i + 1] != '0') {
            parts.push_back(
                {t.substr(literalStart, i - literalStart), field, t.substr(i, j + 1 - i)});
            literalStart = j + 1;
        }
        i = j;
    }
    parts.push_back({t.substr(literalStart), 0, {}});
    return simple;
}

bool LineRipper::rip(std::string_view line, std::string& out, const SeparatorBits& bits) {
    tooLong_ = false;
    limit_ = std::max(maxResult_, line.size());
    return smart_ ? ripTemplate(line, out, bits) : ripPlain(line, out, bits);
}

bool LineRipper::ripPlain(std::string_view line, std::string& out, const SeparatorBits& bits) {
    const std::size_t got = cutter_.cut(line, maxField_, bits);
    bool complete = true;
    bool first = true;
    const std::size_t start = out.size();
    // A field the line lacks reads as empty, never as an earlier line's value.
    auto emit = [&](std::int64_t k) {
        std::string_view value = k > 0 && static_cast<std::size_t>(k) <= got
                                     ? cutter_.field(static_cast<std::size_t>(k))
                                     : std::string_view{};
        if (checkBlank_ && complete && isBlank(value)) complete = false;
        if (!first) out.append(join_);
        first = false;
        out.append(value);
        return out.size() - start <= limit_;
    };
    for (const FieldRange& e : fields_->entries()) {
        if (e.last == e.first) {
            if (!emit(e.first)) return tooLongAt(out, start);
            continue;
        }
        // A range to the line's end that starts beyond it still gives one value.
        const std::int64_t last =
            e.last == FieldList::kToLastField
                ? std::max<std::int64_t>(static_cast<std::int64_t>(got), e.first)
                : e.last;
        for (std::int64_t k = e.first; k <= last; ++k) {
            if (!emit(k)) return tooLongAt(out, start);
        }
    }
    return complete;
}

bool LineRipper::tooLongAt(std::string& out, std::size_t start) {
    out.resize(start);
    tooLong_ = true;
    return false;
}

bool LineRipper::ripTemplate(std::string_view line, std::string& out, const SeparatorBits& bits) {
    if (!simpleTemplate_) return ripTemplateStepwise(line, out);
    const std::size_t got = cutter_.cut(line, maxField_, bits);
    // A bracket inside a value could form a placeholder that a later field
    // would replace; only the stepwise replacement gets that right. One scan
    // over the cut part of the line is cheaper than one per named value.
    if (got > 0) {
        const char* from = line.data();
        const std::string_view lastCut = cutter_.field(got);
        const char* to = lastCut.data() + lastCut.size();
        if (findByte(from, to, '[') != to || findByte(from, to, ']') != to) {
            return ripTemplateStepwise(line, out);
        }
    }
    bool complete = true;
    for (const auto& seg : segments_) {
        out.append(seg.literal);
        if (seg.field == 0) continue;
        if (seg.field > got) {
            out.append(seg.placeholder);  // the line has no such field
            continue;
        }
        std::string_view value = cutter_.field(seg.field);
        if (seg.field == got && cutter_.reachedLineEnd()) {
            value = trimSpaces(value);  // the last field goes in trimmed and is never tested
        } else if (checkBlank_ && complete && isBlank(value)) {
            complete = false;
        }
        out.append(value);
    }
    return complete;
}

bool LineRipper::ripTemplateStepwise(std::string_view line, std::string& out) {
    std::string& text = stepText_;
    text.assign(template_);
    bool complete = true;
    char buf[24];
    std::string_view rest = line;
    for (std::size_t i = 1;; ++i) {
        std::size_t sep = split_.empty() ? std::string_view::npos : rest.find(split_);
        std::string_view placeholder = placeholderFor(i, buf);
        if (sep == std::string_view::npos) {
            tooLong_ = !replaceAll(text, placeholder, trimSpaces(rest), scratch_, limit_);
            break;
        }
        std::string_view value = rest.substr(0, sep);
        if (checkBlank_ && isBlank(value) && text.find(placeholder) != std::string::npos) {
            complete = false;
        }
        if (!replaceAll(text, placeholder, value, scratch_, limit_)) {
            tooLong_ = true;
            break;
        }
        rest.remove_prefix(sep + split_.size());
        // Values only ever go where a placeholder was, so once no '[' is left no
        // later field can change the line.
        if (text.find('[') == std::string::npos) break;
    }
    if (!tooLong_) out.append(text);
    return complete;
}
}  // namespace kolvane
