#include "rip.h"

#include <algorithm>
#include <cerrno>
#include <new>

#include "linereader.h"

namespace kolvane {

namespace {

// Lines longer than this have room made for their result before it is built.
constexpr std::size_t kLongLine = std::size_t{64} << 10;

// Decides, line by line, when the host's events are due.
class Pacer {
  public:
    explicit Pacer(const PumpPolicy& policy)
        : policy_(policy), untilClock_(stride()), next_(after()) {}

    // `bytes`: the size of the line about to be ripped, or what arrived of a
    // line that is `waiting` for the rest: then the clock alone decides, so a
    // source with nothing to give never keeps the host waiting for a stride.
    bool due(std::size_t bytes, bool waiting) {
        if (policy_.interval.count() < 0) return false;
        // A line costs about 32 bytes' worth of work beyond its bytes.
        untilClock_ -= static_cast<std::int64_t>(bytes) + 32;
        if (untilClock_ > 0 && !waiting) return false;
        untilClock_ = stride();
        return policy_.interval.count() == 0 || policy_.now() >= next_;
    }
    void pumped() { next_ = after(); }

  private:
    std::int64_t stride() const { return static_cast<std::int64_t>(policy_.strideBytes); }
    std::chrono::steady_clock::time_point after() const {
        return policy_.interval.count() > 0 ? policy_.now() + policy_.interval
                                            : std::chrono::steady_clock::time_point{};
    }

    const PumpPolicy& policy_;
    std::int64_t untilClock_;
    std::chrono::steady_clock::time_point next_;
};

}  // namespace

Error resultTooLong(const std::string& sourceName, std::int64_t line, std::size_t bound) {
    const std::string size = bound % (std::size_t{1} << 20) == 0
                                 ? std::to_string(bound >> 20) + " MiB"
                                 : std::to_string(bound) + " bytes";
    return Error{"Cannot rip", sourceName, "the result line would pass " + size, line, 0};
}

std::string statusText(std::int64_t ripcount) {
    return std::to_string(ripcount) + " values ripped";
}

Ripper::Ripper(LineSink& list, OutputOpener& opener, PumpPolicy policy, std::string eol,
               std::size_t maxResult)
    : list_(list),
      opener_(opener),
      policy_(std::move(policy)),
      eol_(std::move(eol)),
      ripper_(maxResult) {}

Ripper::~Ripper() = default;

void Ripper::prepare(const Settings& settings) {
    prepare(fieldListFor(settings, std::move(fields_)));
}

void Ripper::prepare(FieldList fields) {
    fields_ = std::move(fields);
    ripcount_ = 0;
}

std::optional<Error> Ripper::configure(const Settings& settings) {
    settings_ = settings;
    ripper_.configure(settings_, fields_);
    // The output file changes only while events run, so it is compared here
    // rather than per line. What went to the old file is flushed first.
    if (file_ && (!settings_.toFile || file_->name() != settings_.outfile)) {
        if (auto error = closeFile()) return error;
    }
    if (settings_.toFile && !file_) {
        file_.emplace(
            settings_.outfile,
            [this, path = settings_.outfile] { return opener_.openAppend(path); }, eol_);
    }
    sink_ = settings_.toFile ? static_cast<LineSink*>(&*file_) : &list_;
    buffer_ = &sink_->buffer();
    fileSink_ = dynamic_cast<OutputFile*>(sink_);
    return std::nullopt;
}

std::optional<Error> Ripper::flush(LineSink& sink) {
    auto error = sink.flush();
    ripcount_ -= sink.takeLinesLost();
    return error;
}

std::optional<Error> Ripper::closeFile() {
    if (!file_) return std::nullopt;
    auto error = file_->close();
    ripcount_ -= file_->takeLinesLost();
    file_.reset();
    return error;
}

std::optional<Error> Ripper::ripLine(std::string_view line, std::int64_t lineNumber,
                                     const SeparatorBits& bits) {
    if (line.empty()) return std::nullopt;
    sawLine_ = true;
    std::string& buffer = *buffer_;
    const std::size_t start = buffer.size();
    try {
        // A long line is mostly copied: make room for it once, or the buffer's
        // own doubling holds old and new copies at once.
        if (line.size() > kLongLine && line.size() > buffer.capacity() - start) {
            buffer.reserve(start + line.size() + 64);
        }
        const bool complete = ripper_.rip(line, buffer, bits);
        if (ripper_.tooLong()) return resultTooLong(sourceName_, lineNumber, ripper_.maxResult());
        if (!complete && settings_.skipEmpty) {
            buffer.resize(start);
            return std::nullopt;
        }
    } catch (const std::bad_alloc&) {
        buffer.resize(std::min(start, buffer.size()));
        return systemError("Cannot rip", sourceName_, ENOMEM, lineNumber);
    }
    if (auto error = fileSink_ != nullptr ? fileSink_->commit(start, lineNumber)
                                          : sink_->commit(start, lineNumber)) {
        return error;
    }
    ++ripcount_;
    return std::nullopt;
}

bool Ripper::pumpHost(RipHost& host, const Progress& progress, RunResult& result) {
    if (!host.pump(progress)) {
        result.stopped = true;
        return false;
    }
    result.error = configure(host.settings());
    return !result.error;
}

RunResult Ripper::run(ByteSource& source, const std::string& sourceName, RipHost& host) {
    RunResult result;
    sawLine_ = false;
    sourceName_ = sourceName;
    result.error = configure(host.settings());
    LineReader reader(source);
    reader.setSplit(settings_.split);
    Pacer pacer(policy_);
    std::uint64_t seen = 0;  // how far a pending line has been counted
    auto progress = [&] {
        return Progress{ripcount_, sawLine_, reader.bytesRead(), source.size()};
    };
    while (!result.error) {
        auto line = reader.next();
        std::size_t bytes = 0;
        if (line) {
            bytes = line->size();
        } else if (reader.pending()) {
            // What arrived of a line still counts towards a pump, so a slow
            // or endless line never keeps the host waiting.
            bytes = static_cast<std::size_t>(reader.bytesRead() - std::max(seen, reader.offset()));
            seen = reader.bytesRead();
        } else {
            break;
        }
        if (pacer.due(bytes, !line)) {
            if (!pumpHost(host, progress(), result)) break;
            pacer.pumped();
            reader.setSplit(settings_.split);
        }
        if (line) result.error = ripLine(*line, reader.lineNumber(), reader.separators());
    }
    if (!result.error && !result.stopped && reader.failure()) {
        result.error = readError(sourceName, *reader.failure(), reader.lineNumber() + 1);
    }
    for (auto error : {closeFile(), flush(list_)}) {
        if (error && !result.error) result.error = std::move(error);
    }
    result.sawLine = sawLine_;
    return result;
}

}  // namespace kolvane
