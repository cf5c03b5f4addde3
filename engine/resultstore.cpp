#include "resultstore.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <utility>

#include "faultin.h"

namespace kolvane {

void ResultStore::clear() {
    // Give the memory back: the next rip may be much smaller.
    auto chunks = std::exchange(chunks_, {});
    auto index = std::exchange(index_, {});
    size_ = 0;
    bytes_ = 0;
    if (chunks.size() < kReleaseAside) return;
    if (release_.joinable()) release_.join();
    try {
        release_ = std::jthread([chunks = std::move(chunks), index = std::move(index)]() mutable {
            chunks.clear();
            index.clear();
        });
    } catch (const std::system_error&) {
        // No thread to be had: the memory goes here.
    }
}

std::string& ResultStore::chunkFor(std::size_t bytes) {
    if (chunks_.empty() || chunks_.back().capacity() - chunks_.back().size() < bytes) {
        // Items never straddle two chunks; more than a chunk gets its own.
        chunks_.emplace_back().reserve(std::max(kChunkSize, bytes));
    }
    return chunks_.back();
}

void ResultStore::append(std::string_view item) {
    std::string bytes(item);
    const LineEnd end{item.size(), 0};
    commitLines(bytes, {&end, 1}, 0);
}

void ResultStore::newIndexBlock() {
    index_.push_back(std::make_unique_for_overwrite<std::uint64_t[]>(kIndexBlock));
    faultIn(index_.back().get(), kIndexBlock * sizeof(std::uint64_t));
}

std::optional<Error> ResultStore::commitLines(std::string& bytes, std::span<const LineEnd> lines,
                                              std::int64_t) {
    if (lines.empty()) return std::nullopt;
    const std::size_t used = lines.back().end;
    std::size_t base = 0;
    const std::size_t room = bytes.capacity() - used;
    if (used >= kChunkSize / 2 && (room <= used / 8 || used > kKeepRoomPast)) {
        // A chunk's worth or more stays where it was built: copying a result
        // of a gigabyte would hold it twice and stall the window's thread
        // for a second. One with much room to spare is copied instead, so the
        // list costs its bytes, not its buffers': a piece's room was faulted
        // in. The room a long line's result grew into was never written, and
        // pages never written cost no memory.
        chunks_.emplace_back().swap(bytes);
        chunks_.back().resize(used);
    } else {
        std::string& chunk = chunkFor(used);
        base = chunk.size();
        chunk.append(bytes, 0, used);
    }
    // A block's worth of starts at a time: the window's thread indexes
    // millions of lines in its passes.
    const std::uint64_t chunk = static_cast<std::uint64_t>(chunks_.size() - 1) << kOffsetBits;
    std::size_t from = 0;
    while (!lines.empty()) {
        const std::size_t slot = size_ & (kIndexBlock - 1);
        if (slot == 0) newIndexBlock();
        std::uint64_t* starts = index_.back().get() + slot;
        const std::size_t n = std::min(lines.size(), kIndexBlock - slot);
        for (std::size_t i = 0; i < n; ++i) {
            starts[i] = chunk | (base + from);
            from = lines[i].end;
        }
        size_ += n;
        lines = lines.subspan(n);
    }
    bytes_ += used;
    bytes.clear();
    return std::nullopt;
}

std::string_view ResultStore::at(std::size_t index) const {
    constexpr std::uint64_t kOffsetMask = (std::uint64_t{1} << kOffsetBits) - 1;
    const std::uint64_t begin = start(index);
    const auto chunk = static_cast<std::size_t>(begin >> kOffsetBits);
    const auto offset = static_cast<std::size_t>(begin & kOffsetMask);
    // An item ends where the next one in its chunk begins, or at the chunk's end.
    std::size_t end = chunks_[chunk].size();
    if (index + 1 < size_) {
        const std::uint64_t next = start(index + 1);
        if ((next >> kOffsetBits) == chunk) end = static_cast<std::size_t>(next & kOffsetMask);
    }
    return std::string_view(chunks_[chunk].data() + offset, end - offset);
}

}  // namespace kolvane
