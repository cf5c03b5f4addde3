#pragma once

#include <cstddef>
#include <string_view>

#include "samplereading.h"

namespace kolvane {

// Whether record `first` of a table of `columns` fields holds field names:
// names over columns of numbers or dates, or over values that share an
// outline the name lacks, and names are unique.
bool hasHeader(std::string_view text, const SampleReading& r, std::size_t first,
               std::size_t columns);

}  // namespace kolvane
