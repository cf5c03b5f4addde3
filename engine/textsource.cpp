#include "textsource.h"

#include "textdecode.h"

namespace kolvane {

std::unique_ptr<ByteSource> readAsText(std::unique_ptr<ByteSource> raw,
                                       const ReadOptions& options) {
    return decodingText(std::move(raw), options.encoding);
}

}  // namespace kolvane
