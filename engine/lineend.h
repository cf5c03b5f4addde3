#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace kolvane {

// The one rule for where a line ends, used by every reader of lines: a line
// ends at LF, CR LF or CR (CR LF is one terminator), and a last line without
// a terminator is still a line. A CR as the very last byte read may be the
// first half of a CR LF, so it ends a line only once the next byte is known,
// or no more will come.

// One past the terminator of a line ending at `eol` (a CR or LF before `end`).
inline std::size_t terminatorEnd(const char* data, std::size_t eol, std::size_t end) {
    return data[eol] == '\r' && eol + 1 < end && data[eol + 1] == '\n' ? eol + 2 : eol + 1;
}

// Whether the CR or LF at `at` surely ends a line of data[0, size): a CR as
// the very last byte read ends one only once the next byte is known, or none
// will come (`final`).
inline bool surelyEndsLine(const char* data, std::size_t at, std::size_t size, bool final) {
    return final || at + 1 < size || data[at] != '\r';
}

// Just past the last line end in data[from, size) that surely ends a line; 0
// when there is none.
inline std::size_t lastLineEnd(const char* data, std::size_t from, std::size_t size) {
    if (from >= size) return 0;
    // memrchr scans a vector at a time: a line of gigabytes is searched once
    // per doubling of its block, and byte by byte that took seconds.
    const auto* lf = static_cast<const char*>(::memrchr(data + from, '\n', size - from));
    const std::size_t after = lf != nullptr ? std::size_t(lf - data) + 1 : from;
    if (size - 1 > after) {
        const auto* cr = static_cast<const char*>(::memrchr(data + after, '\r', size - 1 - after));
        if (cr != nullptr) return std::size_t(cr - data) + 1;
    }
    return lf != nullptr ? after : 0;
}

// Where the line starting at `from` ends: its terminator and one past it.
struct LineBreak {
    std::size_t eol;
    std::size_t next;
};

// The end of the line starting at `from` in data[from, size): nullopt when no
// terminator is in sight, or the only one is a CR at the very end and more
// bytes may come (`final` false).
inline std::optional<LineBreak> findLineBreak(const char* data, std::size_t from, std::size_t size,
                                              bool final) {
    const std::size_t left = size - from;
    const auto* lf = static_cast<const char*>(std::memchr(data + from, '\n', left));
    const std::size_t lfAt = lf != nullptr ? std::size_t(lf - data) : size;
    const auto* cr = static_cast<const char*>(std::memchr(data + from, '\r', lfAt - from));
    const std::size_t eol = cr != nullptr ? std::size_t(cr - data) : lfAt;
    if (eol == size || (eol + 1 == size && data[eol] == '\r' && !final)) return std::nullopt;
    return LineBreak{eol, terminatorEnd(data, eol, size)};
}

// The line ends inside a record that quotes carried over several lines
// (CR LF counted once): how many source lines it spans, less one. Nearly
// every record holds none: that is found 16 bytes a look, and only a record
// that does is counted byte by byte.
inline std::int64_t lineEndsIn(std::string_view record) {
    std::size_t i = 0;
#ifdef __SSE2__
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    for (; i + 16 <= record.size(); i += 16) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(record.data() + i));
        if (_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(c, lf), _mm_cmpeq_epi8(c, cr))) != 0)
            break;
    }
#endif
    std::int64_t ends = 0;
    for (; i < record.size(); ++i) {
        if (record[i] == '\n' ||
            (record[i] == '\r' && (i + 1 == record.size() || record[i + 1] != '\n'))) {
            ++ends;
        }
    }
    return ends;
}

}  // namespace kolvane
