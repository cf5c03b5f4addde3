#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "fieldlist.h"
#include "io.h"
#include "linereader.h"
#include "lineripper.h"
#include "outputfile.h"
#include "rip.h"

namespace kolvane {

// Rips one source on several threads with settings fixed for the whole run,
// as the CLI has them. The source is read in blocks cut after a line end;
// threads rip whole blocks and the results go to the output in source order,
// so the output, the count and the errors (with their line numbers) are those
// of a sequential rip. A few blocks are in flight at a time, so memory stays
// bounded whatever the source's size (each block holds at least one line).
class ParallelRipper {
  public:
    static constexpr std::size_t kBlockSize = std::size_t{2} << 20;

    // `threads` rip; reading and writing stay on the caller's thread.
    ParallelRipper(OutputFile& out, unsigned threads, std::size_t blockSize = kBlockSize,
                   std::size_t lineLimit = LineReader::defaultLineLimit());
    ~ParallelRipper();
    ParallelRipper(const ParallelRipper&) = delete;
    ParallelRipper& operator=(const ParallelRipper&) = delete;

    // Reads every line of `source` and rips it into the output, which is
    // flushed before this returns. Plain mode parses settings.fields, as
    // Ripper::prepare() does; settings.toFile and outfile are not used.
    RunResult run(ByteSource& source, const std::string& sourceName, const Settings& settings);

    // Result lines that reached the output.
    std::int64_t ripcount() const { return ripcount_; }

  private:
    struct Block;
    struct Worker;

    // Fills a free block from the source; false when there is nothing more.
    bool readBlock(ByteSource& source, Block& block);
    // Commits a ripped block to the output; false once the run must stop.
    bool commit(Block& block, const std::string& sourceName, RunResult& result);
    void workerLoop(Worker& worker);
    void stopWorkers();

    OutputFile& out_;
    unsigned threads_;
    std::size_t blockSize_;
    std::size_t lineLimit_;
    Settings settings_;
    FieldList fields_;
    std::int64_t ripcount_ = 0;
    std::int64_t linesBefore_ = 0;  // source lines in the blocks committed so far

    // The bytes read after the last whole line, waiting for the next block.
    std::string carry_;
    bool sourceDone_ = false;
    std::optional<IoResult> readFailure_;

    std::vector<std::unique_ptr<Block>> blocks_;
    std::vector<std::unique_ptr<Worker>> workers_;
    std::vector<std::thread> threadPool_;
    std::mutex mutex_;
    std::condition_variable work_;  // a block to rip, or quit
    std::condition_variable done_;  // a block was ripped
    std::deque<Block*> queue_;
    bool quit_ = false;
};

}  // namespace kolvane
