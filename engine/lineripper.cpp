#include "lineripper.h"

#include <algorithm>
#include <charconv>

#include "quotedvalue.h"

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

bool LineRipper::rip(std::string_view record, std::string& out, const SeparatorBits& bits) {
    const RipPlan& plan = *plan_;
    tooLong_ = false;
    const std::size_t limit = std::max(maxResult_, record.size());
    if (plan.stepwise()) return ripStepwise(record, out, limit, bits);
    const LineCut cut = cutter_.cut(plan.wanted(), record, plan.dialect(), bits);
    // A bracket inside a value could form a placeholder that a later field
    // would replace; only the stepwise replacement gets that right. One scan
    // over the cut part of the record is cheaper than one per named value.
    if (plan.isTemplate() && cut.filled > 0) {
        const char* to = record.data() + cut.spans[cut.filled - 1].end;
        if (findByte(record.data(), to, '[') != to || findByte(record.data(), to, ']') != to) {
            return ripStepwise(record, out, limit, bits);
        }
    }
    bool complete = true;
    CountBytes count;
    emitResult(plan, record, cut, count, complete);
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
    emitResult(plan, record, cut, copy, complete);
    return complete;
}

bool LineRipper::ripStepwise(std::string_view record, std::string& out, std::size_t limit,
                             const SeparatorBits& bits) {
    const RipPlan& plan = *plan_;
    std::string& text = stepText_;
    text.assign(plan.templateText());
    bool complete = true;
    std::size_t field = 0, start = 0;
    // Puts field `field` (the record's last when `last`) where its
    // placeholder stands; false once no later field can change the line.
    auto replace = [&](std::size_t end, bool last) {
        char buf[24];
        const std::string_view placeholder = placeholderFor(++field, buf);
        std::string_view value = record.substr(start, end - start);
        if (plan.quoted()) {
            value_.clear();
            appendUnquoted(value_, value);
            value = value_;
        }
        if (last) {
            value = trimSpaces(value);
        } else if (plan.checksBlank() && isBlank(value) && text.find(placeholder) != text.npos) {
            complete = false;
        }
        if (!replaceAll(text, placeholder, value, scratch_, limit)) {
            tooLong_ = true;
            return false;
        }
        // Values only ever go where a placeholder was, so once no '[' is left
        // no later field can change the line.
        return text.find('[') != std::string::npos;
    };
    bool going = true;
    forEachStop(
        record, plan.dialect(),
        [&](std::size_t at) {
            going = replace(at, false);
            start = at + plan.split().size();
            return going;
        },
        bits);
    if (going) replace(record.size(), true);
    if (!tooLong_) out.append(text);
    return complete;
}

}  // namespace kolvane
