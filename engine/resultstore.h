#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "linesink.h"

namespace kolvane {

// The window's result list as bytes: items packed into large chunks, found
// through one 8-byte start per item. Ten million short items cost their bytes
// plus about 8 bytes each, where one heap string per item would cost 40 or more.
class ResultStore : public LineSink {
  public:
    std::string& buffer() override { return line_; }
    std::optional<Error> commit(std::size_t start, std::int64_t sourceLine) override;

    void clear();
    void append(std::string_view item);

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::string_view at(std::size_t index) const;
    // Bytes of all items together.
    std::uint64_t bytes() const { return bytes_; }

  private:
    static constexpr std::size_t kChunkSize = std::size_t{1} << 20;
    static constexpr int kOffsetBits = 40;  // offset within a chunk; the rest is the chunk
    // The index lives in fixed blocks: growing it never copies what is there,
    // which at ten million items would stall the window for a 64 MB copy and
    // briefly need twice the memory.
    static constexpr int kIndexBits = 16;
    static constexpr std::size_t kIndexBlock = std::size_t{1} << kIndexBits;

    std::uint64_t start(std::size_t index) const {
        return index_[index >> kIndexBits][index & (kIndexBlock - 1)];
    }

    struct Chunk {
        std::unique_ptr<char[]> data;
        std::size_t capacity = 0;
        std::size_t used = 0;
        std::string adopted{};  // one long item, kept where it was built
        const char* bytes() const { return data ? data.get() : adopted.data(); }
    };
    // Indexes a new item at `offset` of the last chunk.
    void index(std::size_t offset, std::size_t size);

    std::vector<Chunk> chunks_;
    std::vector<std::unique_ptr<std::uint64_t[]>> index_;  // chunk << kOffsetBits | offset
    std::string line_;                                     // the line being built
    std::size_t size_ = 0;
    std::uint64_t bytes_ = 0;
};

}  // namespace kolvane
