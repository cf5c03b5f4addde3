#pragma once

#include <cstddef>
#include <string_view>

#include "samplereading.h"

namespace kolvane {

// How well one reading of a sample looks like a table, from 0 (no table:
// records left whole, or split at random) up to about 1.
struct SplitScore {
    double value = 0;
    std::size_t columns = 1;     // fields in most records
    std::size_t titleLines = 0;  // records above the table, title or comment
};

SplitScore scoreReading(std::string_view text, const SampleReading& r);

// Whether a field's raw bytes are one value enclosed in double quotes.
bool properlyQuoted(std::string_view raw);

}  // namespace kolvane
