// A source read on a thread of its own: what the window reads a FIFO or a
// stalled file through, so that it never waits on the system.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "threadedsource.h"

namespace kolvane {
namespace {

using namespace std::chrono_literals;

// Gives its text in one read, but only once released; until then its read
// blocks as a FIFO without a writer does.
struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    void release() {
        std::lock_guard lock(mutex);
        open = true;
        opened.notify_all();
    }
};
struct GatedSource : ByteSource {
    std::shared_ptr<Gate> gate;
    std::string text;
    bool given = false;
    IoResult read(std::span<char> buf) override {
        std::unique_lock lock(gate->mutex);
        gate->opened.wait(lock, [&] { return gate->open; });
        if (given) return {};
        given = true;
        text.copy(buf.data(), buf.size());
        return IoResult{text.size(), 0, {}};
    }
};

std::string readText(ThreadedSource& source, int& waits) {
    std::string text;
    char buf[4];
    for (;;) {
        IoResult r = source.read(buf);
        if (r.noDataYet) {
            ++waits;
            continue;
        }
        if (r.bytes == 0) return r.failed() ? "failed: " + r.cause : text;
        text.append(buf, r.bytes);
    }
}

TEST(ThreadedSource, AnswersWhileTheInnerReadBlocks) {
    auto gate = std::make_shared<Gate>();
    auto inner = std::make_unique<GatedSource>();
    inner->gate = gate;
    inner->text = "a|b\nc|d\n";
    ThreadedSource source(std::move(inner), 1ms);
    char buf[8];
    IoResult first = source.read(buf);
    EXPECT_TRUE(first.noDataYet && first.bytes == 0 && !first.failed());
    gate->release();
    int waits = 0;
    EXPECT_EQ(readText(source, waits), "a|b\nc|d\n");
}

TEST(ThreadedSource, FailedOpenEndsWithItsCause) {
    ThreadedSource source(
        [] {
            return Expected<std::unique_ptr<ByteSource>>(systemError("Cannot open", "f", ENOENT));
        },
        1s);
    int waits = 0;
    EXPECT_EQ(readText(source, waits), "failed: No such file or directory");
}

// Stopping a rip of a FIFO that never gets a writer must not hang the window.
TEST(ThreadedSource, GoesWithoutWaitingForABlockedRead) {
    auto gate = std::make_shared<Gate>();
    {
        auto inner = std::make_unique<GatedSource>();
        inner->gate = gate;
        ThreadedSource source(std::move(inner), 1ms);
        char buf[8];
        EXPECT_TRUE(source.read(buf).noDataYet);
    }
    gate->release();  // the orphaned reader ends now, with its source
}

}  // namespace
}  // namespace kolvane
