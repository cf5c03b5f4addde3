// windowrip_floor: the window's rip without the window, against the command
// line's one-thread rip, in one process and in turn, on the reference job
// (fields "2,4"). The host answers every event pass at once, so what is left
// is the floor under window_bench: the rip's own thread, the reading thread
// the window reads through, and the hand-over of the list's lines.
//
// Usage: windowrip_floor REFERENCE [ROUNDS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "outputfile.h"
#include "parallelrip.h"
#include "resultstore.h"
#include "textsource.h"
#include "threadedsource.h"
#include "windowripper.h"

namespace {

using namespace kolvane;

class InstantHost : public WindowHost {
  public:
    explicit InstantHost(Settings settings, ResultsTo to = {})
        : settings_(std::move(settings)), to_(std::move(to)) {}
    Settings settings() override { return settings_; }
    ResultsTo resultsTo() override { return to_; }
    bool pump(const Progress&) override { return true; }

  private:
    Settings settings_;
    ResultsTo to_;
};

std::unique_ptr<ByteSource> openSource(const std::string& path, bool readerThread) {
    auto opened = FileSource::open(path);
    if (!opened) {
        std::fprintf(stderr, "windowrip_floor: %s\n", opened.error().message().c_str());
        std::exit(1);
    }
    std::unique_ptr<ByteSource> source = readAsText(std::move(*opened));
    if (!readerThread) return source;
    return std::make_unique<ThreadedSource>(std::move(source), std::chrono::milliseconds(10));
}

double seconds(const std::function<void()>& job) {
    const auto start = std::chrono::steady_clock::now();
    job();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void check(const RunResult& result) {
    if (!result.error) return;
    std::fprintf(stderr, "windowrip_floor: %s\n", result.error->message().c_str());
    std::exit(1);
}

double cliRip(const std::string& reference, const std::string& out) {
    std::filesystem::remove(out);
    FileOpener opener;
    Settings settings{.fields = "2,4"};
    return seconds([&] {
        OutputFile file(
            out, [&] { return opener.openAppend(out); }, "\r\n");
        ParallelRipper ripper(file, 1);
        ripper.prepare(settings);
        InstantHost host(settings);
        auto source = openSource(reference, false);
        check(ripper.run(*source, reference, host));
        if (auto error = file.close()) check(RunResult{error});
    });
}

double windowRip(const std::string& reference, const std::string& out, bool toFile,
                 bool readerThread, ResultStore& list) {
    std::filesystem::remove(out);
    FileOpener opener;
    Settings settings{.fields = "2,4"};
    list.clear();
    return seconds([&] {
        WindowRipper ripper(list, opener);
        ripper.prepare(settings);
        InstantHost host(settings, {toFile, toFile ? out : ""});
        auto source = openSource(reference, readerThread);
        check(ripper.run(*source, reference, host));
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: windowrip_floor REFERENCE [ROUNDS]\n");
        return 2;
    }
    const std::string reference = argv[1];
    const int rounds = argc == 3 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::string out =
        (std::filesystem::temp_directory_path() / "windowrip_floor.out").string();
    struct Way {
        const char* name;
        std::function<double()> run;
        std::vector<double> times;
    };
    ResultStore list;
    std::vector<Way> ways{
        {"command line's rip, one thread", [&] { return cliRip(reference, out); }, {}},
        {"window's rip, file to file",
         [&] { return windowRip(reference, out, true, false, list); },
         {}},
        {"  the same through a reading thread",
         [&] { return windowRip(reference, out, true, true, list); },
         {}},
        {"window's rip, into the list",
         [&] { return windowRip(reference, out, false, false, list); },
         {}},
        {"  the same through a reading thread",
         [&] { return windowRip(reference, out, false, true, list); },
         {}},
    };
    ways.front().run();  // warms the page cache
    for (int round = 0; round < rounds; ++round) {
        for (Way& way : ways) way.times.push_back(way.run());
    }
    std::filesystem::remove(out);
    std::printf("window's rip without the window: %s, fields 2,4, best of %d\n", reference.c_str(),
                rounds);
    const double base = *std::min_element(ways.front().times.begin(), ways.front().times.end());
    for (Way& way : ways) {
        std::sort(way.times.begin(), way.times.end());
        std::printf("  %-36s %.3f s (median %.3f s)  %.2fx\n", way.name, way.times.front(),
                    way.times[way.times.size() / 2], way.times.front() / base);
    }
    return 0;
}
