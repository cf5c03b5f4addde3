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
// A stream that ends early fails the read after its last byte, with "the
// compressed data ends early"; damage fails it with "the compressed data is
// damaged" some 64 KiB before the point where it was found, since the bytes
// just before that point may already be wrong.
std::unique_ptr<ByteSource> decompressing(std::unique_ptr<ByteSource> raw);

}  // namespace kolvane
