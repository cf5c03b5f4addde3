#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fieldlist.h"
#include "lineindex.h"
#include "lineripper.h"
#include "outputfile.h"

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

// Rips lines whose one-byte split string an index has marked, for the lists
// and templates that most rips use, by copying their values straight into an
// OutputRoom: the hot loop of a rip of a large file. Gives exactly what
// LineRipper gives, each result followed by the line end, and leaves the
// lines it does not take to the caller.
class FieldCopier {
  public:
    // How far a line is cut, and how many values a result may have.
    static constexpr std::size_t kMostFields = 256;
    static constexpr std::size_t kMostValues = 64;

    // As LineRipper::configure(), with the line end that follows every result.
    // False when these settings are not for the copier: a split string not of
    // one byte, a range to the line's end, a field past kMostFields, more than
    // kMostValues values, or a template whose own brackets form no placeholder.
    bool configure(const Settings& settings, const FieldList& fields, std::string_view eol);

    // Where ripLines() puts what it rips: results in `room`, where each ends
    // and which source line it came from in `ends`.
    struct Target {
        OutputRoom& room;
        std::vector<OutputFile::LineEnd>& ends;
        std::int64_t& lines;  // source lines passed, empty ones too
        bool& sawLine;        // a non-empty line was among them
        std::size_t lineLimit;
        std::size_t maxResult;
    };
    // Rips the lines of data[pos, size) one after the other while each ends
    // before `to` (the index covers [pos, to)), is one this copier rips, and is
    // no longer than the line limit. Returns where it stopped: the start of a
    // line for the caller to rip its own way, or `size`.
    std::size_t ripLines(const char* data, std::size_t pos, std::size_t to, std::size_t size,
                         const LineIndex& index, Target& target);

  private:
    // One value of the result, after the literal text before it; offsets and
    // sizes are in text_.
    struct Step {
        std::uint32_t literal = 0;
        std::uint32_t literalSize = 0;
        std::uint32_t field = 0;        // 0 for a number below 1, which matches nothing
        std::uint32_t placeholder = 0;  // a template's "[n]", kept for a missing field
        std::uint32_t placeholderSize = 0;
    };
    std::uint32_t addText(std::string_view text);
    bool planTemplate(std::string_view t, std::string_view& closingText);
    // Appends one line's result and line end at `p`, the line cut into
    // `stop`; clears `complete` when the skip rule drops the line.
    template <bool kTemplate, bool kCheckBlank>
    char* build(char* p, const char* line, const std::int32_t* stop, std::size_t got,
                bool reachedEnd, bool& complete) const;
    template <bool kTemplate, bool kCheckBlank>
    std::size_t ripRun(const char* data, std::size_t pos, std::size_t to, std::size_t size,
                       const LineIndex::Maps& maps, Target& target);

    // A result is built in room made for its bound: the line's size per value.
    // Lines whose bound passes this take the general path.
    static constexpr std::size_t kBoundedResult = std::size_t{64} << 10;

    char split_ = 0;
    bool template_ = false;
    bool checkBlank_ = false;
    std::size_t maxField_ = 0;
    std::string text_;           // literals and placeholders, padded for wide loads
    std::vector<Step> steps_;    // at most kMostValues
    Step closing_;               // a template's closing text, and the line end
    std::size_t fixedSize_ = 0;  // every literal and placeholder, and the line end
    std::size_t eolSize_ = 0;
};

}  // namespace kolvane
