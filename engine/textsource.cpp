#include "textsource.h"

#include "decompress.h"

namespace kolvane {

std::unique_ptr<ByteSource> readAsText(std::unique_ptr<ByteSource> raw, const ReadOptions&) {
    raw = decompressing(std::move(raw));
    return raw;
}

}  // namespace kolvane
