#include "lineripper.h"

#include <algorithm>
#include <charconv>

#include "bitwalk.h"
#include "quotemask.h"

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

// Calls `separator(position)` for each split string in `line`, left to right
// and without overlap, until it returns false.
template <class Visit>
void eachSeparator(std::string_view line, std::string_view split, const SeparatorBits& bits,
                   bool quoted, Visit&& separator) {
    if (split.empty()) return;
    if (quoted) {
        // A split string inside quotes is the value's: the quotes decide.
        bool going = true;
        forEachQuotedStop(line, split, [&](std::size_t at) {
            if (going) going = separator(at);
        });
        return;
    }
    if (split.size() == 1 && bits.words != nullptr && bits.byte == split[0]) {
        BitWalk walk(bits.words, bits.first, bits.first + line.size());
        for (std::size_t at = walk.next(); at < bits.first + line.size(); at = walk.next()) {
            if (!separator(at - bits.first)) return;
        }
    } else if (split.size() == 1) {
        scanByte(line.data(), line.data() + line.size(), split[0],
                 [&](const char* at) { return separator(std::size_t(at - line.data())); });
    } else {
        for (auto at = line.find(split); at != line.npos;
             at = line.find(split, at + split.size())) {
            if (!separator(at)) return;
        }
    }
}

}  // namespace

LineCut FieldCutter::cut(const RipPlan& plan, std::string_view line, const SeparatorBits& bits) {
    const std::vector<std::size_t>& wanted = plan.wanted();
    if (slots_.size() < wanted.size()) slots_.resize(wanted.size());
    LineCut cut{slots_.data(), 0, 1, true, wanted.data(), &scratch_};
    if (wanted.empty()) return cut;
    const std::size_t splitSize = plan.split().size();
    std::size_t fieldStart = 0;
    std::size_t field = 1;  // the field that ends at the next separator
    eachSeparator(line, plan.split(), bits, plan.quoted(), [&](std::size_t at) {
        if (wanted[cut.filled] == field) {
            slots_[cut.filled++] = {fieldStart, at};
            if (cut.filled == wanted.size()) {
                cut.reachedEnd = false;
                return false;
            }
        }
        fieldStart = at + splitSize;
        ++field;
        return true;
    });
    cut.fields = field;
    if (cut.reachedEnd && wanted[cut.filled] == field)
        slots_[cut.filled++] = {fieldStart, line.size()};
    return cut;
}

std::vector<std::string_view> cutFields(std::string_view line, std::string_view split,
                                        std::size_t max) {
    if (max == 0) return {};
    Settings settings;
    settings.split = split;
    const RipPlan plan(
        settings, FieldList({{1, static_cast<std::int32_t>(std::min<std::size_t>(max, 32767))}}));
    FieldCutter cutter;
    const LineCut cut = cutter.cut(plan, line);
    std::vector<std::string_view> fields;
    for (std::size_t i = 0; i < cut.filled; ++i) {
        fields.push_back(line.substr(cut.spans[i].begin, cut.spans[i].end - cut.spans[i].begin));
    }
    return fields;
}

bool LineRipper::rip(std::string_view line, std::string& out, const SeparatorBits& bits) {
    const RipPlan& plan = *plan_;
    tooLong_ = false;
    const std::size_t limit = std::max(maxResult_, line.size());
    if (plan.stepwise()) return ripStepwise(line, out, limit);
    const LineCut cut = cutter_.cut(plan, line, bits);
    // A bracket inside a value could form a placeholder that a later field
    // would replace; only the stepwise replacement gets that right. One scan
    // over the cut part of the line is cheaper than one per named value.
    if (plan.isTemplate() && cut.filled > 0) {
        const char* to = line.data() + cut.spans[cut.filled - 1].end;
        if (findByte(line.data(), to, '[') != to || findByte(line.data(), to, ']') != to) {
            return ripStepwise(line, out, limit);
        }
    }
    bool complete = true;
    CountBytes count;
    emitResult(plan, line, cut, count, complete);
    if (count.size > limit) {
        tooLong_ = true;
        return false;
    }
    const std::size_t start = out.size();
    // Room for the line end too: growing a result of a gigabyte by one byte
    // would hold it twice while it is copied.
    out.reserve(start + count.size + 64);
    out.resize(start + count.size);
    CopyBytes copy{out.data() + start};
    complete = true;
    emitResult(plan, line, cut, copy, complete);
    return complete;
}

bool LineRipper::ripStepwise(std::string_view line, std::string& out, std::size_t limit) {
    const RipPlan& plan = *plan_;
    const std::string_view split = plan.split();
    std::string& text = stepText_;
    text.assign(plan.templateText());
    bool complete = true;
    char buf[24];
    std::string_view rest = line;
    for (std::size_t i = 1;; ++i) {
        const std::size_t sep = split.empty() ? std::string_view::npos : rest.find(split);
        const std::string_view placeholder = placeholderFor(i, buf);
        if (sep == std::string_view::npos) {
            tooLong_ = !replaceAll(text, placeholder, trimSpaces(rest), scratch_, limit);
            break;
        }
        const std::string_view value = rest.substr(0, sep);
        if (plan.checksBlank() && isBlank(value) && text.find(placeholder) != std::string::npos) {
            complete = false;
        }
        if (!replaceAll(text, placeholder, value, scratch_, limit)) {
            tooLong_ = true;
            break;
        }
        rest.remove_prefix(sep + split.size());
        // Values only ever go where a placeholder was, so once no '[' is left no
        // later field can change the line.
        if (text.find('[') == std::string::npos) break;
    }
    if (!tooLong_) out.append(text);
    return complete;
}

}  // namespace kolvane
