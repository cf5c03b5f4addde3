#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "emit.h"
#include "lineindex.h"
#include "linesink.h"
#include "ripplan.h"

namespace kolvane {

// Room at the end of a string that result lines are copied into with wide
// stores and no bookkeeping per append: the string is kept longer than what
// it holds, and cut back to what it holds by settle() or on destruction.
class OutputRoom {
  public:
    // Bytes past a copy's end that a wide store may overwrite.
    static constexpr std::size_t kSlack = 64;

    explicit OutputRoom(std::string& bytes) : bytes_(bytes), used_(bytes.size()) {}
    ~OutputRoom() { settle(); }
    OutputRoom(const OutputRoom&) = delete;
    OutputRoom& operator=(const OutputRoom&) = delete;

    // Where the next `n` bytes go, with kSlack more behind them; may throw
    // std::bad_alloc.
    char* room(std::size_t n) {
        if (bytes_.size() - used_ < n + kSlack) grow(n);
        return bytes_.data() + used_;
    }
    void advance(std::size_t n) { used_ += n; }
    std::size_t used() const { return used_; }
    // Bytes that may be written at room() now, slack aside.
    std::size_t free() const { return bytes_.size() - used_ - kSlack; }

    // The string holding exactly what was written, for appending to it
    // directly; resume() takes it back afterwards.
    std::string& settle() {
        bytes_.resize(used_);
        return bytes_;
    }
    void resume() { used_ = bytes_.size(); }

  private:
    void grow(std::size_t n);

    std::string& bytes_;
    std::size_t used_;
};

// Rips the lines of an indexed block whose plan it can take, copying their
// values with wide moves into an OutputRoom: the hot loop of a rip. It cuts
// and emits through the plan like every other path, so its results are
// exactly theirs; it earns its place by how it copies, and leaves the lines
// it does not take to the caller.
class FieldCopier {
  public:
    // How far a line is cut, and how many values a result may have.
    static constexpr std::size_t kMostFields = 256;
    static constexpr std::size_t kMostValues = 64;

    // Whether the copier takes lines of `plan`: a one-byte split string, no
    // range to the line's end, no field past kMostFields, at most
    // kMostValues values, and no template that must be replaced stepwise.
    static bool takes(const RipPlan& plan);

    // `plan` must outlive every ripLines() until the next configure(); every
    // result is followed by `eol`.
    void configure(const RipPlan& plan, std::string_view eol);

    // Where ripLines() puts what it rips: results in `room`, where each ends
    // and which source line it came from in `ends`.
    struct Target {
        OutputRoom& room;
        std::vector<LineEnd>& ends;
        std::int64_t& lines;  // source lines passed, empty ones too
        bool& sawLine;        // a non-empty line was among them
        std::size_t lineLimit;
        std::size_t maxResult;
    };
    // Rips the lines of data[pos, size) one after the other while each starts
    // before `until`, ends before `to` (the index covers [pos, to)), is one
    // this copier rips, and is no longer than the line limit. Returns where
    // it stopped: the start of a line for the caller to rip its own way, or
    // past the last line it ripped.
    std::size_t ripLines(const char* data, std::size_t pos, std::size_t until, std::size_t to,
                         std::size_t size, const LineIndex& index, Target& target);

  private:
    template <bool kTemplate, bool kCheckBlank, ValueWay kWay>
    std::size_t ripRun(const char* data, std::size_t pos, std::size_t until, std::size_t to,
                       std::size_t size, const LineIndex::Maps& maps, Target& target);

    // A result is built in room made for its bound: the record's size per
    // value. Records whose bound passes this take the general path.
    static constexpr std::size_t kBoundedResult = std::size_t{64} << 10;

    const RipPlan* plan_ = nullptr;
    char split_ = 0;
    std::string eol_;  // the plan's closing text and the line end, padded for wide loads
    std::size_t eolSize_ = 0;
    // Whether a quoted-mode record with no quote in its cut fields is written
    // as plain text: always, never, or when it holds no join byte (this one).
    static constexpr int kNoJoinTest = -1;
    static constexpr int kNeverPlain = -2;
    int joinTest_ = kNeverPlain;
};

}  // namespace kolvane
