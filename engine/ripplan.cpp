#include "ripplan.h"

#include <algorithm>
#include <charconv>

#include "fieldselect.h"

namespace kolvane {

FieldList fieldListFor(const Settings& settings, FieldList last) {
    if (settings.templateMode) return last;
    auto selected = selectFields(settings.fields, FieldReading::lenient, false, nullptr);
    return selected.list ? std::move(*selected.list) : std::move(last);
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
        const bool fits = j - i - 1 <= 9;
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

RipPlan::RipPlan(const Settings& settings, const FieldList& fields)
    : dialect_(settings.dialect()),
      join_(settings.join),
      templateText_(trimSpaces(settings.fields)),
      template_(settings.templateMode),
      checkBlank_(settings.skipEmpty),
      joinIsSplit_(join_.size() == 1 && join_ == dialect_.split) {
    if (settings.quoted) {
        using enum QuoteOutput;
        const QuoteOutput mode = template_ ? never : settings.quoteOutput;
        way_ = mode == never    ? ValueWay::unquote
               : mode == always ? ValueWay::quoteAlways
                                : ValueWay::quoteNeeded;
    }
    if (template_) {
        planTemplate();
    } else {
        planList(fields);
    }
    // A line is cut into the distinct fields the steps name, ascending, and
    // a step reads its field's slot.
    for (const Step& step : steps_) {
        if (step.field != 0) wanted_.push_back(step.field);
    }
    std::sort(wanted_.begin(), wanted_.end());
    wanted_.erase(std::unique(wanted_.begin(), wanted_.end()), wanted_.end());
    for (Step& step : steps_) {
        if (step.field == 0) continue;
        step.slot = static_cast<std::uint32_t>(
            std::lower_bound(wanted_.begin(), wanted_.end(), step.field) - wanted_.begin());
    }
    fixedSize_ = closingSize_;
    for (const Step& step : steps_) fixedSize_ += step.literalSize + step.placeholderSize;
    // Wide copies may load this far past any text's end.
    text_.append(32, '\0');
}

std::uint32_t RipPlan::addText(std::string_view text) {
    const auto at = static_cast<std::uint32_t>(text_.size());
    text_.append(text);
    return at;
}

void RipPlan::planList(const FieldList& fields) {
    const auto joinAt = addText(join_);
    auto add = [&](std::int64_t field, bool toEnd) {
        Step step;
        if (!steps_.empty()) {
            step.literal = joinAt;
            step.literalSize = static_cast<std::uint32_t>(join_.size());
        }
        step.field = field >= 1 ? static_cast<std::uint32_t>(field) : 0;  // 0 matches nothing
        step.toEnd = toEnd && step.field != 0;
        steps_.push_back(step);
    };
    for (const FieldRange& e : fields.entries()) {
        if (e.last == FieldList::kToLastField) {
            add(e.first, true);
            continue;
        }
        if (e.last == e.first) {
            add(e.first, false);
            continue;
        }
        for (std::int64_t k = e.first; k <= e.last; ++k) add(k, false);
    }
}

void RipPlan::planTemplate() {
    std::vector<TemplatePart> parts;
    stepwise_ = !parseTemplate(templateText_, parts);
    for (const TemplatePart& part : parts) {
        if (part.field == 0) break;  // the closing text
        Step step;
        step.literal = addText(part.literal);
        step.literalSize = static_cast<std::uint32_t>(part.literal.size());
        step.field = static_cast<std::uint32_t>(part.field);
        step.placeholder = addText(part.placeholder);
        step.placeholderSize = static_cast<std::uint32_t>(part.placeholder.size());
        steps_.push_back(step);
    }
    closing_ = addText(parts.back().literal);
    closingSize_ = static_cast<std::uint32_t>(parts.back().literal.size());
}

}  // namespace kolvane
