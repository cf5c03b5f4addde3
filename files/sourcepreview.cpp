#include "sourcepreview.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "io.h"
#include "recordstream.h"
#include "sourceopen.h"
#include "textsource.h"

namespace kolvane {

namespace {

// How long one read of a slow source may wait before the deadline is checked.
constexpr std::chrono::milliseconds kReadWait{10};

}  // namespace

// A source that can be read only once, with every byte read from it kept, so
// that it can be read again from its start: by the preview as often as it
// asks, and once by the rip, which then gets the rest of the source too.
class KeptSource : public SourceOver {
  public:
    KeptSource(std::unique_ptr<ByteSource> source, std::size_t most)
        : SourceOver(std::move(source)), most_(most) {}

    void rewind() { at_ = 0; }
    // From now on nothing more is kept: the rip's reading.
    void release() { keeping_ = false; }

    IoResult read(std::span<char> buf) override {
        if (at_ < kept_.size()) {
            const std::size_t n = std::min(buf.size(), kept_.size() - at_);
            std::memcpy(buf.data(), kept_.data() + at_, n);
            at_ += n;
            // Served to the rip: the memory goes at once.
            if (!keeping_ && at_ == kept_.size()) std::string().swap(kept_), at_ = 0;
            return IoResult{n, 0, {}};
        }
        if (!keeping_) return inner_->read(buf);
        const std::size_t room = most_ - kept_.size();
        if (room == 0) {
            return IoResult{0, 0,
                            "the preview keeps at most " + std::to_string(most_ >> 20) +
                                " MiB of a source that can be read only once; Rip reads all of it"};
        }
        IoResult r = inner_->read(buf.first(std::min(buf.size(), room)));
        kept_.append(buf.data(), r.bytes);
        at_ += r.bytes;
        return r;
    }
    std::uint64_t consumed() const override {
        const std::uint64_t read = inner_->consumed();
        const std::uint64_t ahead = kept_.size() - at_;
        return read > ahead ? read - ahead : 0;
    }

  private:
    std::size_t most_;
    std::string kept_;
    std::size_t at_ = 0;  // the next byte of kept_ to serve
    bool keeping_ = true;
};

SourcePreview::SourcePreview(std::chrono::milliseconds deadline, std::size_t keptOnce)
    : deadline_(deadline), keptOnce_(keptOnce) {}

SourcePreview::~SourcePreview() = default;

bool SourcePreview::holdsOnce(const Identity& file) const {
    return once_ && onceFile_.path == file.path && onceFile_.device == file.device &&
           onceFile_.inode == file.inode;
}

Expected<ByteSource*> SourcePreview::once(const std::string& path, const Identity& file) {
    if (!holdsOnce(file)) {
        once_.reset();
        auto opened = openWithoutBlocking(path, kReadWait);
        if (!opened) return opened.error();
        once_ = std::make_unique<KeptSource>(std::move(*opened), keptOnce_);
        onceFile_ = file;
    }
    once_->rewind();
    return static_cast<ByteSource*>(once_.get());
}

std::unique_ptr<ByteSource> SourcePreview::takeSource(const std::string& path) {
    const std::optional<Identity> now = identify(path);
    if (!now || !holdsOnce(*now)) return nullptr;
    once_->rewind();
    once_->release();
    return std::move(once_);
}

std::optional<SourcePreview::Identity> SourcePreview::identify(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return Identity{path,
                    st.st_dev,
                    st.st_ino,
                    static_cast<std::uint64_t>(st.st_size),
                    static_cast<std::int64_t>(st.st_mtim.tv_sec),
                    static_cast<std::int64_t>(st.st_mtim.tv_nsec),
                    static_cast<std::int64_t>(st.st_ctim.tv_sec),
                    static_cast<std::int64_t>(st.st_ctim.tv_nsec),
                    S_ISREG(st.st_mode)};
}

Expected<ByteSource*> SourcePreview::openFrom(const std::string& path, const Mark& from,
                                              bool resume, std::unique_ptr<ByteSource>& opened) {
    if (!from.file.regular) return once(path, from.file);
    auto file = FileSource::open(path, from.offset);
    if (!file) return file.error();
    opened = resume ? std::move(*file) : readAsText(std::move(*file));
    return opened.get();
}

Expected<std::optional<PreviewLine>> SourcePreview::line(const std::string& path,
                                                         std::int64_t number,
                                                         const std::atomic<bool>* cancel) {
    if (path.empty()) return Error{"Cannot read", "", "no source file given", 0, 0};
    const std::optional<Identity> before = identify(path);
    if (!before) return systemError("Cannot open", path, errno);
    const bool regular = before->regular;

    // Resume behind the remembered line only when the file is the one that was
    // read and the wanted line lies after it. A mark is only kept for a file
    // read as it is: a compressed one is read from its start, as text.
    const bool resume = mark_ && regular && mark_->file == *before && mark_->line < number;
    Mark now = resume ? *mark_ : Mark{*before, 0, 0};
    mark_.reset();
    // A regular file is read here, to the line's end however far; anything
    // else may wait for a writer or never end a line, gets a deadline, and is
    // read only as far as the wanted line's start.
    std::unique_ptr<ByteSource> file;
    Expected<ByteSource*> source = openFrom(path, now, resume, file);
    if (!source) return source.error();
    using Clock = std::chrono::steady_clock;
    const auto deadline = regular ? std::nullopt : std::optional(Clock::now() + deadline_);
    bool late = false;
    RecordStream lines(
        **source, Dialect{"", false},
        [&] {
            late = deadline && Clock::now() >= *deadline;
            return !late && !(cancel && cancel->load());
        },
        kBlockBytes);
    std::optional<PreviewLine> found;
    while (now.line < number) {
        const bool wanted = now.line + 1 == number;
        PreviewLine kept;
        const auto outcome =
            lines.next(wanted ? &kept.start : nullptr, kKeptBytes, kept.cut, !regular);
        if (outcome == RecordStream::Outcome::failed) {
            return readError(path, lines.failure(), now.line + 1);
        }
        if (outcome == RecordStream::Outcome::stopped) {
            return Error{"Cannot read", path,
                         late ? "no line came within " + std::to_string(deadline_.count()) + " ms"
                              : std::string("the preview was given up"),
                         now.line + 1, 0};
        }
        if (outcome == RecordStream::Outcome::end) break;
        ++now.line;
        if (wanted) found = std::move(kept);
    }
    now.offset += lines.consumed();
    // A file that changed while it was read may have given a mix of both
    // versions at this offset: answer, but remember nothing of it.
    if (regular && lines.faithful() && identify(path) == *before) mark_ = now;
    return found;
}

}  // namespace kolvane
