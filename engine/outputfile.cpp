#include "outputfile.h"

#include <algorithm>
#include <system_error>

namespace kolvane {

OutputFile::OutputFile(std::string name, Open open, std::string eol)
    : name_(std::move(name)), open_(std::move(open)), eol_(std::move(eol)) {
    // Room for a full buffer plus the line that crosses the mark, in both
    // batches, so that steady state never allocates.
    fill_.bytes.reserve(kBufferSize + (kBufferSize >> 2));
    flight_.bytes.reserve(kBufferSize + (kBufferSize >> 2));
}

OutputFile::~OutputFile() {
    if (!worker_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

std::optional<Error> OutputFile::commitLines(std::string& bytes, std::span<const LineEnd> lines,
                                             std::int64_t lineBase) {
    if (lines.empty()) return std::nullopt;
    committed_ += static_cast<std::int64_t>(lines.size());
    if (name_.empty()) {
        bytes.clear();  // no destination: the lines are dropped, as delivered
        return std::nullopt;
    }
    // A long result is taken over, never copied behind what waits: that
    // goes out first, so a line of a gigabyte is held once.
    if (!fill_.bytes.empty() && bytes.size() >= kBufferSize) {
        if (auto error = handOff()) {
            lost_ += static_cast<std::int64_t>(lines.size());
            return error;
        }
    }
    const std::size_t shift = fill_.bytes.size();
    if (shift == 0) {
        fill_.bytes.swap(bytes);
        bytes.clear();
    } else {
        fill_.bytes.append(bytes);
    }
    for (const LineEnd& line : lines) {
        fill_.pending.push_back({shift + line.end, lineBase + line.sourceLine});
    }
    if (fill_.bytes.size() >= kBufferSize) return handOff();
    return std::nullopt;
}

std::optional<Error> OutputFile::flush() {
    if (auto error = settle()) return error;
    if (fill_.bytes.empty()) return std::nullopt;
    // The last batch is written here: nothing is left to overlap it with.
    if (auto error = write(fill_)) {
        dropAll(fill_);
        return error;
    }
    return std::nullopt;
}

std::optional<Error> OutputFile::handOff() {
    if (auto error = settle()) return error;
    if (background_ && !worker_.joinable()) {
        try {
            worker_ = std::thread([this] { workerLoop(); });
        } catch (const std::system_error&) {
            background_ = false;  // no thread to be had: this one writes
        }
    }
    if (!background_) {
        auto error = write(fill_);
        if (error) dropAll(fill_);
        return error;
    }
    std::swap(fill_, flight_);  // fill_ takes the written batch's buffers back
    {
        std::lock_guard lock(mutex_);
        busy_ = true;
    }
    wake_.notify_one();
    return std::nullopt;
}

std::optional<Error> OutputFile::settle() {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return !busy_; });
    std::optional<Error> error = std::move(flightError_);
    flightError_.reset();
    lock.unlock();
    if (error) dropAll(flight_);
    flight_.clear();
    // A batch a long line grew gives its memory back once it is written.
    if (flight_.bytes.capacity() > 4 * kBufferSize) std::string().swap(flight_.bytes);
    return error;
}

void OutputFile::dropAll(Batch& failed) {
    lost_ += static_cast<std::int64_t>(failed.pending.size());
    failed.clear();
    if (&failed != &fill_) {
        lost_ += static_cast<std::int64_t>(fill_.pending.size());
        fill_.clear();
    }
}

void OutputFile::workerLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return busy_ || quit_; });
        if (!busy_) return;  // quit, with nothing in flight
        lock.unlock();
        std::optional<Error> error = write(flight_);
        lock.lock();
        flightError_ = std::move(error);
        busy_ = false;
        wake_.notify_all();
    }
}

std::optional<Error> OutputFile::open() {
    auto writer = open_();
    if (!writer) return writer.error();
    writer_ = std::move(*writer);
    return std::nullopt;
}

std::optional<Error> OutputFile::close() {
    auto error = flush();
    if (!writer_) return error;
    IoResult closed = writer_->close();
    writer_.reset();
    if (closed.failed() && !error) error = systemError("Cannot write", name_, closed.code);
    return error;
}

IoResult OutputFile::writeOnce(Batch& batch) {
    IoResult r = writeAll(*writer_, batch.bytes);
    if (!r.failed()) {
        batch.clear();
        return r;
    }
    // Keep the whole lines that made it; cut off the half line after them.
    auto& pending = batch.pending;
    auto kept = std::upper_bound(pending.begin(), pending.end(), r.bytes,
                                 [](std::size_t bytes, const Pending& p) { return bytes < p.end; });
    std::size_t keptBytes = kept == pending.begin() ? 0 : std::prev(kept)->end;
    if (!writer_->cutBack(r.bytes - keptBytes)) halfLineLeft_ = true;
    batch.bytes.erase(0, keptBytes);
    pending.erase(pending.begin(), kept);
    for (auto& p : pending) p.end -= keptBytes;
    return r;
}

std::optional<Error> OutputFile::write(Batch& batch) {
    if (batch.bytes.empty()) return std::nullopt;
    if (!writer_) {
        if (auto error = open()) {
            error->line = batch.pending.front().sourceLine;
            return error;
        }
    }
    IoResult r = writeOnce(batch);
    if (r.failed() && writer_->reopenable() && !halfLineLeft_) {
        // One more attempt on a fresh descriptor, still appending: a second
        // attempt must never empty what earlier lines and runs have written.
        writer_.reset();
        if (!open()) r = writeOnce(batch);
    }
    if (!r.failed()) return std::nullopt;
    Error error = systemError("Cannot write", name_, r.code, batch.pending.front().sourceLine);
    if (r.code == 0) error.cause = r.cause;
    if (halfLineLeft_) {
        // Cutting would have taken another writer's lines with ours.
        error.cause += " (the file's end moved while it was written, so it was left as it is)";
    }
    return error;
}

}  // namespace kolvane
