#include "rip.h"

#include "linereader.h"

namespace kolvane {

namespace {

// Decides, line by line, when the host's events are due.
class Pacer {
  public:
    explicit Pacer(const PumpPolicy& policy)
        : policy_(policy), untilClock_(stride()), next_(after()) {}

    // `bytes`: the size of the line about to be ripped.
    bool due(std::size_t bytes) {
        if (policy_.interval.count() < 0) return false;
        // A line costs about 32 bytes' worth of work beyond its bytes.
        untilClock_ -= static_cast<std::int64_t>(bytes) + 32;
        if (untilClock_ > 0) return false;
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
    if (!settings.smart) {
        if (auto parsed = FieldList::parse(settings.fields)) fields_ = std::move(*parsed);
    }
    ripcount_ = 0;
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

std::optional<Error> Ripper::splitline(std::string_view line, std::int64_t lineNumber) {
    if (line.empty()) return std::nullopt;
    sawLine_ = true;
    std::string& buffer = sink_->buffer();
    const std::size_t start = buffer.size();
    const bool complete = ripper_.rip(line, buffer);
    if (ripper_.tooLong()) {
        const auto mib = std::to_string(ripper_.maxResult() >> 20);
        return Error{"Cannot rip", sourceName_, "the result line would pass " + mib + " MiB",
                     lineNumber, 0};
    }
    if (!complete && settings_.skipEmpty) {
        buffer.resize(start);
        return std::nullopt;
    }
    if (auto error = sink_->commit(start, lineNumber)) return error;
    ++ripcount_;
    return std::nullopt;
}

RunResult Ripper::run(ByteSource& source, const std::string& sourceName, RipHost& host) {
    RunResult result;
    sawLine_ = false;
    sourceName_ = sourceName;
    result.error = configure(host.settings());
    LineReader reader(source);
    Pacer pacer(policy_);
    while (!result.error) {
        auto line = reader.next();
        if (!line) break;
        if (pacer.due(line->size())) {
            if (!host.pump(Progress{ripcount_, sawLine_, reader.bytesRead(), source.size()})) {
                result.stopped = true;
                break;
            }
            pacer.pumped();
            if ((result.error = configure(host.settings()))) break;
        }
        result.error = splitline(*line, reader.lineNumber());
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
