#pragma once

#include <algorithm>
#include <cstddef>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "linesink.h"

namespace kolvane {

// Result lines on their way from a rip's thread to the list on the window's
// thread. The rip packs them into pieces of about a megabyte that the list
// then keeps as chunks of its own, so that a byte is copied once between the
// copier and the list, and the window's thread spends a pass indexing lines,
// not moving bytes. A piece the rip is still filling at a pass is shared: the
// list copies the lines released so far while the rip goes on after them.
class ListHandover {
  public:
    static constexpr std::size_t kPieceBytes = std::size_t{1} << 20;

    explicit ListHandover(std::size_t pieceBytes = kPieceBytes) : pieceBytes_(pieceBytes) {}

    // The rip's thread: takes the lines in `bytes`, each ending where `lines`
    // says, and leaves `bytes` empty. True when a piece became ready.
    bool add(std::string& bytes, std::span<const LineEnd> lines);
    // The rip's thread: makes every line added so far ready for the list.
    void release();
    // The list's thread: hands the lines ready, in their order, to `list`.
    // The first failure is answered; the lines after it are still offered.
    std::optional<Error> deliver(LineSink& list);

  private:
    // Lines ready for the list: bytes [from, to) of a piece, or all of `owned`.
    struct Handout {
        const char* data = nullptr;
        std::size_t from = 0;
        std::size_t to = 0;
        std::vector<LineEnd> ends;  // offsets in the piece
        std::string owned;          // the piece, once the rip is done with it
        bool whole = false;         // `owned` holds exactly the lines: the list may keep it
    };

    // The rip's side.
    void seal();
    std::string newPiece();
    std::string freshPiece() const;
    // Past the short-string buffer, so that moving a piece never moves its bytes.
    std::size_t pieceCapacity() const { return std::max<std::size_t>(pieceBytes_, 64); }
    std::vector<LineEnd> newEnds();

    std::size_t pieceBytes_;
    std::string piece_;  // being filled; bytes before `released_` may be read by the list
    std::size_t released_ = 0;
    std::vector<LineEnd> pieceEnds_;  // lines in the piece not yet released

    std::mutex mutex_;
    std::vector<Handout> ready_;
    std::vector<std::string> sparePieces_;  // given back by the list, for the rip to fill
    std::vector<std::vector<LineEnd>> spareEnds_;

    std::string scratch_;  // the list's side: a shared piece's lines, copied out
};

}  // namespace kolvane
