#include "textsource.h"

#include <algorithm>
#include <cstring>

#include "decompress.h"
#include "textdecode.h"

namespace kolvane {

std::unique_ptr<ByteSource> readAsText(std::unique_ptr<ByteSource> raw,
                                       const std::string& encoding) {
    return decodingText(decompressing(std::move(raw)), encoding);
}

IoResult PrefixedSource::read(std::span<char> buf) {
    if (given_ == prefix_.size()) return inner_->read(buf);
    const std::size_t n = std::min(buf.size(), prefix_.size() - given_);
    std::memcpy(buf.data(), prefix_.data() + given_, n);
    given_ += n;
    if (given_ == prefix_.size()) std::string().swap(prefix_), given_ = 0;
    return IoResult{n, 0, {}};
}

}  // namespace kolvane
