#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace kolvane {

// The window's result list as bytes: items packed into large chunks, found
// through one 8-byte start per item. Ten million short items cost their bytes
// plus about 8 bytes each, where one heap string per item would cost 40 or more.
class ResultStore {
  public:
    void clear();
    void append(std::string_view item);

    std::size_t size() const { return starts_.size(); }
    bool empty() const { return starts_.empty(); }
    std::string_view at(std::size_t index) const;
    // Bytes of all items together.
    std::uint64_t bytes() const { return bytes_; }

  private:
    static constexpr std::size_t kChunkSize = std::size_t{1} << 20;
    static constexpr int kOffsetBits = 40;  // offset within a chunk; the rest is the chunk

    struct Chunk {
        std::unique_ptr<char[]> data;
        std::size_t capacity = 0;
        std::size_t used = 0;
    };

    std::vector<Chunk> chunks_;
    std::vector<std::uint64_t> starts_;  // chunk << kOffsetBits | offset
    std::uint64_t bytes_ = 0;
};

}  // namespace kolvane
