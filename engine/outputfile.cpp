#include "outputfile.h"

#include <algorithm>

namespace kolvane {

OutputFile::OutputFile(OutputOpener& opener, std::string path, std::string eol)
    : opener_(opener), path_(std::move(path)), eol_(std::move(eol)) {
    // Room for a full buffer plus the line that crosses the mark.
    buf_.reserve(kBufferSize + (kBufferSize >> 2));
}

std::optional<Error> OutputFile::open() {
    auto writer = opener_.openAppend(path_);
    if (!writer) return writer.error();
    writer_ = std::move(*writer);
    written_ = 0;
    return std::nullopt;
}

std::optional<Error> OutputFile::Appendline(std::string_view line, std::int64_t sourceLine) {
    std::size_t start = buf_.size();
    buf_.append(line);
    return commitLine(start, sourceLine);
}

std::optional<Error> OutputFile::commitLine(std::size_t start, std::int64_t sourceLine) {
    if (path_.empty()) {
        buf_.resize(start);
        return std::nullopt;
    }
    buf_.append(eol_);
    pending_.push_back({buf_.size(), sourceLine});
    // Lines pile up to about the buffer's size and go out together; a line
    // longer than the buffer goes out at once.
    if (buf_.size() >= kBufferSize) {
        if (auto error = flush()) {
            // This line went down with the failed write, but the caller counts a
            // line only once it is committed without error: taking it off as a
            // lost line too would leave Ripcount one short of the file.
            --linesLost_;
            return error;
        }
    }
    return std::nullopt;
}

IoResult OutputFile::writeBuffer() {
    IoResult r = writeAll(*writer_, buf_);
    if (!r.failed()) {
        written_ += buf_.size();
        return r;
    }
    // Keep the whole lines that made it; cut off the half line after them.
    auto kept = std::upper_bound(pending_.begin(), pending_.end(), r.bytes,
                                 [](std::size_t bytes, const Pending& p) { return bytes < p.end; });
    std::size_t keptBytes = kept == pending_.begin() ? 0 : std::prev(kept)->end;
    writer_->truncate(written_ + keptBytes);
    written_ += keptBytes;
    buf_.erase(0, keptBytes);
    pending_.erase(pending_.begin(), kept);
    for (auto& p : pending_) p.end -= keptBytes;
    return r;
}

std::optional<Error> OutputFile::flush() {
    if (buf_.empty()) return std::nullopt;
    IoResult r;
    if (!writer_) {
        if (auto error = open()) {
            error->line = pending_.front().sourceLine;
            linesLost_ += static_cast<std::int64_t>(pending_.size());
            buf_.clear();
            pending_.clear();
            return error;
        }
    }
    r = writeBuffer();
    if (r.failed()) {
        // One more attempt on a fresh descriptor, still appending: a second
        // attempt must never empty what earlier lines and runs have written.
        writer_.reset();
        if (!open()) r = writeBuffer();
    }
    if (r.failed()) {
        Error error = systemError("Cannot write", path_, r.code, pending_.front().sourceLine);
        if (r.code == 0) error.cause = r.cause;
        linesLost_ += static_cast<std::int64_t>(pending_.size());
        buf_.clear();
        pending_.clear();
        return error;
    }
    buf_.clear();
    pending_.clear();
    return std::nullopt;
}

}  // namespace kolvane
