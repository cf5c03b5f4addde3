#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace kolvane {

// Bytes as the window shows them: valid UTF-8 as UTF-8, anything else as
// Windows-1252, the usual encoding of older exports, so that "caf\xe9" reads
// "café". For display only: what is ripped and saved stays the bytes.
QString displayText(std::string_view bytes);

// The start of `bytes` as the window shows it: at most `maxChars` characters,
// the last of them an ellipsis (…) when the text goes on. Decodes no more of
// `bytes` than it shows, so a gigabyte costs what a screenful does.
QString displayStart(std::string_view bytes, qsizetype maxChars);

// How the window shows a text's bytes.
enum class ShownAs { utf8, windows1252 };
// What displayStart() decides for `bytes` and `maxChars`.
ShownAs shownAs(std::string_view bytes, qsizetype maxChars);

// The bytes that typed `text` stands for beside a source shown `as`: in
// Windows-1252, the byte the user sees for each character that has one (§ is
// 0xA7), UTF-8 for any other; else UTF-8.
std::string typedBytes(const QString& text, ShownAs as);

}  // namespace kolvane
