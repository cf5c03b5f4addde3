#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

namespace kolvane {

// The compressed formats a source may come in, told by their first bytes.
enum class Compression { none, gzip, zstd, xz, bzip2 };

// The format `head`, a source's first bytes, marks: nullopt while it is too
// short to tell and more may follow (`complete` false). Every mark is long
// enough that text is never taken for a compressed stream by chance: a text
// starting "BZh" stays text.
std::optional<Compression> compressionOf(std::string_view head, bool complete);

// The first bytes compressionOf() may want to see.
inline constexpr std::size_t kLongestMark = 10;

// One format's streaming decoder, a thin layer over its library.
class Codec {
  public:
    // windowTooLarge: the stream needs more memory than a line may take.
    enum class Status { going, memberEnd, damaged, noMemory, windowTooLarge };
    struct Step {
        std::size_t in = 0;   // bytes of input taken
        std::size_t out = 0;  // bytes of output made
        Status status = Status::going;
    };
    virtual ~Codec() = default;
    // Decodes what it can of `in` into `out`; `last`: no input follows `in`.
    // A step that takes and makes nothing needs more input. memberEnd: one
    // whole stream ended here, its output all given, and its check passed.
    virtual Step decode(std::span<const char> in, std::span<char> out, bool last) = 0;
    // Readies the decoder for another stream that follows the one that ended,
    // as concatenated files hold.
    virtual void nextMember() = 0;
};

// A decoder for `format` (not none); nullptr when there is no memory for one.
std::unique_ptr<Codec> makeCodec(Compression format);

}  // namespace kolvane
