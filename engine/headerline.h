#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "error.h"
#include "io.h"
#include "quoterules.h"

namespace kolvane {

// A source that gives `prefix` first and then what `inner` gives: bytes read
// ahead (to find a header, or for a preview) go to the rip after all.
class PrefixedSource : public ByteSource {
  public:
    PrefixedSource(std::string prefix, std::unique_ptr<ByteSource> inner)
        : prefix_(std::move(prefix)), inner_(std::move(inner)) {}

    IoResult read(std::span<char> buf) override;
    std::optional<std::uint64_t> size() const override { return inner_->size(); }
    std::uint64_t consumed() const override { return inner_->consumed(); }
    std::optional<FileIdentity> identity() const override { return inner_->identity(); }

  private:
    std::string prefix_;
    std::size_t given_ = 0;
    std::unique_ptr<ByteSource> inner_;
};

// The first record of a source, as its dialect tells records apart, and
// every byte read after it.
struct HeaderRecord {
    std::string record;      // its bytes, its line end left out
    std::string terminator;  // its line end as it stood
    std::int64_t lines = 0;  // source lines it spans
    std::string after;       // bytes read behind it
};

// Reads the first record of `source`. `keepGoing` is asked before every
// read; false gives up with what was read. A record longer than the line
// limit is an error at line 1.
Expected<HeaderRecord> readHeaderRecord(ByteSource& source, const std::string& sourceName,
                                        const Dialect& dialect,
                                        const std::function<bool()>& keepGoing);

// The source from just after its header record, or, with `ripIt`, from the
// header record itself, which is then ripped like any record.
std::unique_ptr<ByteSource> sourceAfterHeader(HeaderRecord header,
                                              std::unique_ptr<ByteSource> source, bool ripIt);

// The names a header record gives its fields, field 1 first; in quoted mode
// unquoted.
std::vector<std::string> headerNames(std::string_view record, const Dialect& dialect);

}  // namespace kolvane
