#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ripstate.h"

namespace kolvane {

// What one line is ripped with. The window fills it from its controls, the CLI
// from its options; the rip reads it afresh after every event pass.
struct Settings {
    std::string split = "|";  // SplitChar: separates the fields of a source line
    std::string join = ":";   // FieldSep: goes between the chosen fields
    std::string fields;       // RipFields: field list, or template in smart-combine mode
    bool skipEmpty = false;   // Check1: skip a line when a checked value is blank
    bool toFile = false;      // Check2: append results to Outfile instead of the list
    bool smart = false;       // Check4: RipFields is a template such as "[2]-[1]"
    bool hideList = false;    // Check3: read once, when a rip starts
};

// Turns one non-empty source line into its result line, in plain mode (fields
// of the field list joined by the new separator) or smart-combine mode (a
// template with [n] placeholders). Configured once per settings change, so the
// per-line work is cutting and copying, with no allocation once warmed up.
class LineRipper {
  public:
    // Plain mode reads the field list from `state` as it is now and fills its
    // Fieldval slots for every line.
    void configure(const Settings& settings, RipState& state);

    // Appends the result line to `out` and says whether every value the mode
    // checks is non-blank (what the skip rule tests). Appending lets the caller
    // build straight into its output buffer.
    bool rip(std::string_view line, std::string& out);

  private:
    // Cuts fields 1..want of `line` into cut_; returns how many the line has up
    // to `want`. lastCut_ tells whether the last one cut is the line's last field.
    std::size_t cut(std::string_view line, std::size_t want);
    // The same for a one-byte split string, the usual case.
    std::size_t cutAtByte(std::string_view line, std::size_t want);
    bool ripPlain(std::string_view line, std::string& out);
    bool ripTemplate(std::string_view line, std::string& out);
    // Replaces placeholders one field after the other, as the template's
    // definition says; needed only when brackets could form new placeholders.
    bool ripTemplateStepwise(std::string_view line, std::string& out);

    struct Segment {
        std::string_view literal;  // text before the placeholder
        std::size_t field = 0;     // placeholder's field number; 0 for trailing text
        std::string_view placeholder;
    };

    std::string split_;
    std::string join_;
    bool smart_ = false;
    bool checkBlank_ = false;
    // plain mode
    RipState* state_ = nullptr;
    std::size_t maxField_ = 0;
    // smart-combine mode
    std::string template_;
    std::vector<Segment> segments_;
    std::vector<std::size_t> named_;  // distinct field numbers the template names
    bool simpleTemplate_ = true;      // every bracket belongs to a [digits] placeholder
    // per line
    std::vector<std::string_view> cut_;
    bool lastCut_ = false;
    std::string stepText_;
    std::string scratch_;
};

}  // namespace kolvane
