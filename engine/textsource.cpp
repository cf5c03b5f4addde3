#include "textsource.h"

#include "decompress.h"
#include "textdecode.h"

namespace kolvane {

std::unique_ptr<ByteSource> readAsText(std::unique_ptr<ByteSource> raw,
                                       const ReadOptions& options) {
    raw = decompressing(std::move(raw));
    return decodingText(std::move(raw), options.encoding);
}

}  // namespace kolvane
