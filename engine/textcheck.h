#pragma once

#include <string>
#include <string_view>

namespace kolvane {

// Whether bytes are data rather than text: a NUL, or control bytes that text
// files do not hold in more than a few places.
bool looksBinary(std::string_view bytes);

// Whether bytes are valid UTF-8. With `whole` false they are the start of
// something longer, so a sequence cut at their end is no fault.
bool isUtf8(std::string_view bytes, bool whole);

// The legacy code page bytes that are not UTF-8 are most likely in, by a name
// iconv knows: "cp1251" for text that is mostly high bytes (Cyrillic),
// "cp850" for bytes only the old DOS pages use, and else "cp1252".
std::string legacyEncoding(std::string_view bytes);

}  // namespace kolvane
