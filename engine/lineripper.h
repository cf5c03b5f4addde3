#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "emit.h"
#include "fieldcutter.h"
#include "ripplan.h"

namespace kolvane {

// Rips one non-empty record of any length through a plan into a string: the
// general path, for every record the copier does not take.
class LineRipper {
  public:
    explicit LineRipper(std::size_t maxResult = kMaxResultBytes) : maxResult_(maxResult) {}

    // A result line may be as long as its source record, or this long: a
    // template whose values hold placeholders grows with every field, and a
    // few hundred bytes could otherwise ask for gigabytes.
    static constexpr std::size_t kMaxResultBytes = std::size_t{256} << 20;

    // `plan` must outlive every rip() until the next configure().
    void configure(const RipPlan& plan) { plan_ = &plan; }

    // Appends the result line to `out` and says whether every value the plan
    // checks is non-blank (what the skip rule tests). A record whose result
    // would pass the bound appends nothing, and tooLong() says so. `bits`,
    // when they mark the plan's one split byte, say where its stops are. May
    // throw std::bad_alloc, with `out` as it was.
    bool rip(std::string_view record, std::string& out, const SeparatorBits& bits = {});
    bool tooLong() const { return tooLong_; }
    std::size_t maxResult() const { return maxResult_; }

  private:
    // Replaces placeholders one field after the other, as a template's
    // definition says; needed only when brackets could form new placeholders.
    bool ripStepwise(std::string_view record, std::string& out, std::size_t limit,
                     const SeparatorBits& bits);

    const RipPlan* plan_ = nullptr;
    FieldCutter cutter_;
    std::size_t maxResult_;
    bool tooLong_ = false;
    std::string stepText_;
    std::string scratch_;
    std::string value_;
};

}  // namespace kolvane
