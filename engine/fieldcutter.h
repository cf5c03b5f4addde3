#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "bitwalk.h"
#include "bytescan.h"
#include "quoterules.h"

namespace kolvane {

// Where one split byte's stops stand in an indexed text: bit (first + i) of
// `words` (64 bytes a word) is set when byte i of the record ends a field. In
// quoted mode the maps hold only the stops outside quoted values.
struct SeparatorBits {
    const std::uint64_t* words = nullptr;
    std::size_t first = 0;
    char byte = 0;
};

// The byte a split string marks in an index: its only byte, or -1 (none)
// when it is empty or longer.
inline int splitByte(std::string_view split) {
    return split.size() == 1 ? static_cast<unsigned char>(split[0]) : -1;
}

// Calls stop(at) for the first byte of every split string in `record` that
// ends a field, left to right, until it returns false (when it returns a
// bool): where a record's fields are found, whatever the mode; cutStops()
// below gives the same stops to the copier. From `bits`, when they mark the
// dialect's one split byte; else by scanning, a vector at a time for a
// one-byte split string, or by the quote rules.
template <class Stop>
void forEachStop(std::string_view record, const Dialect& dialect, Stop&& stop,
                 const SeparatorBits& bits = {}) {
    const std::string_view split = dialect.split;
    auto visit = [&](std::size_t at) {
        if constexpr (std::is_same_v<decltype(stop(at)), bool>) {
            return stop(at);
        } else {
            stop(at);
            return true;
        }
    };
    if (split.empty()) return;
    if (split.size() == 1 && bits.words != nullptr && bits.byte == split[0]) {
        BitWalk walk(bits.words, bits.first, bits.first + record.size());
        for (std::size_t at = walk.next(); at < bits.first + record.size(); at = walk.next()) {
            if (!visit(at - bits.first)) return;
        }
    } else if (dialect.quoted) {
        bool going = true;
        readRecord(record, 0, dialect, [&](std::size_t at) { going = going && visit(at); });
    } else if (split.size() == 1) {
        scanByte(record.data(), record.data() + record.size(), split[0],
                 [&](const char* at) { return visit(std::size_t(at - record.data())); });
    } else {
        for (auto at = record.find(split); at != record.npos;
             at = record.find(split, at + split.size())) {
            if (!visit(at)) return;
        }
    }
}

// The same stops as offsets into an array, for the copier's loop over many
// records: field k of a record of `length` bytes ends at stop[k] (stop[0] is
// -1), for fields 1..most. Returns how many the record has up to `most`;
// `reachedEnd` says whether the last ran to the record's end. Most records
// keep their wanted stops in their first 64 bytes: one look takes them, with
// no branch on where they fall.
inline std::size_t cutStops(const SeparatorBits& bits, std::size_t length, std::size_t most,
                            std::int32_t* stop, bool& reachedEnd) {
    reachedEnd = false;
    if (most == 0) return 0;
    if (takeFromWord(bits.words, bits.first, length, most, stop)) return most;
    BitWalk walk(bits.words, bits.first, bits.first + length);
    std::size_t got = 0;
    for (std::size_t at = walk.next(); at < bits.first + length; at = walk.next()) {
        stop[++got] = static_cast<std::int32_t>(at - bits.first);
        if (got == most) return got;
    }
    stop[++got] = static_cast<std::int32_t>(length);
    reachedEnd = true;
    return got;
}

// One field of a record, as offsets into it: its raw bytes, quotes and all.
struct FieldSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
};

// The fields of `record` up to the `max`-th, as spans; the last ends at its
// split string when the record has more.
std::vector<FieldSpan> cutSpans(std::string_view record, const Dialect& dialect,
                                std::size_t max = SIZE_MAX);

// The same as views into the record.
std::vector<std::string_view> cutFields(std::string_view record, const Dialect& dialect,
                                        std::size_t max = SIZE_MAX);

// How many fields `record` has.
std::size_t countFields(std::string_view record, const Dialect& dialect);

// What a quoted text's maps say of one value's bytes, when the cut has them
// (and the bytes are padded for wide reads): where its quotes stand, bit i
// for byte i, and whether a line end may stand inside its quotes.
struct ValueLook {
    bool known = false;
    std::uint64_t quotes = 0;
    bool lineEnds = true;
};

// A record's wanted fields, as FieldCutter cuts them for emitSteps(): slot i
// is field wanted[i], as offsets into the record; the slots the record has a
// field for are a prefix, since the wanted fields ascend. Only the wanted
// fields are kept, whatever their numbers.
struct LineCut {
    static constexpr bool kWholeRecords = false;  // may hold a range to the record's end
    const FieldSpan* spans = nullptr;
    std::size_t filled = 0;  // slots the record has a field for
    std::size_t fields = 0;  // fields cut, up to the highest wanted one
    bool reachedEnd = true;  // the last field cut runs to the record's end
    const std::size_t* wanted = nullptr;
    SeparatorBits bits;  // the record's stops, when its index marks them

    template <class Step>
    bool missing(const Step& step) const {
        return step.slot >= filled;
    }
    template <class Step>
    FieldSpan span(const Step& step) const {
        return spans[step.slot];
    }
    template <class Step>
    bool last(const Step& step) const {
        return reachedEnd && wanted[step.slot] == fields;
    }
    // Values are unquoted by their bytes: no maps say where their quotes are.
    ValueLook look(FieldSpan) const { return {}; }
};

// Cuts records into the fields a list of wanted field numbers names, reusing
// one array of slots, so cutting allocates nothing once warmed up: a
// template naming field 999999999 needs two slots, not a billion.
class FieldCutter {
  public:
    // `wanted` ascending, each once, and alive until the next cut().
    LineCut cut(const std::vector<std::size_t>& wanted, std::string_view record,
                const Dialect& dialect, const SeparatorBits& bits = {});

  private:
    std::vector<FieldSpan> slots_;
};

}  // namespace kolvane
