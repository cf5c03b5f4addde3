#pragma once
// Shared by the engine, CLI and fuzz tests: temporary folders, whole-file reads,
// a ready-made ripper, and sources and writers that fail exactly where a test
// asks. We run as root, so faults come through the engine's own interfaces.

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
#include <ostream>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "blockripper.h"
#include "io.h"
#include "outputfile.h"
#include "parallelrip.h"
#include "resultstore.h"
#include "windowripper.h"

namespace kolvane::test {

// Names a TEST_P instance after its row's `name`.
inline constexpr auto rowName = [](const auto& info) { return std::string(info.param.name); };

// A fresh folder, removed with everything in it.
struct TempDir {
    std::filesystem::path root;
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "kolvane-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        root = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    std::string path(const std::string& name) const { return (root / name).string(); }
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

// The plainest reading of the rule: LF, CR LF and CR end a line, and text after
// the last terminator is one more line.
inline std::vector<std::string> referenceLines(std::string_view text) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            lines.back() += text[i];
            continue;
        }
        if (text.substr(i, 2) == "\r\n") ++i;
        lines.emplace_back();
    }
    if (lines.back().empty()) lines.pop_back();
    return lines;
}

// Serves a string in pieces of at most `chunk` bytes, as pipes do, and fails with
// EIO once `failAt` bytes have gone out.
struct StringSource : ByteSource {
    std::string data;
    std::size_t chunk, failAt, pos = 0;
    explicit StringSource(std::string d, std::size_t c = SIZE_MAX, std::size_t f = SIZE_MAX)
        : data(std::move(d)), chunk(c), failAt(f) {}

    bool pauses = false;  // every other read has nothing yet, as an idle pipe
    bool paused = false;

    IoResult read(std::span<char> buf) override {
        if (pauses && pos < data.size() && (paused = !paused)) return IoResult{0, 0, {}, true};
        if (pos >= failAt) return IoResult{0, EIO, std::strerror(EIO)};
        std::size_t n = std::min({buf.size(), chunk, failAt - pos, data.size() - pos});
        std::memcpy(buf.data(), data.data() + pos, n);
        pos += n;
        return IoResult{n, 0, {}};
    }
};

// Serves `data` one byte a read, answering "no data yet" `stalls` times before
// each byte, as a source fed by another thread does; SIZE_MAX stalls forever.
struct TricklingSource : ByteSource {
    std::string data;
    std::size_t stalls, pos = 0, waited = 0, reads = 0;
    TricklingSource(std::string d, std::size_t s) : data(std::move(d)), stalls(s) {}

    IoResult read(std::span<char> buf) override {
        ++reads;
        if (waited < stalls) {
            ++waited;
            return IoResult{0, 0, {}, true};
        }
        waited = 0;
        if (pos == data.size() || buf.empty()) return {};
        buf[0] = data[pos++];
        return IoResult{1, 0, {}};
    }
};

// Reads everything `source` gives, `size` bytes at a time, counts the
// answers that had nothing yet, and keeps the last answer, which says how
// reading ended.
inline std::string drain(ByteSource& source, int& waits, IoResult* end = nullptr,
                         std::size_t size = 3) {
    std::string text;
    std::vector<char> buf(size);
    for (;;) {
        const IoResult r = source.read(buf);
        text.append(buf.data(), r.bytes);
        if (end) *end = r;
        if (r.failed() || (r.bytes == 0 && !r.noDataYet)) return text;
        waits += r.noDataYet;
    }
}

// Opens real files for appending, or with `memory` set appends every path to
// that string, which the fuzz target's speed needs. The i-th writer takes only
// budgets[i] more bytes (writers past the list take all) and then fails as a
// full disk does: first a short write, then ENOSPC.
struct FaultyOpener : OutputOpener {
    std::vector<std::size_t> budgets;
    std::size_t opens = 0;
    std::string* memory = nullptr;
    FileOpener files;

    // Runs when a writer's budget runs out, after its short write.
    std::function<void()> onFull;
    // Makes every close() fail with this errno, as a delayed write error does.
    int closeError = 0;

    struct MemoryWriter : Writer {
        std::string& file;
        explicit MemoryWriter(std::string& f) : file(f) {}
        IoResult write(std::string_view data) override {
            file.append(data);
            return IoResult{data.size(), 0, {}};
        }
        bool cutBack(std::uint64_t bytes) override {
            file.resize(file.size() - bytes);
            return true;
        }
        bool reopenable() const override { return true; }
        IoResult close() override { return {}; }
    };

    struct Limited : Writer {
        std::unique_ptr<Writer> inner;
        std::size_t budget;
        FaultyOpener& opener;
        Limited(std::unique_ptr<Writer> w, std::size_t b, FaultyOpener& o)
            : inner(std::move(w)), budget(b), opener(o) {}
        IoResult write(std::string_view data) override {
            if (budget == 0 && !data.empty()) return IoResult{0, ENOSPC, std::strerror(ENOSPC)};
            IoResult r = inner->write(data.substr(0, std::min(budget, data.size())));
            budget -= r.bytes;
            if (budget == 0 && opener.onFull) opener.onFull();
            return r;
        }
        bool cutBack(std::uint64_t bytes) override { return inner->cutBack(bytes); }
        bool reopenable() const override { return inner->reopenable(); }
        IoResult close() override {
            IoResult r = inner->close();
            return opener.closeError ? IoResult{0, opener.closeError, "failed"} : r;
        }
    };
    Expected<std::unique_ptr<Writer>> openAppend(const std::string& path) override {
        Expected<std::unique_ptr<Writer>> inner =
            memory ? std::unique_ptr<Writer>(std::make_unique<MemoryWriter>(*memory))
                   : files.openAppend(path);
        if (!inner) return inner.error();
        std::size_t budget = opens < budgets.size() ? budgets[opens] : SIZE_MAX;
        ++opens;
        return std::unique_ptr<Writer>(std::make_unique<Limited>(std::move(*inner), budget, *this));
    }
};

inline const PumpPolicy kNoPumps{.interval = std::chrono::milliseconds(-1)};

// What one window holds for rips, with itself as the host: the test sets
// `current` directly and scripts the pump. By default it never pumps, as in
// the CLI. Output files are real files, opened through `opener`.
struct Rig : WindowHost {
    ResultStore store;
    FaultyOpener opener;
    WindowRipper ripper;
    Settings current;
    ResultsTo to;
    std::optional<FieldList> list;  // a field list built outside the engine, as the CLI does
    std::function<bool(int pump, const Progress&)> onPump;
    int pumps = 0;

    explicit Rig(std::string eol = "\r\n", PumpPolicy policy = kNoPumps,
                 std::size_t maxResult = LineRipper::kMaxResultBytes)
        : ripper(store, opener, std::move(policy), std::move(eol), maxResult) {}
    Settings settings() override { return current; }
    ResultsTo resultsTo() override { return to; }
    bool pump(const Progress& progress) override {
        ++pumps;
        return !onPump || onPump(pumps, progress);
    }

    // Rips `fields` into the list, or appends them to `outfile` when one is given.
    Rig& into(std::string fields, std::optional<std::string> outfile = std::nullopt) {
        current = {.fields = std::move(fields)};
        to = {outfile.has_value(), outfile.value_or("")};
        return *this;
    }
    // A whole rip, started as the window starts one.
    RunResult run(ByteSource& source) {
        store.clear();
        if (list) {
            ripper.prepare(*list);
        } else {
            ripper.prepare(current);
        }
        return ripper.run(source, "src.txt", *this);
    }
    RunResult run(const std::string& text) {
        StringSource source(text);
        return run(source);
    }
};

// How a rip to a file is set up for comparing thread counts: the source in
// pieces of `chunk` bytes failing at `failAt`, a disk that takes `budget`
// bytes and then fails, and for the parallel rip its block size and limit.
struct FileRip {
    std::size_t chunk = 3, failAt = SIZE_MAX, budget = SIZE_MAX;
    std::size_t block = 5, lineLimit = defaultLineLimit();
    std::size_t maxResult = LineRipper::kMaxResultBytes;
    const FieldList* fields = nullptr;  // a checked list, as the command line gives
    bool pauses = false;                // the source has nothing yet between pieces
    // Reads the source through another, as the rip reads text or compressed data.
    std::function<std::unique_ptr<ByteSource>(std::unique_ptr<ByteSource>)> wrap = {};
};

// What a rip to a file leaves: the file, the count and the error, if any.
struct FileOutcome {
    std::string file;
    std::int64_t count = 0;
    std::string error;
    bool operator==(const FileOutcome&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const FileOutcome& o) {
    return os << o.count << " [" << o.file << "] " << o.error;
}

// `threads` 0: the sequential rip, as --threads 1 runs it; else ParallelRipper.
inline FileOutcome ripToFile(const std::string& text, const Settings& s, unsigned threads,
                             const FileRip& how = {}) {
    FileOutcome o;
    FaultyOpener opener;
    opener.memory = &o.file;
    opener.budgets = {how.budget, 0};
    OutputFile out(
        "out", [&] { return opener.openAppend("out"); }, "\r\n");
    auto given = std::make_unique<StringSource>(text, how.chunk, how.failAt);
    given->pauses = how.pauses;
    const std::unique_ptr<ByteSource> source =
        how.wrap ? how.wrap(std::move(given)) : std::move(given);
    RunResult result;
    Rig host;
    host.current = s;
    if (threads == 0) {
        WindowRipper ripper(out, opener, kNoPumps, "\r\n", how.maxResult);
        how.fields ? ripper.prepare(*how.fields) : ripper.prepare(s);
        result = ripper.run(*source, "src.txt", host);
        o.count = ripper.ripcount();
    } else {
        ParallelRipper ripper(out, threads, how.block, how.lineLimit, how.maxResult);
        how.fields ? ripper.prepare(*how.fields) : ripper.prepare(s);
        result = ripper.run(*source, "src.txt", host);
        o.count = ripper.ripcount();
    }
    if (result.error) o.error = result.error->message();
    return o;
}

}  // namespace kolvane::test

namespace kolvane {
namespace {

// A table's row prints as its name, so that gtest's messages and ctest's list
// name it alike (its bytes would hold addresses, which change from run to run).
template <class Row>
requires std::is_convertible_v<decltype(Row::name), const char*> std::ostream& operator<<(
    std::ostream& os, const Row& row) {
    return os << row.name;
}

}  // namespace
}  // namespace kolvane
