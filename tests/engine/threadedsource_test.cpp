// A source read on a thread of its own: what the window reads a FIFO or a
// stalled file through, so that it never waits on the system.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "threadedsource.h"

namespace kolvane {
namespace {

using namespace std::chrono_literals;

// Gives "a|b\n" in one read, but only once released; until then its read
// blocks, as a FIFO without a writer does.
struct GatedSource : ByteSource {
    struct Gate {
        std::mutex mutex;
        std::condition_variable opened;
        bool open = false;
    };
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
    bool given = false;
    IoResult read(std::span<char> buf) override {
        std::unique_lock lock(gate->mutex);
        gate->opened.wait(lock, [&] { return gate->open; });
        if (std::exchange(given, true)) return {};
        return IoResult{std::string_view("a|b\n").copy(buf.data(), buf.size()), 0, {}};
    }
};
void release(GatedSource::Gate& gate) {
    std::lock_guard lock(gate.mutex);
    gate.open = true;
    gate.opened.notify_all();
}

TEST(ThreadedSource, AnswersWhileTheInnerReadBlocksAndGoesWithoutWaitingForIt) {
    for (bool released : {true, false}) {
        auto inner = std::make_unique<GatedSource>();
        auto gate = inner->gate;
        {
            ThreadedSource source(std::move(inner), 1ms);
            char buf[8];
            IoResult r = source.read(buf);
            EXPECT_TRUE(r.noDataYet && r.bytes == 0 && !r.failed());
            if (released) {
                release(*gate);
                std::string text;
                do {
                    r = source.read(buf);
                    text.append(buf, r.bytes);
                } while (r.bytes > 0 || r.noDataYet);
                EXPECT_EQ(text, "a|b\n");
            }
        }  // not released: the source goes while its read still blocks
        release(*gate);
    }
}

}  // namespace
}  // namespace kolvane
