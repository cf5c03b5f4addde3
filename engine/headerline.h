#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "error.h"
#include "io.h"

namespace kolvane {

// A source that gives `prefix` first and then what `inner` gives: bytes read
// ahead (to find a header line, or for a preview) go to the rip after all.
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

// The first line of a source, and every byte read to find it.
struct FirstLine {
    std::string bytes;      // all that was read
    std::size_t end = 0;    // where the line ends in `bytes`
    std::size_t after = 0;  // where the next line starts
};

// Reads `source` up to the end of its first line (the source's end, for a
// source of one line). `keepGoing` is asked while the source has nothing yet;
// false gives up, with an empty line and the bytes read.
Expected<FirstLine> readFirstLine(ByteSource& source, const std::string& sourceName,
                                  const std::function<bool()>& keepGoing);

// The names a header line gives its fields, field 1 first; in quoted mode
// cut with quotes respected and unquoted.
std::vector<std::string> headerNames(std::string_view line, std::string_view split, bool quoted);

}  // namespace kolvane
