#include "textcheck.h"

#include <algorithm>
#include <cstddef>

namespace kolvane {

namespace {

unsigned char byteAt(std::string_view bytes, std::size_t i) {
    return static_cast<unsigned char>(bytes[i]);
}

// The length of a UTF-8 sequence its lead byte announces; 0 for no lead byte.
std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xc2 && lead <= 0xdf) return 2;
    if (lead >= 0xe0 && lead <= 0xef) return 3;
    if (lead >= 0xf0 && lead <= 0xf4) return 4;
    return 0;
}

}  // namespace

bool looksBinary(std::string_view bytes) {
    std::size_t controls = 0;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if ((b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != 0x1b) ||
            b == 0x7f) {
            ++controls;
        }
    }
    // Text holds a few: a stray NUL, letters overstruck with backspaces.
    // Executables and compressed data hold ten times as many and more.
    return controls * 20 > bytes.size();
}

std::string_view marklessUtf16(std::string_view bytes) {
    // 2 KiB of code units tell; CJK text without ASCII has no zero bytes to
    // go by, and stays undetected.
    const std::size_t units = std::min<std::size_t>(bytes.size(), 2048) / 2;
    std::size_t zeroFirst = 0, zeroSecond = 0;
    for (std::size_t u = 0; u < units; ++u) {
        zeroFirst += bytes[2 * u] == 0;
        zeroSecond += bytes[2 * u + 1] == 0;
    }
    if (units < 2) return {};
    if (zeroSecond * 2 > units && zeroFirst * 20 <= units) return "utf-16le";
    if (zeroFirst * 2 > units && zeroSecond * 20 <= units) return "utf-16be";
    return {};
}

bool isUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const unsigned char lead = byteAt(bytes, i);
        const std::size_t length = sequenceLength(lead);
        if (length == 0) return false;
        if (i + length > bytes.size()) {
            // Cut at the end: what is there must still be continuation bytes.
            for (std::size_t j = i + 1; j < bytes.size(); ++j) {
                if ((byteAt(bytes, j) & 0xc0) != 0x80) return false;
            }
            return true;
        }
        for (std::size_t j = 1; j < length; ++j) {
            if ((byteAt(bytes, i + j) & 0xc0) != 0x80) return false;
        }
        // Overlong forms, surrogates and code points past U+10FFFF.
        const unsigned char second = length > 1 ? byteAt(bytes, i + 1) : 0;
        if ((lead == 0xe0 && second < 0xa0) || (lead == 0xed && second >= 0xa0) ||
            (lead == 0xf0 && second < 0x90) || (lead == 0xf4 && second >= 0x90)) {
            return false;
        }
        i += length;
    }
    return true;
}

std::string legacyEncoding(std::string_view bytes) {
    std::size_t high = 0, letters = 0, dosOnly = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char b = byteAt(bytes, i);
        const bool ascii = (b | 0x20) >= 'a' && (b | 0x20) <= 'z';
        letters += ascii || b >= 0xc0;
        high += b >= 0xc0;
        // Bytes Windows-1252 leaves unassigned, which DOS pages use for letters.
        dosOnly += b == 0x81 || b == 0x8d || b == 0x8f || b == 0x90 || b == 0x9d;
    }
    if (letters > 0 && high * 2 > letters) return "cp1251";
    if (dosOnly > 0) return "cp850";
    return "cp1252";
}

}  // namespace kolvane
