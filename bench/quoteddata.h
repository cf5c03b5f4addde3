#pragma once

#include <cstdint>
#include <string>

#include "refdata.h"

namespace kolvane::bench {

// Writes the quoted benchmark's records one after the other: a header, then
// ten comma-separated columns (id, name, e-mail, quantity, city, date, amount,
// status, product, note), CR LF-terminated, quoted as little as RFC 4180
// allows: about one value in five is quoted ("Berg, Anna", a product with a
// doubled quote, a note holding a comma), and one record in a hundred has a
// line end inside its quoted note. The same bytes on every machine.
class QuotedRecords {
  public:
    static constexpr std::uint64_t kSeed = 0x43535651756f7465ULL;

    QuotedRecords() : rng_(kSeed) {}

    // Appends the header line to `out`.
    static void appendHeader(std::string& out);
    // Appends the next record, with its CR LF, to `out`.
    void append(std::string& out);

  private:
    SplitMix64 rng_;
    std::uint64_t id_ = 0;
};

// The header and the first `records` records as one string.
std::string quotedData(std::uint64_t records);

}  // namespace kolvane::bench
