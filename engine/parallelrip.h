#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "blockripper.h"
#include "fieldlist.h"
#include "io.h"
#include "lineripper.h"
#include "linesink.h"
#include "outputfile.h"
#include "ripplan.h"
#include "runreport.h"

namespace kolvane {

// Rips one source on one thread or several with settings fixed for the whole
// run, as the CLI has them. The source is read in blocks cut after a record;
// each thread in turn reads a block and rips it, and the results go to the
// output in source order, so the output, the count and the errors (with
// their line numbers) are those of a sequential rip. A few blocks are in
// flight at a time, so memory stays bounded whatever the source's size (each
// block holds at least one line).
class ParallelRipper {
  public:
    static constexpr std::size_t kBlockSize = std::size_t{512} << 10;

    // One thread per core this process may run on (its affinity, which
    // containers and taskset narrow), at least one.
    static unsigned defaultThreads();

    // `threads` threads, the caller's among them, read, rip and write.
    // `lineLimit` and `maxResult` bound a line and a result line, as in WindowRipper.
    ParallelRipper(OutputFile& out, unsigned threads, std::size_t blockSize = kBlockSize,
                   std::size_t lineLimit = defaultLineLimit(),
                   std::size_t maxResult = LineRipper::kMaxResultBytes);
    ~ParallelRipper();
    ParallelRipper(const ParallelRipper&) = delete;
    ParallelRipper& operator=(const ParallelRipper&) = delete;

    // As WindowRipper::prepare(): the field list of a plain rip, the count to 0.
    void prepare(const Settings& settings);
    void prepare(FieldList fields);

    // Reads every line of `source` and rips it into the output, which is
    // flushed before this returns. The host's settings are read once; its
    // pump() is asked between two blocks and
    // while a read waits, from whichever threads do that, so it must be safe
    // to call from any thread; it may stop the rip at a line end. Source
    // lines are numbered from `linesBefore` + 1, for a source whose first
    // lines were taken before.
    RunResult run(ByteSource& source, const std::string& sourceName, RipHost& host,
                  std::int64_t linesBefore = 0);

    // Result lines that reached the output, over every run since prepare().
    std::int64_t ripcount() const { return out_.delivered() - deliveredBefore_; }
    // The field list a plain rip uses.
    const FieldList& fields() const { return fields_; }

  private:
    // Commits a ripped block to the output; false once the run must stop. One
    // thread at a time, in source order.
    bool commit(RipBlock& block, const std::string& sourceName, RunResult& result);
    // Whether a result of the block gives a value: not what a record with
    // none of the wanted fields gives.
    bool holdsValue(const RipBlock& block) const;
    std::string emptyResult_;
    // What each thread of a run does until the run ends.
    void work(BlockRipper& worker, BlockReader& reader, const std::string& sourceName,
              RunResult& result);

    OutputFile& out_;
    unsigned threads_;
    std::size_t blockSize_;
    std::size_t lineLimit_;
    std::size_t maxResult_;
    FieldList fields_;
    std::int64_t deliveredBefore_ = 0;
    RipHost* host_ = nullptr;  // of the run under way

    // Used by the thread that holds the committing turn.
    std::int64_t linesBefore_ = 0;  // source lines in the blocks committed so far

    // Puts the error made at the start of a run into `result`, at `line`,
    // when it has none: reporting that memory ran out must itself need none.
    void reportNoMemory(RunResult& result, std::int64_t line);
    std::optional<Error> noMemory_;

    std::vector<std::unique_ptr<RipBlock>> blocks_;  // a ring: block i is blocks_[i % size]
    std::vector<std::unique_ptr<BlockRipper>> workers_;
    bool anyoneReads_ = true;  // any thread may read, not only the caller's
    std::mutex mutex_;
    std::condition_variable wake_;  // guarded by mutex_ from here on
    std::size_t read_ = 0;          // blocks read so far
    bool readNoMemory_ = false;     // a read ran out of memory: the run stops
    std::size_t committed_ = 0;     // blocks committed so far
    bool reading_ = false;
    bool committing_ = false;
    bool sourceDone_ = false;
    bool stop_ = false;
};

}  // namespace kolvane
