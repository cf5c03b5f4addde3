#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fieldcutter.h"
#include "fieldlist.h"

namespace kolvane {

// What one line is ripped with. The window fills it from its controls, the CLI
// from its options; the rip reads it afresh after every event pass.
struct Settings {
    std::string split = "|";  // splitEdit: separates the fields of a source line
    std::string join = ":";   // joinEdit: goes between the chosen fields
    std::string fields{};     // fieldsEdit: field list, or template in smart-combine mode
    bool skipEmpty = false;   // skipEmptyCheck: skip a line when a checked value is blank
    bool toFile = false;      // toFileCheck: append results to outputPath instead of the list
    bool smart = false;       // templateCheck: fieldsEdit is a template such as "[2]-[1]"
    std::string outfile{};    // outputPath: where file-to-file mode appends
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

// Turns one non-empty source line into its result line, in plain mode (fields
// of the field list joined by the new separator) or smart-combine mode (a
// template with [n] placeholders). Configured once per settings change, so the
// per-line work is cutting and copying, with no allocation once warmed up.
class LineRipper {
  public:
    explicit LineRipper(std::size_t maxResult = kMaxResultBytes) : maxResult_(maxResult) {}

    // Takes the settings and, for plain mode, the field list; `fields` must
    // outlive every rip() until the next configure().
    void configure(const Settings& settings, const FieldList& fields);

    // A result line may be as long as its source line, or this long: a
    // template whose values hold placeholders grows with every field, and a
    // few hundred bytes could otherwise ask for gigabytes.
    static constexpr std::size_t kMaxResultBytes = std::size_t{256} << 20;

    // Appends the result line to `out` and says whether every value the mode
    // checks is non-blank (what the skip rule tests). Appending lets the caller
    // build straight into its output buffer. `bits` may say where a one-byte
    // split string stands in the line (LineReader::separators()). A line whose
    // result would pass the bound appends nothing, and tooLong() says so.
    bool rip(std::string_view line, std::string& out, const SeparatorBits& bits = {});
    bool tooLong() const { return tooLong_; }
    std::size_t maxResult() const { return maxResult_; }

  private:
    bool ripPlain(std::string_view line, std::string& out, const SeparatorBits& bits);
    bool ripTemplate(std::string_view line, std::string& out, const SeparatorBits& bits);
    // Replaces placeholders one field after the other, as the template's
    // definition says; needed only when brackets could form new placeholders.
    bool ripTemplateStepwise(std::string_view line, std::string& out);
    // Takes back what a plain rip appended past `start`, and marks the line.
    bool tooLongAt(std::string& out, std::size_t start);

    std::string split_;
    std::string join_;
    bool smart_ = false;
    bool checkBlank_ = false;
    const FieldList* fields_ = nullptr;  // plain mode
    std::size_t maxField_ = 0;           // how far lines are cut
    // smart-combine mode
    std::string template_;
    std::vector<TemplatePart> segments_;
    bool simpleTemplate_ = true;  // every bracket belongs to a [digits] placeholder
    // per line
    FieldCutter cutter_;
    std::size_t maxResult_;
    std::size_t limit_ = 0;
    bool tooLong_ = false;
    std::string stepText_;
    std::string scratch_;
};

}  // namespace kolvane
