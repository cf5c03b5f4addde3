#include "threadedsource.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kolvane {

namespace {

// Blocks read ahead: enough to keep the rip busy while the next one is read.
constexpr std::size_t kBlockSize = std::size_t{256} << 10;
constexpr std::size_t kDepth = 4;

}  // namespace

struct ThreadedSource::State {
    std::mutex mutex;
    std::condition_variable changed;
    Open open;
    std::unique_ptr<ByteSource> inner;
    struct Block {
        std::unique_ptr<char[]> data;
        std::size_t size = 0;
    };
    std::deque<Block> blocks;                    // read, not yet taken
    std::vector<std::unique_ptr<char[]>> spare;  // taken blocks, for reuse
    std::size_t taken = 0;                       // bytes of the front block already taken
    std::optional<IoResult> end;                 // the end of the source, or its failure
    std::optional<std::uint64_t> size;
    std::uint64_t consumed = 0;  // of the inner source, as of its last read
    std::optional<FileIdentity> identity;
    bool quit = false;
    bool inSystem = false;  // the thread is inside open() or read()
    std::thread thread;
};

ThreadedSource::ThreadedSource(Open open, std::chrono::milliseconds wait)
    : state_(std::make_shared<State>()), wait_(wait) {
    state_->open = std::move(open);
    state_->thread = std::thread(readAhead, state_);
}

ThreadedSource::ThreadedSource(std::unique_ptr<ByteSource> opened, std::chrono::milliseconds wait)
    : state_(std::make_shared<State>()), wait_(wait) {
    state_->size = opened->size();
    state_->identity = opened->identity();
    state_->inner = std::move(opened);
    state_->thread = std::thread(readAhead, state_);
}

ThreadedSource::~ThreadedSource() {
    std::unique_lock lock(state_->mutex);
    state_->quit = true;
    state_->changed.notify_all();
    const bool blocked = state_->inSystem;
    lock.unlock();
    // A thread blocked in the system keeps the state alive and ends after it.
    if (blocked) {
        state_->thread.detach();
    } else {
        state_->thread.join();
    }
}

void ThreadedSource::readAhead(const std::shared_ptr<State>& state) {
    std::unique_lock lock(state->mutex);
    if (state->open) {
        state->inSystem = true;
        lock.unlock();
        auto opened = state->open();
        lock.lock();
        state->inSystem = false;
        if (!opened) {
            const Error& e = opened.error();
            state->end = IoResult{0, e.code, e.cause.empty() ? e.message() : e.cause};
            state->changed.notify_all();
            return;
        }
        state->inner = std::move(*opened);
        state->size = state->inner->size();
        state->identity = state->inner->identity();
    }
    while (!state->quit && !state->end) {
        if (state->blocks.size() >= kDepth) {
            state->changed.wait(lock);
            continue;
        }
        std::unique_ptr<char[]> block;
        if (state->spare.empty()) {
            block = std::make_unique_for_overwrite<char[]>(kBlockSize);
        } else {
            block = std::move(state->spare.back());
            state->spare.pop_back();
        }
        state->inSystem = true;
        lock.unlock();
        IoResult r = state->inner->read(std::span<char>(block.get(), kBlockSize));
        lock.lock();
        state->inSystem = false;
        state->consumed = state->inner->consumed();
        if (r.failed() || (r.bytes == 0 && !r.noDataYet)) {
            state->end = std::move(r);
        } else if (r.bytes > 0) {
            state->blocks.push_back({std::move(block), r.bytes});
        }
        state->changed.notify_all();
    }
}

IoResult ThreadedSource::read(std::span<char> buf) {
    std::unique_lock lock(state_->mutex);
    state_->changed.wait_for(lock, wait_,
                             [&] { return !state_->blocks.empty() || state_->end.has_value(); });
    if (state_->blocks.empty()) {
        if (state_->end) return *state_->end;
        IoResult none;
        none.noDataYet = true;
        return none;
    }
    auto& front = state_->blocks.front();
    const std::size_t n = std::min(buf.size(), front.size - state_->taken);
    std::memcpy(buf.data(), front.data.get() + state_->taken, n);
    state_->taken += n;
    if (state_->taken == front.size) {
        state_->spare.push_back(std::move(front.data));
        state_->blocks.pop_front();
        state_->taken = 0;
        state_->changed.notify_all();
    }
    return IoResult{n, 0, {}};
}

std::optional<std::uint64_t> ThreadedSource::size() const {
    std::lock_guard lock(state_->mutex);
    return state_->size;
}

std::uint64_t ThreadedSource::consumed() const {
    std::lock_guard lock(state_->mutex);
    return state_->consumed;
}

std::optional<FileIdentity> ThreadedSource::identity() const {
    std::lock_guard lock(state_->mutex);
    return state_->identity;
}

}  // namespace kolvane
