#include "resultstore.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace kolvane {

void ResultStore::clear() {
    // Give the memory back: the next rip may be much smaller.
    std::vector<Chunk>().swap(chunks_);
    std::vector<std::unique_ptr<std::uint64_t[]>>().swap(index_);
    size_ = 0;
    bytes_ = 0;
}

void ResultStore::append(std::string_view item) {
    if (chunks_.empty() || chunks_.back().capacity - chunks_.back().used < item.size()) {
        // An item never straddles two chunks; one larger than a chunk gets its own.
        std::size_t capacity = std::max(kChunkSize, item.size());
        chunks_.push_back(Chunk{std::make_unique_for_overwrite<char[]>(capacity), capacity, 0});
    }
    Chunk& chunk = chunks_.back();
    if (!item.empty()) std::memcpy(chunk.data.get() + chunk.used, item.data(), item.size());
    index(chunk.used, item.size());
    chunk.used += item.size();
}

void ResultStore::index(std::size_t offset, std::size_t size) {
    if ((size_ & (kIndexBlock - 1)) == 0) {
        index_.push_back(std::make_unique_for_overwrite<std::uint64_t[]>(kIndexBlock));
    }
    index_.back()[size_ & (kIndexBlock - 1)] =
        static_cast<std::uint64_t>(chunks_.size() - 1) << kOffsetBits | offset;
    ++size_;
    bytes_ += size;
}

std::optional<Error> ResultStore::commit(std::size_t start, std::int64_t) {
    if (start == 0 && line_.size() > kChunkSize) {
        // A result longer than a chunk stays where it was built: copying it
        // would hold it twice, and a line of a gigabyte then needs three.
        const std::size_t size = line_.size();
        chunks_.push_back(Chunk{nullptr, size, size, std::exchange(line_, std::string())});
        index(0, size);
        return std::nullopt;
    }
    append(std::string_view(line_).substr(start));
    line_.resize(start);
    return std::nullopt;
}

std::string_view ResultStore::at(std::size_t index) const {
    constexpr std::uint64_t kOffsetMask = (std::uint64_t{1} << kOffsetBits) - 1;
    std::uint64_t begin = start(index);
    std::size_t chunk = static_cast<std::size_t>(begin >> kOffsetBits);
    std::size_t offset = static_cast<std::size_t>(begin & kOffsetMask);
    // An item ends where the next one in its chunk begins, or at the chunk's end.
    std::size_t end = chunks_[chunk].used;
    if (index + 1 < size_) {
        std::uint64_t next = start(index + 1);
        if ((next >> kOffsetBits) == chunk) end = static_cast<std::size_t>(next & kOffsetMask);
    }
    return std::string_view(chunks_[chunk].bytes() + offset, end - offset);
}

}  // namespace kolvane
