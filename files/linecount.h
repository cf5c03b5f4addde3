#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace kolvane {

// How many line feeds the regular file at `path` holds. nullopt for anything
// else (reading a pipe or a device would take what is not ours to take), for
// a file that cannot be read, and once `cancel` is set.
std::optional<std::uint64_t> countLines(const std::string& path, const std::atomic<bool>& cancel);

}  // namespace kolvane
