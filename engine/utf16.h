#pragma once

#include <cstddef>
#include <span>

namespace kolvane {

// How far one step of converting text to UTF-8 went, and why it stopped.
struct Conversion {
    enum class Stop {
        input,    // all input converted, or what is left is the start of a character
        output,   // the next character does not fit in what is left of the output
        invalid,  // the bytes at `read` are no character of the encoding
    };
    std::size_t read = 0;     // input bytes converted, always whole characters
    std::size_t written = 0;  // UTF-8 bytes written
    Stop stop = Stop::input;
};

// Converts UTF-16 (little- or big-endian, without its mark) to UTF-8, as many
// whole characters as both spans allow. Runs of ASCII go a vector at a time;
// a surrogate without its pair is invalid.
Conversion utf16ToUtf8(std::span<const char> in, std::span<char> out, bool bigEndian);

}  // namespace kolvane
