#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "error.h"
#include "io.h"
#include "linesink.h"

namespace kolvane {

// The output file of file-to-file mode. It is opened once, at the first line,
// and written in large blocks, but what the file holds after a run, or after a
// run stopped on an error, is exactly what appending line by line would have
// left: earlier content untouched, and never half a line at the end.
//
// A full buffer is written by a background thread while the rip fills the
// next one: writing costs about as much as ripping, and on two cores the two
// then overlap instead of adding up. A failure of that write is reported at
// the next hand-over or at flush(), with the same accounting as a failure here.
class OutputFile : public LineSink {
  public:
    static constexpr std::size_t kBufferSize = std::size_t{256} << 10;
    // Opens the destination for appending: at the first line, and once more
    // after a failed write.
    using Open = std::function<Expected<std::unique_ptr<Writer>>()>;

    // `name` names the destination in error messages; an empty name means
    // there is none, and lines are dropped.
    OutputFile(std::string name, Open open, std::string eol);
    ~OutputFile() override;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const std::string& name() const { return name_; }

    // Whether full buffers are written by the background thread (the default)
    // or by the thread that commits, for a caller whose other threads keep the
    // cores busy meanwhile: a writer thread then only competes for them.
    void setBackgroundWrites(bool background) { background_ = background; }

    const std::string& eol() const override { return eol_; }
    // Takes many lines at once: `bytes` holds them, each followed by eol(), and
    // `lines` says where each ends, its source line counted from `lineBase`.
    // Takes over `bytes` without a copy when nothing else is waiting (leaving
    // it an empty buffer to reuse). Lines pile up to about kBufferSize and go
    // out together.
    std::optional<Error> commitLines(std::string& bytes, std::span<const LineEnd> lines,
                                     std::int64_t lineBase) override;
    std::int64_t delivered() const override { return committed_ - lost_; }

    // Writes everything committed and returns when it is in the file. On a
    // failure the file is reopened for appending and the write tried once more;
    // if that fails too, the file is cut back to its last whole line and the
    // error says which source line was not written.
    std::optional<Error> flush() override;
    // Flushes, then closes the file: a write error the system delayed until
    // the close is an error too.
    std::optional<Error> close() override;

  private:
    using Pending = LineEnd;  // `end` counts from the start of its batch
    // Committed lines on their way to the file.
    struct Batch {
        std::string bytes;
        std::vector<Pending> pending;
        void clear() {
            bytes.clear();
            pending.clear();
        }
    };

    // Writes a batch, retrying once on a fresh descriptor. On failure the batch
    // keeps the lines that did not reach the file. Runs on one thread at a time.
    std::optional<Error> write(Batch& batch);
    std::optional<Error> open();
    IoResult writeOnce(Batch& batch);

    // Hands the full buffer to the background writer once it is free.
    std::optional<Error> handOff();
    // Waits for the background write and takes over its outcome.
    std::optional<Error> settle();
    // Every line still buffered or in flight is lost with a failed write.
    void dropAll(Batch& failed);
    void workerLoop();

    std::string name_;
    Open open_;
    std::string eol_;
    std::unique_ptr<Writer> writer_;  // used by one thread at a time
    bool halfLineLeft_ = false;       // a failed write's part line could not be cut off
    bool background_ = true;
    Batch fill_;                  // the rip appends here
    Batch flight_;                // the background writer writes this
    std::int64_t committed_ = 0;  // lines taken by commitLines()
    std::int64_t lost_ = 0;       // of those, lines a failed write kept from the file

    std::thread worker_;  // started at the first hand-over: small rips never start it
    std::mutex mutex_;
    std::condition_variable wake_;
    bool busy_ = false;  // flight_ is being written
    bool quit_ = false;
    std::optional<Error> flightError_;
};

}  // namespace kolvane
