#include "listhandover.h"

#include <algorithm>

#include "faultin.h"

namespace kolvane {

namespace {

// Buffers kept for reuse: enough for the rip to go on while the list takes
// the last pass's pieces, few enough not to matter beside the list.
constexpr std::size_t kSparePieces = 4;
constexpr std::size_t kSpareEnds = 8;

}  // namespace

bool ListHandover::add(std::string& bytes, std::span<const LineEnd> lines) {
    if (lines.empty()) {
        bytes.clear();
        return false;
    }
    const std::size_t used = lines.back().end;
    if (used > pieceBytes_) {
        // Longer than a piece: handed over where it was built, as one.
        seal();
        Handout whole;
        whole.owned.swap(bytes);
        whole.owned.resize(used);
        whole.to = used;
        whole.ends.assign(lines.begin(), lines.end());
        whole.whole = true;
        std::lock_guard lock(mutex_);
        ready_.push_back(std::move(whole));
        return true;
    }
    bool sealed = false;
    std::size_t from = 0;
    while (!lines.empty()) {
        if (piece_.capacity() < pieceCapacity()) piece_ = newPiece();
        // Whole lines only: a line never straddles two pieces, and the
        // piece never grows, so the list may read what was released of it.
        const std::size_t at = piece_.size();
        const std::size_t room = pieceBytes_ - at;
        // Only this may fail for want of memory, and then before any line
        // is half taken.
        const std::size_t need = pieceEnds_.size() + lines.size();
        if (pieceEnds_.capacity() < need)
            pieceEnds_.reserve(std::max(need, 2 * pieceEnds_.capacity()));
        std::size_t taken = 0;
        for (; taken < lines.size() && lines[taken].end - from <= room; ++taken) {
            pieceEnds_.push_back({at + lines[taken].end - from, lines[taken].sourceLine});
        }
        if (taken > 0) {
            const std::size_t to = lines[taken - 1].end;
            piece_.append(bytes, from, to - from);
            from = to;
            lines = lines.subspan(taken);
        }
        if (!lines.empty()) {
            seal();
            sealed = true;
        }
    }
    bytes.clear();
    return sealed;
}

void ListHandover::release() {
    if (pieceEnds_.empty()) return;
    Handout part;
    part.data = piece_.data();
    part.from = released_;
    part.to = piece_.size();
    part.ends = std::exchange(pieceEnds_, newEnds());
    released_ = part.to;
    std::lock_guard lock(mutex_);
    ready_.push_back(std::move(part));
}

void ListHandover::seal() {
    if (piece_.empty() && pieceEnds_.empty()) return;
    Handout rest;
    rest.from = released_;
    rest.to = piece_.size();
    rest.ends = std::exchange(pieceEnds_, newEnds());
    rest.whole = released_ == 0;
    // The piece's bytes stay where they are: a part released before reads them.
    rest.owned = std::move(piece_);
    rest.data = rest.owned.data();
    piece_ = std::string();
    released_ = 0;
    std::lock_guard lock(mutex_);
    ready_.push_back(std::move(rest));
}

std::string ListHandover::newPiece() {
    {
        std::lock_guard lock(mutex_);
        if (!sparePieces_.empty()) {
            std::string piece = std::move(sparePieces_.back());
            sparePieces_.pop_back();
            return piece;
        }
    }
    return freshPiece();
}

std::string ListHandover::freshPiece() const {
    std::string piece;
    piece.reserve(pieceCapacity());
    return piece;
}

std::vector<LineEnd> ListHandover::newEnds() {
    std::lock_guard lock(mutex_);
    if (spareEnds_.empty()) return {};
    std::vector<LineEnd> ends = std::move(spareEnds_.back());
    spareEnds_.pop_back();
    return ends;
}

std::optional<Error> ListHandover::deliver(LineSink& list) {
    std::vector<Handout> ready;
    {
        std::lock_guard lock(mutex_);
        ready.swap(ready_);
    }
    std::optional<Error> failure;
    std::vector<std::string> pieces;
    std::vector<std::vector<LineEnd>> ends;
    for (Handout& out : ready) {
        if (!out.ends.empty()) {
            std::optional<Error> error;
            if (out.whole) {
                error = list.commitLines(out.owned, out.ends, 0);
            } else {
                scratch_.assign(out.data + out.from, out.to - out.from);
                for (LineEnd& line : out.ends) line.end -= out.from;
                error = list.commitLines(scratch_, out.ends, 0);
            }
            if (error && !failure) failure = std::move(error);
        }
        out.ends.clear();
        ends.push_back(std::move(out.ends));
        // What the list did not keep is filled again if it is a piece: a
        // buffer that grew past one, for a long line, is let go, and one too
        // small would be taken for a piece and swapped out half filled.
        const std::size_t capacity = out.owned.capacity();
        if (capacity >= pieceCapacity() && capacity < 2 * pieceCapacity()) {
            out.owned.clear();
            pieces.push_back(std::move(out.owned));
        }
    }
    // The pieces the list kept are replaced here, pages and all, so that the
    // rip's thread neither allocates nor faults memory in.
    std::size_t spare = 0;
    {
        std::lock_guard lock(mutex_);
        spare = sparePieces_.size() + pieces.size();
    }
    for (; spare < kSparePieces; ++spare) {
        std::string piece = freshPiece();
        faultIn(piece.data(), piece.capacity());
        pieces.push_back(std::move(piece));
    }
    std::lock_guard lock(mutex_);
    for (std::string& piece : pieces) {
        if (sparePieces_.size() < kSparePieces) sparePieces_.push_back(std::move(piece));
    }
    for (std::vector<LineEnd>& lines : ends) {
        if (spareEnds_.size() < kSpareEnds) spareEnds_.push_back(std::move(lines));
    }
    return failure;
}

}  // namespace kolvane
