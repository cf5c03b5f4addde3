#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "refdata.h"

namespace kolvane::bench {

// One kind of export for timing quoted mode: how wide its records are, how
// long their values, and how often a record has a value that needs quotes, a
// doubled quote or a line end inside quotes. Records are CR LF-terminated,
// quoted as little as RFC 4180 allows, after a header line. Column 2 holds
// the quoted value ("Berg, Anna"), column 3 never needs quotes, so the job
// `-f 3,2` meets both kinds.
struct Shape {
    std::string_view name;
    int columns = 10;
    int quotedPercent = 20;  // records whose name is quoted
    int doubledPercent = 0;  // records with a quoted value holding ""
    int lineEndPercent = 0;  // records with a line end inside quotes
    int shortest = 3;        // bytes of an unquoted value, at least
    int longest = 12;        // and at most
};

// The family bench/quoted.sh times, each shape named on its command line.
const std::vector<Shape>& shapes();
const Shape* findShape(std::string_view name);

// Writes a shape's records one after the other, the same bytes on every machine.
class ShapeRecords {
  public:
    explicit ShapeRecords(const Shape& shape) : shape_(shape), rng_(0x5348415045ULL) {}
    void appendHeader(std::string& out) const;
    void append(std::string& out);

  private:
    void appendWord(std::string& out, int bytes);
    bool chance(int percent) { return rng_.below(100) < std::uint64_t(percent); }

    Shape shape_;
    SplitMix64 rng_;
    std::uint64_t id_ = 0;
};

}  // namespace kolvane::bench
