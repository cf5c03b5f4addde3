#pragma once
// Shared by the engine tests: a ready-made ripper, temporary folders, whole-file
// reads, and byte sources and writers that fail exactly where a test asks. We run as root, so
// faults come through the engine's own interfaces, not through permission bits.

#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "io.h"
#include "resultstore.h"
#include "rip.h"

namespace kolvane::test {

// A fresh folder, removed with everything in it.
class TempDir {
  public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "kolvane-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string path(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& root() const { return path_; }

  private:
    std::filesystem::path path_;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::vector<std::string> items(const ResultStore& store) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < store.size(); ++i) out.emplace_back(store.at(i));
    return out;
}

// The lines of `text` by the plainest reading of the rule: LF, CR LF and CR end
// a line, and text after the last terminator is one more line.
inline std::vector<std::string> referenceLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            line += text[i];
            continue;
        }
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        lines.push_back(std::move(line));
        line.clear();
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// Serves a string in pieces of at most `chunk` bytes, as pipes do, and fails with
// EIO once `failAt` bytes have gone out. `slow` makes every read let at least 2 ms
// pass, so a host's pump interval of 1 ms has always elapsed by the next check.
class StringSource : public ByteSource {
  public:
    explicit StringSource(std::string data, std::size_t chunk = SIZE_MAX,
                          std::optional<std::size_t> failAt = {}, bool slow = false)
        : data_(std::move(data)), chunk_(chunk), failAt_(failAt), slow_(slow) {}

    IoResult read(std::span<char> buf) override {
        if (slow_) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (failAt_ && pos_ >= *failAt_) return IoResult{0, EIO, std::strerror(EIO)};
        std::size_t limit = failAt_ ? *failAt_ : data_.size();
        std::size_t n = std::min({buf.size(), chunk_, limit - pos_, data_.size() - pos_});
        std::memcpy(buf.data(), data_.data() + pos_, n);
        pos_ += n;
        return IoResult{n, 0, {}};
    }

  private:
    std::string data_;
    std::size_t chunk_;
    std::optional<std::size_t> failAt_;
    bool slow_;
    std::size_t pos_ = 0;
};

// A real appending writer that takes only `budget` more bytes, then fails with
// ENOSPC, the way a disk fills up: first a short write, then an error.
class LimitedWriter : public Writer {
  public:
    LimitedWriter(std::unique_ptr<Writer> inner, std::optional<std::size_t> budget)
        : inner_(std::move(inner)), budget_(budget) {}

    IoResult write(std::string_view data) override {
        std::size_t n = budget_ ? std::min(*budget_, data.size()) : data.size();
        if (n == 0 && !data.empty()) return IoResult{0, ENOSPC, std::strerror(ENOSPC)};
        IoResult r = inner_->write(data.substr(0, n));
        if (budget_) *budget_ -= r.bytes;
        return r;
    }
    void truncate(std::uint64_t bytes) override { inner_->truncate(bytes); }

  private:
    std::unique_ptr<Writer> inner_;
    std::optional<std::size_t> budget_;
};

// Opens real files for appending; the i-th writer it hands out takes only
// budgets[i] bytes (writers past the list take everything).
class FaultyOpener : public OutputOpener {
  public:
    std::vector<std::optional<std::size_t>> budgets;
    std::size_t opens = 0;

    Expected<std::unique_ptr<Writer>> openAppend(const std::string& path) override {
        auto inner = files_.openAppend(path);
        if (!inner) return inner.error();
        auto budget = opens < budgets.size() ? budgets[opens] : std::nullopt;
        ++opens;
        return std::unique_ptr<Writer>(std::make_unique<LimitedWriter>(std::move(*inner), budget));
    }

  private:
    FileOpener files_;
};

// A host whose settings the test sets directly and whose pump runs the test's
// script. An interval of 0, the default, never pumps, as in the CLI.
struct Host : RipHost {
    Settings current;
    std::chrono::milliseconds interval{0};
    std::function<bool(int pump, const Progress&)> onPump;
    int pumps = 0;

    Settings settings() override { return current; }
    bool pump(const Progress& progress) override {
        ++pumps;
        return !onPump || onPump(pumps, progress);
    }
    std::chrono::milliseconds pumpInterval() const override { return interval; }
};

// What one window holds for rips: state, result list, ripper and a host.
// Output files are opened through `opener`, real appending files by default.
struct Rig {
    RipState state;
    ResultStore store;
    FileOpener files;
    Ripper ripper;
    Host host;

    explicit Rig(std::string eol = "\r\n", OutputOpener* opener = nullptr)
        : ripper(state, store, opener ? *opener : files, std::move(eol)) {}
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    // Starts a rip with host.current, ready for ripper.splitline().
    void prepare() {
        ripper.prepare(host.current);
        ripper.configure(host.current);
    }
    // A whole rip, started as the window starts one.
    RunResult run(ByteSource& source) {
        ripper.prepare(host.current);
        return ripper.run(source, "src.txt", host);
    }
};

}  // namespace kolvane::test
