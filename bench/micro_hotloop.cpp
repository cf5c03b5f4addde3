// The rip's hot loop taken apart: finding lines, cutting and joining fields,
// and the whole run into a writer that discards. Every figure is in bytes of
// source per second, so the pieces compare with each other and with the
// reference job's wall time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "blockripper.h"
#include "lineindex.h"
#include "lineripper.h"
#include "parallelrip.h"
#include "refdata.h"
#include "resultstore.h"
#include "windowripper.h"

namespace {

using kolvane::IoResult;

// 200,000 reference lines, about 19 MB: well past the caches, like a real file.
constexpr std::uint64_t kLines = 200'000;

const std::string& referenceText() {
    static const std::string text = kolvane::bench::referenceData(kLines);
    return text;
}

// The reference text with every '|' turned into "::"; ':' also occurs inside
// the time field, so the first byte alone often matches falsely.
const std::string& doubleColonText() {
    static const std::string text = [] {
        std::string out;
        for (char c : referenceText()) {
            if (c == '|') {
                out += "::";
            } else {
                out += c;
            }
        }
        return out;
    }();
    return text;
}

// The reference text with CR LF line ends, as Windows tools (and the window's
// own result files) write them.
const std::string& crlfText() {
    static const std::string text = [] {
        std::string out;
        for (char c : referenceText()) {
            if (c == '\n') out += '\r';
            out += c;
        }
        return out;
    }();
    return text;
}

std::vector<std::string_view> linesOf(const std::string& text) {
    std::vector<std::string_view> lines;
    std::string_view rest = text;
    while (!rest.empty()) {
        auto eol = rest.find('\n');
        lines.push_back(rest.substr(0, eol));
        rest.remove_prefix(eol == std::string_view::npos ? rest.size() : eol + 1);
    }
    return lines;
}

// Hands out an in-memory text in read()-sized pieces, copying as read(2) does.
class MemorySource : public kolvane::ByteSource {
  public:
    explicit MemorySource(std::string_view data) : data_(data) {}
    IoResult read(std::span<char> buf) override {
        std::size_t n = std::min(buf.size(), data_.size() - pos_);
        std::memcpy(buf.data(), data_.data() + pos_, n);
        pos_ += n;
        return IoResult{n, 0, {}};
    }
    std::optional<std::uint64_t> size() const override { return data_.size(); }

  private:
    std::string_view data_;
    std::size_t pos_ = 0;
};

class NullWriter : public kolvane::Writer {
  public:
    IoResult write(std::string_view data) override { return IoResult{data.size(), 0, {}}; }
    bool cutBack(std::uint64_t) override { return true; }
    bool reopenable() const override { return false; }
    kolvane::IoResult close() override { return {}; }
};

class NullOpener : public kolvane::OutputOpener {
  public:
    kolvane::Expected<std::unique_ptr<kolvane::Writer>> openAppend(const std::string&) override {
        return std::unique_ptr<kolvane::Writer>(new NullWriter);
    }
};

// As the CLI runs: fixed settings, no event pump; results to `to`.
class FixedHost : public kolvane::WindowHost {
  public:
    explicit FixedHost(kolvane::Settings settings, kolvane::ResultsTo to = {true, "null"})
        : settings_(std::move(settings)), to_(std::move(to)) {}
    kolvane::Settings settings() override { return settings_; }
    kolvane::ResultsTo resultsTo() override { return to_; }
    bool pump(const kolvane::Progress&) override { return true; }

  private:
    kolvane::Settings settings_;
    kolvane::ResultsTo to_;
};

const kolvane::PumpPolicy kNoPumps{.interval = std::chrono::milliseconds(-1)};

kolvane::Settings settingsFor(const char* split, const char* fields, bool smart) {
    kolvane::Settings s;
    s.split = split;
    s.fields = fields;
    s.templateMode = smart;
    return s;
}

// The fused scan alone: line ends, and the split byte when there is one, into
// bit maps (SSE2 or AVX2, as the processor has it).
void BM_FusedScan(benchmark::State& state, int split) {
    std::string text = referenceText();
    text.resize(text.size() / 64 * 64);
    std::vector<std::uint64_t> ends(text.size() / 64), seps(text.size() / 64);
    for (auto _ : state) {
        kolvane::markLineBytes(text.data(), ends.size(), split, ends.data(), seps.data());
        benchmark::DoNotOptimize(ends.data());
        benchmark::DoNotOptimize(seps.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK_CAPTURE(BM_FusedScan, line_ends, -1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FusedScan, line_ends_and_split, int{'|'})->Unit(benchmark::kMillisecond);

// Reading blocks cut after their last line end, as every rip reads.
void BM_BlockReader(benchmark::State& state, const std::string* textPtr) {
    const std::string& text = *textPtr;
    for (auto _ : state) {
        MemorySource source(text);
        kolvane::BlockReader reader(source, kolvane::ParallelRipper::kBlockSize,
                                    kolvane::defaultLineLimit(), [] { return true; });
        kolvane::RipBlock block;
        std::size_t bytes = 0;
        while (reader.read(block)) bytes += block.size;
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK_CAPTURE(BM_BlockReader, lf, &referenceText())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BlockReader, crlf, &crlfText())->Unit(benchmark::kMillisecond);

// LineRipper alone, over lines already found.
void BM_LineRipper(benchmark::State& state, const std::string* text, const char* split,
                   const char* fields, bool smart) {
    const auto lines = linesOf(*text);
    kolvane::Settings settings = settingsFor(split, fields, smart);
    const kolvane::FieldList list = kolvane::fieldListFor(settings, {});
    const kolvane::RipPlan plan(settings, list);
    kolvane::LineRipper ripper;
    ripper.configure(plan);
    std::string out;
    for (auto _ : state) {
        std::size_t bytes = 0;
        for (auto line : lines) {
            out.clear();  // rip() appends, so that callers can build in place
            ripper.rip(line, out);
            bytes += out.size();
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text->size()));
}
BENCHMARK_CAPTURE(BM_LineRipper, plain_f2_4, &referenceText(), "|", "2,4", false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LineRipper, plain_f4_2_2, &referenceText(), "|", "4,2,2", false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LineRipper, plain_f10, &referenceText(), "|", "10", false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LineRipper, template_4_2, &referenceText(), "|", "[4]-[2]", true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LineRipper, multibyte_f2_4, &doubleColonText(), "::", "2,4", false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LineRipper, multibyte_template_4_2, &doubleColonText(), "::", "[4]-[2]", true)
    ->Unit(benchmark::kMillisecond);

// Ripper::run from an in-memory source to a writer that discards: the CLI's
// file-to-file job without the system calls.
void BM_RunToWriter(benchmark::State& state, const std::string* text, const char* split,
                    const char* fields, bool smart) {
    kolvane::Settings settings = settingsFor(split, fields, smart);
    FixedHost host(settings);
    kolvane::ResultStore store;
    NullOpener opener;
    kolvane::WindowRipper ripper(store, opener, kNoPumps);
    for (auto _ : state) {
        ripper.prepare(settings);
        MemorySource source(*text);
        auto result = ripper.run(source, "memory", host);
        if (result.error) state.SkipWithError(result.error->message().c_str());
        benchmark::DoNotOptimize(ripper.ripcount());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text->size()));
}
BENCHMARK_CAPTURE(BM_RunToWriter, plain_f2_4, &referenceText(), "|", "2,4", false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RunToWriter, plain_f4_2_2, &referenceText(), "|", "4,2,2", false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RunToWriter, template_4_2, &referenceText(), "|", "[4]-[2]", true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RunToWriter, crlf_f2_4, &crlfText(), "|", "2,4", false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RunToWriter, multibyte_f2_4, &doubleColonText(), "::", "2,4", false)
    ->Unit(benchmark::kMillisecond);

// The CLI's block rip into a writer that discards, on one thread (where the
// copier's loop is the whole cost) and on every core (`threads` 0).
void BM_BlockRipToWriter(benchmark::State& state, const char* fields, bool smart,
                         unsigned threads) {
    const std::string& text = referenceText();
    const kolvane::Settings settings = settingsFor("|", fields, smart);
    FixedHost host(settings);
    NullOpener opener;
    for (auto _ : state) {
        kolvane::OutputFile out(
            "null", [&] { return opener.openAppend("null"); }, "\r\n");
        kolvane::ParallelRipper ripper(
            out, threads != 0 ? threads : std::max(1U, std::thread::hardware_concurrency()));
        ripper.prepare(settings);
        MemorySource source(text);
        auto result = ripper.run(source, "memory", host);
        if (result.error) state.SkipWithError(result.error->message().c_str());
        benchmark::DoNotOptimize(ripper.ripcount());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK_CAPTURE(BM_BlockRipToWriter, one_thread_f2_4, "2,4", false, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_BlockRipToWriter, one_thread_f4_2_2, "4,2,2", false, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_BlockRipToWriter, one_thread_template_4_2, "[4]-[2]", true, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_BlockRipToWriter, every_core_f2_4, "2,4", false, 0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_BlockRipToWriter, every_core_template_4_2, "[4]-[2]", true, 0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The window's road: results into the in-memory list instead of a file.
void BM_RunToList(benchmark::State& state) {
    const std::string& text = referenceText();
    kolvane::Settings settings = settingsFor("|", "2,4", false);
    FixedHost host(settings, {});
    kolvane::ResultStore store;
    NullOpener opener;
    kolvane::WindowRipper ripper(store, opener, kNoPumps);
    for (auto _ : state) {
        store.clear();
        ripper.prepare(settings);
        MemorySource source(text);
        auto result = ripper.run(source, "memory", host);
        if (result.error) state.SkipWithError(result.error->message().c_str());
        benchmark::DoNotOptimize(store.size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_RunToList)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
