#include "rip.h"

#include <algorithm>
#include <cerrno>
#include <new>

#include "parallelblock.h"

namespace kolvane {

namespace {

// Bytes read at a time: many lines, and a few strides between two passes.
constexpr std::size_t kBlockSize = std::size_t{256} << 10;

// Decides, stride by stride, when the host's events are due.
class Pacer {
  public:
    explicit Pacer(const PumpPolicy& policy)
        : policy_(policy), untilClock_(stride()), next_(after()) {}

    // `bytes`: the size of the stride about to be ripped; `waiting`: the
    // source has nothing yet, or a long line is still coming, and then the
    // clock alone decides, so such a source never keeps the host waiting.
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
      maxResult_(maxResult),
      ripper_(std::make_unique<BlockRipper>(maxResult)) {}

Ripper::~Ripper() = default;

void Ripper::prepare(const Settings& settings) {
    prepare(fieldListFor(settings, std::move(fields_)));
}

void Ripper::prepare(FieldList fields) {
    fields_ = std::move(fields);
    listBefore_ = list_.delivered();
    filesDelivered_ = 0;
}

std::int64_t Ripper::ripcount() const {
    return list_.delivered() - listBefore_ + filesDelivered_ + (file_ ? file_->delivered() : 0);
}

std::optional<Error> Ripper::configure(const Settings& settings) {
    if (plan_ && settings == settings_) return std::nullopt;
    settings_ = settings;
    plan_ = std::make_unique<RipPlan>(settings_, fields_);
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
    ripper_->configure(*plan_, sink_->eol());
    return std::nullopt;
}

std::optional<Error> Ripper::closeFile() {
    if (!file_) return std::nullopt;
    auto error = file_->close();
    filesDelivered_ += file_->delivered();
    file_.reset();
    return error;
}

std::optional<Error> Ripper::deliver(RipBlock& block) {
    auto error = sink_->commitLines(block.output, block.ends, linesBefore_);
    block.output.clear();
    block.ends.clear();
    return error;
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
    sourceName_ = sourceName;
    linesBefore_ = 0;
    plan_.reset();
    result.error = configure(host.settings());
    Pacer pacer(policy_);
    RipBlock block;
    auto progress = [&] {
        return Progress{ripcount(), result.sawLine || block.sawLine, source.consumed(),
                        source.size()};
    };
    // A pass between two strides of lines, once due; settings changed in it
    // apply from the next line.
    auto pass = [&](std::size_t bytes, bool waiting) {
        if (!pacer.due(bytes, waiting)) return true;
        if (auto error = deliver(block)) {
            result.error = std::move(error);
            return false;
        }
        if (!pumpHost(host, progress(), result)) return false;
        pacer.pumped();
        return true;
    };
    BlockReader reader(source, kBlockSize, defaultLineLimit(), [&] { return pass(0, true); });
    const std::size_t stride = std::max<std::size_t>(1, policy_.strideBytes);
    while (!result.error && !result.stopped) {
        // A stop asked while the block was read leaves its lines unripped.
        if (!reader.read(block) || result.error || result.stopped) break;
        std::size_t pos = 0;
        while (pos < block.size && !block.failed()) {
            const std::size_t until = std::min(block.size, pos + stride);
            if (!pass(until - pos, false)) break;
            pos = ripper_->rip(block, pos, until, defaultLineLimit());
        }
        if (auto error = deliver(block); error && !result.error) result.error = std::move(error);
        result.sawLine = result.sawLine || block.sawLine;
        if (result.error || result.stopped) break;
        if (block.outOfMemory) {
            result.error =
                systemError("Cannot rip", sourceName, ENOMEM, linesBefore_ + *block.outOfMemory);
        } else if (block.tooLong) {
            result.error = resultTooLong(sourceName, linesBefore_ + *block.tooLong, maxResult_);
        } else if (block.failure) {
            result.error = readError(sourceName, *block.failure, linesBefore_ + block.lines + 1);
        }
        linesBefore_ += block.lines;
    }
    result.stopped = result.stopped || reader.stopped();
    for (auto error : {closeFile(), list_.flush()}) {
        if (error && !result.error) result.error = std::move(error);
    }
    return result;
}

}  // namespace kolvane
