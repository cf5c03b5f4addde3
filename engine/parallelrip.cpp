#include "parallelrip.h"

#include <pthread.h>
#include <sched.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <system_error>
#include <utility>

namespace kolvane {

unsigned ParallelRipper::defaultThreads() {
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    if (::sched_getaffinity(0, sizeof cpus, &cpus) == 0 && CPU_COUNT(&cpus) > 0) {
        return static_cast<unsigned>(CPU_COUNT(&cpus));
    }
    return std::max(1U, std::thread::hardware_concurrency());
}

ParallelRipper::ParallelRipper(OutputFile& out, unsigned threads, std::size_t blockSize,
                               std::size_t lineLimit, std::size_t maxResult)
    : out_(out),
      threads_(std::max(threads, 1U)),
      blockSize_(std::max<std::size_t>(blockSize, 1)),
      lineLimit_(lineLimit),
      maxResult_(maxResult) {}

ParallelRipper::~ParallelRipper() = default;

bool ParallelRipper::commit(RipBlock& block, const std::string& sourceName, RunResult& result) {
    result.sawLine = result.sawLine || block.sawLine;
    result.sawValue = result.sawValue || holdsValue(block);
    auto error = deliverBlock(block, out_, linesBefore_);
    if (!error) error = blockError(block, sourceName, linesBefore_, maxResult_);
    if (error) {
        result.error = std::move(error);
        return false;
    }
    linesBefore_ += block.lines;
    // Between two blocks, which end on record ends: where a stop leaves whole lines.
    if (!host_->pump(Progress{ripcount(), result.sawLine, 0, std::nullopt})) {
        result.stopped = true;
        return false;
    }
    return true;
}

// Every thread does what is due, in this order: commit the oldest block once
// it is ripped (one committer at a time, in source order), else read the next
// block (one reader at a time) and rip it, else wait. No thread only waits
// for others, so N threads keep N cores busy.
void ParallelRipper::work(BlockRipper& worker, BlockReader& reader, const std::string& sourceName,
                          RunResult& result) {
    const std::size_t slots = blocks_.size();
    std::unique_lock lock(mutex_);
    while (!stop_ && !(sourceDone_ && committed_ == read_)) {
        RipBlock& oldest = *blocks_[committed_ % slots];
        if (!committing_ && committed_ < read_ && oldest.ripped) {
            committing_ = true;
            lock.unlock();
            bool ok = false;
            try {
                ok = commit(oldest, sourceName, result);
            } catch (const std::bad_alloc&) {
                reportNoMemory(result, linesBefore_ + 1);
            }
            oldest.release(blockSize_);
            lock.lock();
            committing_ = false;
            ++committed_;
            stop_ = stop_ || !ok;
        } else if (!reading_ && !sourceDone_ && read_ - committed_ < slots &&
                   (anyoneReads_ || &worker == workers_.front().get())) {
            reading_ = true;
            RipBlock& block = *blocks_[read_ % slots];
            lock.unlock();
            bool got = false;
            bool noMemory = false;
            try {
                got = reader.read(block);
            } catch (const std::bad_alloc&) {
                noMemory = true;  // not even for the message of a block's failure
            }
            lock.lock();
            reading_ = false;
            if (noMemory) readNoMemory_ = stop_ = true;
            if (!got) {
                sourceDone_ = true;
            } else {
                ++read_;
                block.ripped = false;
                wake_.notify_all();  // the next block may be read meanwhile
                lock.unlock();
                try {
                    worker.rip(block, 0, block.size, lineLimit_);
                } catch (const std::bad_alloc&) {
                    block.outOfMemory = block.lines + 1;  // no room to index the block
                }
                lock.lock();
                block.ripped = true;
            }
        } else {
            wake_.wait(lock);
            continue;
        }
        wake_.notify_all();
    }
}

bool ParallelRipper::holdsValue(const RipBlock& block) const {
    std::size_t start = 0;
    for (const LineEnd& line : block.ends) {
        if (std::string_view(block.output).substr(start, line.end - start) != emptyResult_) {
            return true;
        }
        start = line.end;
    }
    return false;
}

void ParallelRipper::reportNoMemory(RunResult& result, std::int64_t line) {
    if (result.error || !noMemory_) return;
    result.error = std::move(noMemory_);  // moved, not copied: no memory is needed
    result.error->line = line;
}

void ParallelRipper::prepare(const Settings& settings) {
    prepare(fieldListFor(settings, std::move(fields_)));
}

void ParallelRipper::prepare(FieldList fields) {
    fields_ = std::move(fields);
    deliveredBefore_ = out_.delivered();
}

RunResult ParallelRipper::run(ByteSource& source, const std::string& sourceName, RipHost& host,
                              std::int64_t linesBefore) {
    const RipPlan plan(host.settings(), fields_);
    // What a record without any of the wanted values gives, with its line end.
    LineRipper empty;
    empty.configure(plan);
    emptyResult_.clear();
    empty.rip({}, emptyResult_);
    emptyResult_ += out_.eol();
    host_ = &host;
    linesBefore_ = linesBefore;
    read_ = committed_ = 0;
    sourceDone_ = stop_ = reading_ = committing_ = false;
    out_.setBackgroundWrites(threads_ == 1);
    workers_.resize(threads_);
    for (auto& worker : workers_) {
        if (!worker) worker = std::make_unique<BlockRipper>(maxResult_);
        worker->configure(plan, out_.eol());
    }
    // Enough blocks for every thread to rip one while one is read and one
    // written. One thread does each in turn: one block, which stays in the
    // cache from its read to its rip.
    blocks_.resize(threads_ == 1 ? 1 : threads_ + 2);
    for (auto& block : blocks_) {
        if (!block) block = std::make_unique<RipBlock>();
        block->ripped = false;
    }
    // A file of known size never keeps a read waiting; a pipe or a terminal
    // may, and is read by the caller's thread only.
    anyoneReads_ = source.size().has_value();
    BlockReader reader(source, blockSize_, lineLimit_, [&] { return host.pump(Progress{}); });
    reader.setDialect(plan.dialect());
    // A long line waits until every block before it is committed and its
    // results written: memory then holds this line and its result, about
    // twice the line, whatever the thread count.
    std::optional<Error> drained;
    reader.onLongLine([&] {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [&] { return committed_ == read_ || stop_; });
        lock.unlock();
        if (auto error = out_.flush(); error && !drained) drained = std::move(error);
    });
    RunResult result;
    // Made now: where memory runs out, the message could not be.
    noMemory_ = systemError("Cannot rip", sourceName, ENOMEM);
    readNoMemory_ = false;
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < threads_; ++i) {
        try {
            helpers.emplace_back([&, w = workers_[i].get()] {
                // Signals go to the caller's thread, which alone reads a source
                // that may wait: a read a signal interrupts is how a stop is seen.
                sigset_t all;
                sigfillset(&all);
                pthread_sigmask(SIG_BLOCK, &all, nullptr);
                work(*w, reader, sourceName, result);
            });
        } catch (const std::system_error&) {
            break;  // a thread limit: the threads there are do the work
        } catch (const std::bad_alloc&) {
            break;  // no memory for another thread's stack: the same
        }
    }
    work(*workers_[0], reader, sourceName, result);
    for (auto& helper : helpers) helper.join();
    if (readNoMemory_) reportNoMemory(result, linesBefore_ + 1);
    result.stopped = result.stopped || reader.stopped();
    if (drained && !result.error) result.error = std::move(drained);
    if (auto error = out_.flush(); error && !result.error) result.error = std::move(error);
    return result;
}

}  // namespace kolvane
