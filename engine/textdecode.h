#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

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

// How a source's bytes stand for text, as decodingText() decides it from the
// source's first bytes and the declared encoding.
struct TextForm {
    enum class Kind {
        asIs,     // the bytes as they are
        utf8,     // UTF-8, checked
        utf16le,  // UTF-16, converted
        utf16be,
        other,  // `encoding`, converted by iconv
    };
    Kind kind = Kind::asIs;
    std::size_t mark = 0;  // the byte-order mark's bytes at the start, dropped
    std::string encoding;  // as declared, which a mark may have overruled
};

// The form that a source starting with `head` is read in; nullopt while
// `head` may yet begin a mark and more bytes may follow (`complete` false).
std::optional<TextForm> textFormOf(std::string_view head, const std::string& encoding,
                                   bool complete);

// `raw`, bytes from inside a source whose form is known, read as text: no
// mark is looked for. `offset` is where raw's first byte stands in the
// source, so that a message names the byte where the source has it.
std::unique_ptr<ByteSource> decodingText(std::unique_ptr<ByteSource> raw, const TextForm& form,
                                         std::uint64_t offset);

// The UTF-8 that each byte stands for in `encoding` when every character is
// one byte (cp1252, latin1, ...): empty for a byte that is no character.
// None when a character may take more bytes, or one byte stands for more
// than one character or changes a state.
std::optional<std::array<std::string, 256>> singleByteText(const std::string& encoding);

}  // namespace kolvane
