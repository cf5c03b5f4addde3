#pragma once

#include <QMetaObject>
#include <QObject>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace kolvane {

// One piece of work on a thread of its own, whose answer the window takes on
// its own thread. An answer that comes within the wait given to start() is
// taken at once, so quick work looks as if it ran in place; a later one comes
// through the window's event loop, which runs meanwhile.
template <class Answer>
class BackgroundTask {
  public:
    ~BackgroundTask() { drop(); }

    bool running() const { return slot_ != nullptr; }
    // What the work watches to end soon: set by cancel() and drop(), clear
    // again before the next work starts.
    const std::atomic<bool>& cancelled() const { return cancel_; }
    // Asks the work to end soon; its answer still comes.
    void cancel() { cancel_ = true; }

    // Runs `work` on a new thread and hands its answer to `done` on
    // `context`'s thread, unless it is dropped first. One task at a time.
    void start(QObject* context, std::function<Answer()> work, std::function<void(Answer)> done,
               std::chrono::milliseconds wait) {
        drop();
        auto slot = std::make_shared<Slot>();
        slot_ = slot;
        done_ = std::move(done);
        thread_ = std::thread([this, slot, context, work = std::move(work)] {
            Answer answer = work();
            {
                std::lock_guard lock(slot->mutex);
                slot->answer = std::move(answer);
            }
            slot->ready.notify_all();
            // Dropped with the context when it is gone by then.
            QMetaObject::invokeMethod(
                context, [this, slot] { deliver(slot); }, Qt::QueuedConnection);
        });
        std::unique_lock lock(slot->mutex);
        if (slot->ready.wait_for(lock, wait, [&] { return slot->answer.has_value(); })) {
            lock.unlock();
            deliver(slot);
        }
    }

    // Asks the work to end soon, waits for it to end, and forgets its answer.
    void drop() {
        cancel_ = true;
        if (thread_.joinable()) thread_.join();
        cancel_ = false;
        slot_.reset();
    }

  private:
    struct Slot {
        std::mutex mutex;
        std::condition_variable ready;
        std::optional<Answer> answer;
    };

    void deliver(const std::shared_ptr<Slot>& slot) {
        if (slot != slot_) return;  // dropped, or taken at once
        std::optional<Answer> answer;
        {
            std::lock_guard lock(slot->mutex);
            answer = std::move(slot->answer);
        }
        drop();
        auto done = std::move(done_);
        done(std::move(*answer));
    }

    std::shared_ptr<Slot> slot_;
    std::function<void(Answer)> done_;
    std::atomic<bool> cancel_{false};
    std::thread thread_;
};

}  // namespace kolvane
