#pragma once

#include <memory>

#include "io.h"

namespace kolvane {

// `raw` read as what it holds: a gzip (of one or more members), zstd, xz or
// bzip2 stream, told by its first bytes and never by its name, is delivered
// decompressed, on a thread of its own so that the rip runs beside the
// decompressor; anything else passes through byte for byte. Nothing is read
// before the first read(), which answers noDataYet while the first bytes have
// not all come. size(), consumed() and identity() are the compressed file's.
// A stream that is damaged or ends early fails the read after the last good
// byte, with "the compressed data is damaged" or "... ends early".
std::unique_ptr<ByteSource> decompressing(std::unique_ptr<ByteSource> raw);

}  // namespace kolvane
