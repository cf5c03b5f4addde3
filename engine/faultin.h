#pragma once

#include <cstddef>

namespace kolvane {

// Maps the whole pages inside [data, data + bytes) in one call, before they
// are written, rather than at one fault per page: about half the cost, and
// paid by the caller's thread. Where the system cannot, nothing happens and
// the pages come in as they are written.
void faultIn(void* data, std::size_t bytes);

}  // namespace kolvane
