#include "parallelrip.h"

#include <pthread.h>
#include <sched.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "parallelblock.h"

namespace kolvane {

namespace {

// Just past the last line end in data[from, size) that surely ends a line: a
// CR as the very last byte may be the first half of a CR LF. 0 when none.
std::size_t lastCut(const char* data, std::size_t from, std::size_t size) {
    if (from >= size) return 0;
    // memrchr scans a vector at a time: a line of gigabytes is searched once
    // per doubling of its block, and byte by byte that took seconds.
    const auto* lf = static_cast<const char*>(::memrchr(data + from, '\n', size - from));
    const std::size_t after = lf != nullptr ? std::size_t(lf - data) + 1 : from;
    if (size - 1 > after) {
        const auto* cr = static_cast<const char*>(::memrchr(data + after, '\r', size - 1 - after));
        if (cr != nullptr) return std::size_t(cr - data) + 1;
    }
    return lf != nullptr ? after : 0;
}

}  // namespace

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

bool ParallelRipper::readBlock(ByteSource& source, Block& block) {
    if (inputEnded_) return false;
    block.reset();
    try {
        // Results are rarely longer than their source: room for them up front
        // spares the pages a growing buffer would take and give back block
        // after block (the output file swaps buffers with blocks).
        block.output.reserve(blockSize_);
        return fillBlock(source, block);
    } catch (const std::bad_alloc&) {
        // No room to carry a line over to the next block: rip the lines before it.
        block.failure = noMemoryForLine(block.size);
        block.size = lastCut(block.data, 0, block.size);
        inputEnded_ = true;
        return true;
    }
}

bool ParallelRipper::fillBlock(ByteSource& source, Block& block) {
    if (!block.reserve(std::max(blockSize_, carry_.size()))) {
        block.failure = noMemoryForLine(carry_.size());
        inputEnded_ = true;
        return true;
    }
    std::memcpy(block.data, carry_.data(), carry_.size());
    block.size = carry_.size();
    carry_.clear();
    std::size_t searched = 0;  // bytes before this hold no line end
    for (;;) {
        if (block.size == block.capacity) {
            if (std::size_t cut = lastCut(block.data, searched, block.size)) {
                carry_.assign(block.data + cut, block.size - cut);
                block.size = cut;
                return true;
            }
            searched = block.size - 1;  // a CR at the end may yet end a line
            // One line fills the block: the block grows with it, to just past the limit.
            const std::size_t most = std::max(lineLimit_, lineLimit_ + blockSize_);
            if (block.size > lineLimit_ || !block.reserve(std::min(block.capacity * 2, most))) {
                block.failure =
                    block.size > lineLimit_ ? lineTooLong(lineLimit_) : noMemoryForLine(block.size);
                break;
            }
        }
        IoResult r = source.read(std::span<char>(
            block.data + block.size, std::min(block.capacity - block.size, blockSize_)));
        if (r.failed()) {
            // What that read brought is not ripped, as in a sequential rip.
            block.failure = std::move(r);
            break;
        }
        if (r.noDataYet) {
            // A signal may have interrupted the read to stop the rip: it stops
            // at the last line end read, as a sequential rip does.
            if (!host_->pump(Progress{})) {
                stopped_ = true;
                block.size = lastCut(block.data, 0, block.size);
                carry_.clear();
                inputEnded_ = true;
                return block.size > 0;
            }
            std::this_thread::yield();
            continue;
        }
        if (r.bytes == 0) {
            inputEnded_ = true;
            return block.size > 0;
        }
        block.size += r.bytes;
    }
    // Reading failed: only the lines that surely ended are ripped.
    block.size = lastCut(block.data, 0, block.size);
    inputEnded_ = true;
    return true;
}

bool ParallelRipper::commit(Block& block, const std::string& sourceName, RunResult& result) {
    result.sawLine = result.sawLine || block.sawLine;
    if (auto error = out_.commitLines(block.output, block.ends, linesBefore_)) {
        result.error = std::move(error);
        return false;
    }
    ripcount_ += static_cast<std::int64_t>(block.ends.size());
    if (block.outOfMemory) {
        result.error =
            systemError("Cannot rip", sourceName, ENOMEM, linesBefore_ + *block.outOfMemory);
        return false;
    }
    if (block.tooLong) {
        result.error = resultTooLong(sourceName, linesBefore_ + *block.tooLong, maxResult_);
        return false;
    }
    linesBefore_ += block.lines;
    if (block.failure) {
        result.error = readError(sourceName, *block.failure, linesBefore_ + 1);
        return false;
    }
    // Between two blocks, which end on line ends: where a stop leaves whole lines.
    if (!host_->pump(Progress{ripcount_, result.sawLine, 0, std::nullopt})) {
        result.stopped = true;
        return false;
    }
    return true;
}

void ParallelRipper::ripBlock(Worker& worker, Block& block) {
    try {
        worker.rip(block, lineLimit_);
    } catch (const std::bad_alloc&) {
        block.outOfMemory = block.lines + 1;  // no room to index the block
    }
}

// Every thread does what is due, in this order: commit the oldest block once
// it is ripped (one committer at a time, in source order), else read the next
// block (one reader at a time) and rip it, else wait. No thread only waits
// for others, so N threads keep N cores busy.
void ParallelRipper::work(Worker& worker, ByteSource& source, const std::string& sourceName,
                          RunResult& result) {
    const std::size_t slots = blocks_.size();
    std::unique_lock lock(mutex_);
    while (!stop_ && !(sourceDone_ && committed_ == read_)) {
        Block& oldest = *blocks_[committed_ % slots];
        if (!committing_ && committed_ < read_ && oldest.ripped) {
            committing_ = true;
            lock.unlock();
            const bool ok = commit(oldest, sourceName, result);
            lock.lock();
            committing_ = false;
            ++committed_;
            stop_ = stop_ || !ok;
        } else if (!reading_ && !sourceDone_ && read_ - committed_ < slots &&
                   (anyoneReads_ || &worker == workers_.front().get())) {
            reading_ = true;
            Block& block = *blocks_[read_ % slots];
            lock.unlock();
            const bool got = readBlock(source, block);
            lock.lock();
            reading_ = false;
            if (!got) {
                sourceDone_ = true;
            } else {
                ++read_;
                block.ripped = false;
                wake_.notify_all();  // the next block may be read meanwhile
                lock.unlock();
                ripBlock(worker, block);
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

void ParallelRipper::prepare(const Settings& settings) {
    prepare(fieldListFor(settings, std::move(fields_)));
}

void ParallelRipper::prepare(FieldList fields) {
    fields_ = std::move(fields);
    ripcount_ = 0;
}

RunResult ParallelRipper::run(ByteSource& source, const std::string& sourceName, RipHost& host) {
    const Settings settings = host.settings();
    settings_ = settings;
    host_ = &host;
    linesBefore_ = 0;
    carry_.clear();
    inputEnded_ = false;
    read_ = committed_ = 0;
    sourceDone_ = stop_ = reading_ = committing_ = false;
    out_.setBackgroundWrites(threads_ == 1);
    workers_.resize(threads_);
    for (auto& worker : workers_) {
        if (!worker) worker = std::make_unique<Worker>(maxResult_);
        worker->configure(settings_, fields_, out_.eol());
    }
    // Enough blocks for every thread to rip one while one is read and one
    // written. One thread does each in turn: one block, which stays in the
    // cache from its read to its rip.
    blocks_.resize(threads_ == 1 ? 1 : threads_ + 2);
    for (auto& block : blocks_) {
        if (!block) block = std::make_unique<Block>();
        block->ripped = false;
    }
    // A file of known size never keeps a read waiting; a pipe or a terminal
    // may, and is read by the caller's thread only.
    anyoneReads_ = source.size().has_value();
    RunResult result;
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < threads_; ++i) {
        helpers.emplace_back([&, w = workers_[i].get()] {
            // Signals go to the caller's thread, which alone reads a source
            // that may wait: a read a signal interrupts is how a stop is seen.
            sigset_t all;
            sigfillset(&all);
            pthread_sigmask(SIG_BLOCK, &all, nullptr);
            work(*w, source, sourceName, result);
        });
    }
    work(*workers_[0], source, sourceName, result);
    for (auto& helper : helpers) helper.join();
    result.stopped = result.stopped || std::exchange(stopped_, false);
    if (auto error = out_.flush(); error && !result.error) result.error = std::move(error);
    ripcount_ -= out_.takeLinesLost();
    return result;
}

}  // namespace kolvane
