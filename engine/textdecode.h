#pragma once

#include <memory>
#include <string>

#include "io.h"

namespace kolvane {

// Reads `raw` as UTF-8 text, deciding at the first read from its first bytes:
// - a UTF-8 byte-order mark is dropped, and the rest passes as it is (checked
//   as UTF-8 when `encoding` names UTF-8);
// - a UTF-16LE or UTF-16BE mark is dropped and the rest converted, unless
//   `encoding` names something else than UTF-16;
// - else the source is in `encoding` (any name iconv knows) and converted,
//   or, with none, passes byte for byte.
// Bytes that are no text of the encoding end reading: read() first delivers
// every character before them, then fails, saying so.
std::unique_ptr<ByteSource> decodingText(std::unique_ptr<ByteSource> raw, std::string encoding);

}  // namespace kolvane
