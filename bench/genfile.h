#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kolvane::bench {

// The main of a data generator, `name OUTPUT [COUNT]`: writes `header`'s
// bytes and then COUNT (`defaultCount` when not given) `unit`s that
// `append` adds to a buffer, a megabyte at a time, and says what it wrote.
int generateFile(int argc, char** argv, const char* name, const char* unit,
                 std::uint64_t defaultCount, const std::function<void(std::string&)>& header,
                 const std::function<void(std::string&)>& append);

}  // namespace kolvane::bench
