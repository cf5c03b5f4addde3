#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "io.h"

namespace kolvane {

// Reads another source on a thread of its own, so that read() here never waits
// longer than `wait`: a window must keep answering while a FIFO has no writer
// yet, a network file stalls or a device is slow. When nothing has arrived in
// time, read() answers noDataYet. A few blocks are read ahead, no more, so
// memory stays bounded whatever the source.
class ThreadedSource : public ByteSource {
  public:
    // Opens the inner source on the reading thread: opening a FIFO waits for
    // its writer. An open that fails ends reading with its error as the cause.
    using Open = std::function<Expected<std::unique_ptr<ByteSource>>()>;

    ThreadedSource(Open open, std::chrono::milliseconds wait);
    ThreadedSource(std::unique_ptr<ByteSource> opened, std::chrono::milliseconds wait);
    // Does not wait for a read that is blocked in the system: the thread then
    // finishes on its own when that read returns.
    ~ThreadedSource() override;
    ThreadedSource(const ThreadedSource&) = delete;
    ThreadedSource& operator=(const ThreadedSource&) = delete;

    IoResult read(std::span<char> buf) override;
    std::optional<std::uint64_t> size() const override;
    std::uint64_t consumed() const override;
    std::optional<FileIdentity> identity() const override;

  private:
    struct State;
    static void readAhead(const std::shared_ptr<State>& state);

    std::shared_ptr<State> state_;
    std::chrono::milliseconds wait_;
};

}  // namespace kolvane
