#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fieldlist.h"
#include "quotedvalue.h"
#include "quoterules.h"

namespace kolvane {

// What lines are ripped with. The window fills it from its controls, the CLI
// from its options; a rip takes it afresh after every event pass.
struct Settings {
    std::string split = "|";    // separates the fields of a source line
    std::string join = ":";     // goes between the chosen fields
    std::string fields{};       // the field list, or the template in template mode
    bool skipEmpty = false;     // skip a line when a value the mode checks is blank
    bool templateMode = false;  // `fields` is a template such as "[2]-[1]"
    bool quoted = false;        // fields may be in double quotes, as CSV has them
    QuoteOutput quoteOutput = QuoteOutput::needed;  // how quoted mode writes values

    bool operator==(const Settings&) const = default;
    Dialect dialect() const { return {split, quoted}; }
};

// One placeholder of a template and the literal text before it. The last part
// of a template has field 0 and holds the text after its last placeholder.
struct TemplatePart {
    std::string_view literal;
    std::size_t field = 0;
    std::string_view placeholder;  // "[n]" as written
};

// Reads template `t` into `parts` (views into `t`), replacing what they held.
// "[0]", "[01]" and numbers of more than nine digits name no field and stay
// as text. False when a bracket belongs to no [digits] placeholder: only
// replacing one field after the other then rips the template right.
bool parseTemplate(std::string_view t, std::vector<TemplatePart>& parts);

// The field list a rip with `settings` uses: the box's list, parsed; the last
// parse when the box is blank or holds a template.
FieldList fieldListFor(const Settings& settings, FieldList last);

// Which bytes become the result line, decided once from the settings and the
// field list: the steps (literal text, then a field's value, or a missing
// field's placeholder), the closing text, the skip rule, and the fields a line
// must be cut into. Every way of ripping a line emits through this plan.
class RipPlan {
  public:
    static constexpr std::uint32_t kNoField = UINT32_MAX;
    // A line's fields are cut into slots: slot i holds field wanted()[i].
    struct Step {
        std::uint32_t literal = 0;  // offsets and sizes in text()
        std::uint32_t literalSize = 0;
        std::uint32_t slot = kNoField;  // kNoField: a number below 1, which matches nothing
        std::uint32_t field = 0;        // the field's number; 0 for one below 1
        std::uint32_t placeholder = 0;  // a template's "[n]", kept for a missing field
        std::uint32_t placeholderSize = 0;
        bool toEnd = false;  // this field and every one after it, joined
    };

    RipPlan() : RipPlan(Settings{}, FieldList{}) {}
    RipPlan(const Settings& settings, const FieldList& fields);

    const std::vector<Step>& steps() const { return steps_; }
    // Literals and placeholders, with padding behind them for wide loads.
    const char* text() const { return text_.data(); }
    std::string_view closing() const { return {text_.data() + closing_, closingSize_}; }
    // The field numbers a line is cut into, ascending, each once.
    const std::vector<std::size_t>& wanted() const { return wanted_; }
    std::size_t highest() const { return wanted_.empty() ? 0 : wanted_.back(); }
    std::string_view split() const { return dialect_.split; }
    const Dialect& dialect() const { return dialect_; }
    std::string_view join() const { return join_; }
    // The join is the one split byte: a value cut from a record holds it
    // only inside quotes.
    bool joinIsSplit() const { return joinIsSplit_; }
    bool isTemplate() const { return template_; }
    // Fields may be quoted: they are cut with quotes respected and their
    // values unquoted, and a list's values quoted as --quote-output says (a
    // template's never: the template is the user's own text).
    bool quoted() const { return dialect_.quoted; }
    ValueWay valueWay() const { return way_; }
    bool checksBlank() const { return checkBlank_; }
    // Calls f.template operator()<kTemplate, kCheckBlank, kWay>() with this
    // plan's mode, skip rule and way of writing values, so that a loop over
    // many records is built for them and tests none of them per value.
    template <class F>
    void dispatch(F&& f) const;
    // A template whose own brackets form no placeholder: only replacing one
    // field after the other rips it right.
    bool stepwise() const { return stepwise_; }
    std::string_view templateText() const { return templateText_; }
    // Every literal, placeholder and the closing text together.
    std::size_t fixedSize() const { return fixedSize_; }

  private:
    std::uint32_t addText(std::string_view text);
    void planList(const FieldList& fields);
    void planTemplate();

    Dialect dialect_;
    std::string join_;
    std::string templateText_;
    bool template_ = false;
    bool checkBlank_ = false;
    ValueWay way_ = ValueWay::plain;
    bool joinIsSplit_ = false;
    bool stepwise_ = false;
    std::vector<Step> steps_;
    std::vector<std::size_t> wanted_;
    std::string text_;
    std::uint32_t closing_ = 0;
    std::uint32_t closingSize_ = 0;
    std::size_t fixedSize_ = 0;
};

template <class F>
void RipPlan::dispatch(F&& f) const {
    auto checked = [&]<bool kTemplate, ValueWay kWay>() {
        checkBlank_ ? f.template operator()<kTemplate, true, kWay>()
                    : f.template operator()<kTemplate, false, kWay>();
    };
    if (template_) {
        way_ == ValueWay::plain ? checked.template operator()<true, ValueWay::plain>()
                                : checked.template operator()<true, ValueWay::unquote>();
        return;
    }
    switch (way_) {
        case ValueWay::plain:
            return checked.template operator()<false, ValueWay::plain>();
        case ValueWay::unquote:
            return checked.template operator()<false, ValueWay::unquote>();
        case ValueWay::quoteNeeded:
            return checked.template operator()<false, ValueWay::quoteNeeded>();
        case ValueWay::quoteAlways:
            return checked.template operator()<false, ValueWay::quoteAlways>();
    }
}

}  // namespace kolvane
