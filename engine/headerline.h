#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "io.h"
#include "quoterules.h"

namespace kolvane {

// A source that passes what `inner` gives on, keeping the first `most` bytes
// read through it in `kept`: the start of a source a rip reads, for what the
// session works out of it afterwards.
class KeptStart : public ByteSource {
  public:
    KeptStart(std::unique_ptr<ByteSource> inner, std::string& kept, std::size_t most)
        : inner_(std::move(inner)), kept_(kept), most_(most) {}

    IoResult read(std::span<char> buf) override;
    std::optional<std::uint64_t> size() const override { return inner_->size(); }
    std::uint64_t consumed() const override { return inner_->consumed(); }
    std::optional<FileIdentity> identity() const override { return inner_->identity(); }

  private:
    std::unique_ptr<ByteSource> inner_;
    std::string& kept_;
    std::size_t most_;
};

// The names a header record gives its fields, field 1 first; in quoted mode
// unquoted.
std::vector<std::string> headerNames(std::string_view record, const Dialect& dialect);

}  // namespace kolvane
