#pragma once

#include <string>
#include <string_view>

namespace kolvane {

// Whether bytes are data rather than text: control bytes (NUL included) in
// more than one byte in twenty. A stray NUL in a long text is text.
bool looksBinary(std::string_view bytes);

// "utf-16le" or "utf-16be" when bytes without a byte-order mark read as
// UTF-16: most of their first code units are ASCII, a zero byte beside a
// non-zero one, always on the same side; else empty.
std::string_view marklessUtf16(std::string_view bytes);

// Whether bytes are valid UTF-8, a sequence cut at their very end allowed:
// they may be the start of something longer, and a file whose last character
// was cut is still UTF-8 up to there, which no legacy code page reads better.
bool isUtf8(std::string_view bytes);

// The legacy code page bytes that are not UTF-8 are most likely in, by a name
// iconv knows: "cp1251" for text that is mostly high bytes (Cyrillic),
// "cp850" for bytes only the old DOS pages use, and else "cp1252".
std::string legacyEncoding(std::string_view bytes);

}  // namespace kolvane
