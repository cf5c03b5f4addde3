#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "emit.h"
#include "lineindex.h"
#include "ripplan.h"

namespace kolvane {

// Cuts lines into a plan's wanted fields, reusing one array of slots for
// every line, so cutting allocates nothing once warmed up. Only the wanted
// fields are kept, so a template naming field 999999999 needs two slots, not
// a billion.
class FieldCutter {
  public:
    // Cuts `line` for `plan`. `bits`, when they mark the plan's one-byte split
    // string, say where it stands, so the line's bytes are not looked at again.
    LineCut cut(const RipPlan& plan, std::string_view line, const SeparatorBits& bits = {});

  private:
    std::vector<FieldSpan> slots_;
    std::string scratch_;  // a quoted value, unquoted
};

// The fields of `line` as a rip numbers them: field k is element k-1. At most
// `max` are cut; the last one then ends at its separator. An empty split
// string makes the line one field.
std::vector<std::string_view> cutFields(std::string_view line, std::string_view split,
                                        std::size_t max);

// Rips one non-empty line of any length through a plan into a string: the
// general path, for every line the copier does not take.
class LineRipper {
  public:
    explicit LineRipper(std::size_t maxResult = kMaxResultBytes) : maxResult_(maxResult) {}

    // A result line may be as long as its source line, or this long: a
    // template whose values hold placeholders grows with every field, and a
    // few hundred bytes could otherwise ask for gigabytes.
    static constexpr std::size_t kMaxResultBytes = std::size_t{256} << 20;

    // `plan` must outlive every rip() until the next configure().
    void configure(const RipPlan& plan) { plan_ = &plan; }

    // Appends the result line to `out` and says whether every value the plan
    // checks is non-blank (what the skip rule tests). A line whose result
    // would pass the bound appends nothing, and tooLong() says so. May throw
    // std::bad_alloc, with `out` as it was.
    bool rip(std::string_view line, std::string& out, const SeparatorBits& bits = {});
    bool tooLong() const { return tooLong_; }
    std::size_t maxResult() const { return maxResult_; }

  private:
    // Replaces placeholders one field after the other, as a template's
    // definition says; needed only when brackets could form new placeholders.
    bool ripStepwise(std::string_view line, std::string& out, std::size_t limit);

    const RipPlan* plan_ = nullptr;
    FieldCutter cutter_;
    std::size_t maxResult_;
    bool tooLong_ = false;
    std::string stepText_;
    std::string scratch_;
};

}  // namespace kolvane
