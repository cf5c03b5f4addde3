#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "error.h"
#include "io.h"

namespace kolvane {

// The output file of file-to-file mode. It is opened once, at the first line,
// and written in large blocks, but what the file holds after a run, or after a
// run stopped on an error, is exactly what appending line by line would have
// left: earlier content untouched, and never half a line at the end.
class OutputFile {
  public:
    static constexpr std::size_t kBufferSize = std::size_t{256} << 10;

    OutputFile(OutputOpener& opener, std::string path, std::string eol);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const std::string& path() const { return path_; }

    // Appends line and the line terminator. `sourceLine` names the source line
    // in an error message. An empty path drops the line: there is nowhere to go.
    std::optional<Error> Appendline(std::string_view line, std::int64_t sourceLine);

    // The same in two steps, for a caller that builds the line in place: append
    // the line's bytes to buffer(), then commit the bytes from `start` on (the
    // buffer's size before the line) as one line, or cut them off with
    // buffer().resize(start) to drop it.
    std::string& buffer() { return buf_; }
    std::optional<Error> commitLine(std::size_t start, std::int64_t sourceLine);

    // Writes what is buffered. On a failure the file is reopened for appending
    // and the write tried once more; if that fails too, the file is cut back to
    // its last whole line and the error says which source line was not written.
    std::optional<Error> flush();

    // Lines committed without error that did not reach the file because a
    // later flush failed.
    std::int64_t linesLost() const { return linesLost_; }

  private:
    std::optional<Error> open();
    // Writes buf_ through writer_ and, on failure, cuts back to a line boundary.
    IoResult writeBuffer();

    struct Pending {
        std::size_t end;  // offset in buf_ just past this line's terminator
        std::int64_t sourceLine;
    };

    OutputOpener& opener_;
    std::string path_;
    std::string eol_;
    std::unique_ptr<Writer> writer_;
    std::uint64_t written_ = 0;  // bytes this writer has appended, all whole lines
    std::string buf_;
    std::vector<Pending> pending_;
    std::int64_t linesLost_ = 0;
};

}  // namespace kolvane
