#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "linesink.h"

namespace kolvane {

// The window's result list as bytes: items packed into large chunks, found
// through one 8-byte start per item. Ten million short items cost their bytes
// plus about 8 bytes each, where one heap string per item would cost 40 or more.
class ResultStore : public LineSink {
  public:
    // Items have no line end of their own.
    const std::string& eol() const override { return eol_; }
    std::optional<Error> commitLines(std::string& bytes, std::span<const LineEnd> lines,
                                     std::int64_t lineBase) override;
    std::int64_t delivered() const override { return static_cast<std::int64_t>(size_); }

    // Empties the list; the memory of a large one is given back on a thread
    // of its own, since unmapping it takes milliseconds.
    void clear();
    void append(std::string_view item);

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::string_view at(std::size_t index) const;
    // Bytes of all items together.
    std::uint64_t bytes() const { return bytes_; }

  private:
    static constexpr std::size_t kChunkSize = std::size_t{1} << 20;
    // Past this, an item's buffer is kept with its room (see commitLines).
    static constexpr std::size_t kKeepRoomPast = 4 * kChunkSize;
    static constexpr int kOffsetBits = 40;  // offset within a chunk; the rest is the chunk
    // The index lives in fixed blocks: growing it never copies what is there,
    // which at ten million items would stall the window for a 64 MB copy and
    // briefly need twice the memory.
    static constexpr int kIndexBits = 16;
    static constexpr std::size_t kIndexBlock = std::size_t{1} << kIndexBits;
    // Chunks from which clearing gives the memory back on a thread of its own.
    static constexpr std::size_t kReleaseAside = 8;

    std::uint64_t start(std::size_t index) const {
        return index_[index >> kIndexBits][index & (kIndexBlock - 1)];
    }
    // The chunk that `bytes` more go into: the last one, or a new one.
    std::string& chunkFor(std::size_t bytes);
    void newIndexBlock();

    std::vector<std::string> chunks_;
    std::vector<std::unique_ptr<std::uint64_t[]>> index_;  // chunk << kOffsetBits | offset
    std::string eol_;
    std::size_t size_ = 0;
    std::uint64_t bytes_ = 0;
    std::jthread release_;  // giving the last large list's memory back
};

}  // namespace kolvane
