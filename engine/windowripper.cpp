#include "windowripper.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "blockripper.h"
#include "frontrules.h"
#include "listhandover.h"

namespace kolvane {

namespace {

// Bytes read at a time: many lines, and a few strides between two passes.
constexpr std::size_t kBlockSize = std::size_t{512} << 10;

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

class WindowRipper::Relay : public WindowHost, public LineSink {
  public:
    Relay(WindowHost& host, const std::string& eol) : host_(host), eol_(eol) {}

    // Runs `rip` on a thread of its own and serves its passes until it ends;
    // `list` takes the lines handed over. Where no thread can be had, the
    // rip runs here, as it always could.
    RunResult serve(const std::function<RunResult()>& rip, LineSink& list) {
        list_ = &list;
        settings_ = host_.settings();
        to_ = host_.resultsTo();
        RunResult result;
        std::thread worker;
        try {
            worker = std::thread([&] {
                try {
                    result = rip();
                } catch (const std::exception&) {
                    result.error = systemError("Cannot rip", "", ENOMEM);
                }
                std::lock_guard lock(mutex_);
                done_ = true;
                changed_.notify_all();
            });
        } catch (const std::system_error&) {
            inline_ = true;
            return rip();
        }
        std::unique_lock lock(mutex_);
        auto idleAt = std::chrono::steady_clock::now() + kIdleEvery;
        for (;;) {
            // A full piece is taken as soon as it is there: a pass then
            // finds little left to take, and the rip little to wait for.
            changed_.wait_until(lock, idleAt, [&] { return asking_ || done_ || pieceReady_; });
            pieceReady_ = false;
            // The list shows every line ripped before the pass: a stop
            // asked at the pass keeps exactly those.
            handOver(lock);
            if (asking_) {
                const Progress progress = progress_;
                lock.unlock();
                const bool keep = host_.pump(progress);
                Settings settings = host_.settings();
                ResultsTo to = host_.resultsTo();
                lock.lock();
                settings_ = std::move(settings);
                to_ = std::move(to);
                keep_ = keep && !stopAsked_;
                asking_ = false;
                answered_ = true;
                changed_.notify_all();
                idleAt = std::chrono::steady_clock::now() + kIdleEvery;
            } else if (done_) {
                break;
            } else if (std::chrono::steady_clock::now() >= idleAt) {
                lock.unlock();
                const bool keep = host_.idle();
                lock.lock();
                stopAsked_ = stopAsked_ || !keep;
                idleAt = std::chrono::steady_clock::now() + kIdleEvery;
            }
        }
        lock.unlock();
        worker.join();
        lines_.release();
        lock.lock();
        handOver(lock);
        return result;
    }

    // Whether the host asked to stop since the rip began.
    bool stopAsked() {
        std::lock_guard lock(mutex_);
        return stopAsked_ || !keep_;
    }

    // The rip's side.
    Settings settings() override {
        std::lock_guard lock(mutex_);
        return settings_;
    }
    ResultsTo resultsTo() override {
        std::lock_guard lock(mutex_);
        return to_;
    }
    bool pump(const Progress& progress) override {
        if (inline_) {
            const bool keep = host_.pump(progress);
            settings_ = host_.settings();
            to_ = host_.resultsTo();
            return keep;
        }
        // The lines before the pass reach the list in it; the rip goes on
        // filling the same piece after them.
        lines_.release();
        std::unique_lock lock(mutex_);
        progress_ = progress;
        asking_ = true;
        changed_.notify_all();
        changed_.wait(lock, [&] { return answered_; });
        answered_ = false;
        return keep_;
    }
    const std::string& eol() const override { return eol_; }
    std::optional<Error> commitLines(std::string& bytes, std::span<const LineEnd> lines,
                                     std::int64_t lineBase) override {
        if (inline_) return list_->commitLines(bytes, lines, lineBase);
        if (lines_.add(bytes, lines)) {
            std::lock_guard lock(mutex_);
            pieceReady_ = true;
            changed_.notify_all();
        }
        return std::nullopt;
    }
    std::int64_t delivered() const override { return 0; }

  private:
    // How often events run while the rip is busy between two passes.
    static constexpr std::chrono::milliseconds kIdleEvery{20};

    // Commits the lines handed over to the list, on the caller's thread.
    void handOver(std::unique_lock<std::mutex>& lock) {
        lock.unlock();
        lines_.deliver(*list_);  // the list is memory: it takes every line
        lock.lock();
    }

    WindowHost& host_;
    std::string eol_;
    LineSink* list_ = nullptr;
    bool inline_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    Settings settings_;
    ResultsTo to_;
    Progress progress_;
    bool asking_ = false;
    bool answered_ = false;
    bool keep_ = true;
    bool stopAsked_ = false;
    bool done_ = false;
    bool pieceReady_ = false;
    ListHandover lines_;
};

WindowRipper::WindowRipper(LineSink& list, OutputOpener& opener, PumpPolicy policy, std::string eol,
                           std::size_t maxResult)
    : list_(list),
      opener_(opener),
      policy_(std::move(policy)),
      eol_(std::move(eol)),
      maxResult_(maxResult),
      ripper_(std::make_unique<BlockRipper>(maxResult)) {}

WindowRipper::~WindowRipper() = default;

void WindowRipper::prepare(const Settings& settings) {
    prepare(fieldListFor(settings, std::move(fields_)));
}

void WindowRipper::prepare(FieldList fields) {
    fields_ = std::move(fields);
    listLines_ = 0;
    filesDelivered_ = 0;
}

std::int64_t WindowRipper::ripcount() const {
    return listLines_ + filesDelivered_ + (file_ ? file_->delivered() : 0);
}

std::optional<Error> WindowRipper::configure(const Settings& asked, const ResultsTo& to) {
    // A split string quoted mode cannot read is refused before the rip, and
    // typed in the middle of it leaves the records read as they were.
    const auto problem = splitProblem(asked.dialect());
    if (!problem.empty() && !plan_)
        return Error{"Cannot rip", sourceName_, std::string(problem), 0, 0};
    const Settings& settings = problem.empty() ? asked : settings_;
    if (plan_ && settings == settings_ && to == to_) return std::nullopt;
    settings_ = settings;
    to_ = to;
    plan_ = std::make_unique<RipPlan>(settings_, fields_);
    // The output file changes only at a pass: compared here, not per line.
    if (file_ && (!to_.file || file_->name() != to_.path)) {
        if (auto error = closeFile()) return error;
    }
    if (to_.file && !file_) {
        // The output is checked when it is opened, whenever that is: a file
        // chosen in the middle of a rip may be the source itself.
        auto open = [this, path = to_.path]() -> Expected<std::unique_ptr<Writer>> {
            auto writer = opener_.openAppend(path);
            if (writer && writesInto((*writer)->identity(), sourceIdentity_)) {
                return Error{"Cannot write", path, "it is the source file itself", 0, 0};
            }
            return writer;
        };
        file_.emplace(to_.path, std::move(open), eol_);
        // Written by a thread of its own while the rip goes on, as the
        // command line's one-thread rip writes.
        file_->setBackgroundWrites(true);
    }
    sink_ = to_.file ? static_cast<LineSink*>(&*file_) : listSide_;
    ripper_->configure(*plan_, sink_->eol());
    return std::nullopt;
}

std::optional<Error> WindowRipper::closeFile() {
    if (!file_) return std::nullopt;
    auto error = file_->close();
    filesDelivered_ += file_->delivered();
    file_.reset();
    return error;
}

// Hands what the block has ripped so far to the sink.
std::optional<Error> WindowRipper::deliver(RipBlock& block) {
    if (sink_ == listSide_) listLines_ += static_cast<std::int64_t>(block.ends.size());
    return deliverBlock(block, *sink_, linesBefore_);
}

bool WindowRipper::pumpHost(Relay& host, const Progress& progress, RunResult& result) {
    if (!host.pump(progress)) {
        result.stopped = true;
        return false;
    }
    result.error = configure(host.settings(), host.resultsTo());
    return !result.error;
}

RunResult WindowRipper::run(ByteSource& source, const std::string& sourceName, WindowHost& host) {
    Relay relay(host, list_.eol());
    listSide_ = &relay;
    RunResult result = relay.serve([&] { return ripAll(source, sourceName, relay); }, list_);
    if (auto error = list_.flush(); error && !result.error) result.error = std::move(error);
    return result;
}

RunResult WindowRipper::ripAll(ByteSource& source, const std::string& sourceName, Relay& host) {
    RunResult result;
    sourceIdentity_ = source.identity();
    sourceName_ = sourceName;
    linesBefore_ = 0;
    plan_.reset();
    result.error = configure(host.settings(), host.resultsTo());
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
        reader.setDialect(plan_->dialect());
        // A stop asked while the block was read leaves its records unripped.
        if (!reader.read(block) || result.error || result.stopped) break;
        for (std::size_t pos = 0; pos < block.size && !block.failed();) {
            const std::size_t until = std::min(block.size, pos + stride);
            if (!pass(until - pos, false)) break;
            // Settings changed in a pass may tell records apart another way:
            // the rest of the block is read again by them.
            if (plan_->dialect() != reader.dialect()) {
                reader.giveBack(block, pos);
                break;
            }
            pos = ripper_->rip(block, pos, until, defaultLineLimit());
        }
        if (auto error = deliver(block); error && !result.error) result.error = std::move(error);
        result.sawLine = result.sawLine || block.sawLine;
        if (result.error || result.stopped) break;
        result.error = blockError(block, sourceName, linesBefore_, maxResult_);
        linesBefore_ += block.lines;
    }
    result.stopped = result.stopped || reader.stopped();
    if (auto error = closeFile(); error && !result.error) result.error = std::move(error);
    // An output that waited for a reader and was given up when a stop was
    // asked: the rip stopped, it did not fail.
    if (result.error && result.error->code == EINTR && host.stopAsked()) {
        result.error.reset();
        result.stopped = true;
    }
    return result;
}

}  // namespace kolvane
