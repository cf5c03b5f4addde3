#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "error.h"
#include "io.h"
#include "textdecode.h"

namespace kolvane {

// The text of a source file from a file offset on, a block at a time, as a
// rip decodes it, except that bytes that are no text read as U+FFFD rather
// than end reading: the part that holds them reports them when it rips.
// Each position of the text maps back to the file offset of its character,
// so that where a record starts is found in text and told in the file's
// offsets. The window holds what was read and not consumed yet.
class PartText {
  public:
    // Reads `path`, whose text is in `form`, from `from` (a code unit's
    // start) on, in blocks of `block` bytes.
    static Expected<PartText> open(const std::string& path, const TextForm& form,
                                   std::uint64_t from, std::size_t block);

    std::string_view window() const { return text_; }
    // Whether the window reaches the file's end.
    bool ended() const { return ended_; }
    // The file offset of the character at window position `pos`, or of the
    // one after the window for pos == window().size().
    std::uint64_t offsetAt(std::size_t pos) const;
    // The window position of the first character at file offset `offset` or
    // later; window().size() when none is in the window.
    std::size_t positionOf(std::uint64_t offset) const;
    // Drops the window's first `consumed` bytes and reads the next block.
    std::optional<Error> next(std::size_t consumed);

  private:
    void decode(std::string_view raw, bool last);
    // The file bytes a text byte stands for: a character's first byte stands
    // for all of it, and a byte inside a character for none.
    unsigned unitsOf(unsigned char byte) const;

    std::string path_;
    std::unique_ptr<FileSource> file_;
    TextForm::Kind kind_ = TextForm::Kind::asIs;
    std::optional<std::array<std::string, 256>> single_;  // for a one-byte encoding
    std::string text_;
    std::string raw_;         // the block read
    std::string pending_;     // the start of a character that the block's end cut
    std::uint64_t base_ = 0;  // the file offset of window position 0
    std::size_t block_ = 0;
    bool ended_ = false;
};

}  // namespace kolvane
