#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "error.h"
#include "io.h"
#include "quoterules.h"
#include "textdecode.h"

namespace kolvane {

// Part `index` of `count` (from 1): the records that start in the index-th
// of `count` equal ranges of the sources' bytes, the sources counted as one
// stream. Every record starts in exactly one range, so the parts written one
// after the other are the whole rip, and each reads about its range alone:
// the way to spread one file over the tasks of a scheduler.
struct PartNumber {
    std::uint64_t index = 1;
    std::uint64_t count = 1;
};

// How a part finds where its records start: it reads `context` bytes before
// a range's edge to learn whether the edge lies inside quotes (in real files
// a few KiB decide it), twice as many while that stretch cannot tell, and
// files in blocks of `block` bytes.
struct PartReading {
    std::size_t context = std::size_t{4} << 10;
    std::size_t block = std::size_t{64} << 10;
};

// A source file, and which of its bytes a part rips: [begin, end), whole
// records, in the file's own offsets.
struct SourcePart {
    std::string path;
    TextForm form;  // as its first bytes and the declared encoding say
    std::uint64_t size = 0;
    std::uint64_t begin = 0;
    std::uint64_t end = 0;

    // Whether the part rips the source's first record (its header, with -H).
    bool holdsFirstRecord() const { return begin == form.mark && end > begin; }
};

// Where the first record at or after file offset `at` starts: the file's
// size when no record starts later. `known` is a record start before `at`
// (the text's start when 0), from which reading is exact: where quotes are
// far between, reading goes back as far as that. Code units are whole: an
// `at` inside one counts from the unit's start.
Expected<std::uint64_t> firstRecordFrom(const SourcePart& file, std::uint64_t at,
                                        const Dialect& dialect, const PartReading& how = {},
                                        std::uint64_t known = 0);

// Each source's share of part `part` of `paths`, whose text is in `encoding`
// (empty: as marked, or bytes), read as `dialect` tells records apart. A
// source that cannot be cut (standard input, a pipe, a compressed file, an
// encoding of several bytes a character) is a usage problem, given as its
// message; a source that cannot be read is an Error.
std::variant<std::vector<SourcePart>, std::string, Error> planPart(
    const std::vector<std::string>& paths, const PartNumber& part, const Dialect& dialect,
    const std::string& encoding, const PartReading& how = {});

// The share's bytes read as text. A share holding the first record is read
// from the file's start, its mark as a rip reads it; any other from its first
// record, in the form the file's start gave.
Expected<std::unique_ptr<ByteSource>> openSourcePart(const SourcePart& share,
                                                     const StopAsked& stopAsked);

// Makes the line `error` names count from the file's start, where the rip
// counted from the share's: the lines before it are counted only now, since
// counting them means reading everything before the share.
void countFromFileStart(Error& error, const SourcePart& share);

}  // namespace kolvane
