// kolvane-rip: the rip engine for scripts and pipelines.
#include <unistd.h>
#include <CLI/CLI.hpp>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <iostream>

#include "io.h"
#include "parallelrip.h"
#include "rip.h"

namespace {

// Options are fixed for the whole run, and nothing needs events pumped.
class OptionsHost : public kolvane::RipHost {
  public:
    explicit OptionsHost(kolvane::Settings settings) : settings_(std::move(settings)) {}
    kolvane::Settings settings() override { return settings_; }
    bool pump(const kolvane::Progress&) override { return true; }

  private:
    kolvane::Settings settings_;
};

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Rips chosen fields out of every line of a delimited text file.", "kolvane-rip"};
    kolvane::Settings settings;
    std::string fields, templ, append, eol = "crlf", source = "-";
    bool count = false;
    unsigned threads = kolvane::ParallelRipper::defaultThreads();
    app.add_option("-s,--split", settings.split, "split string between the fields of a line")
        ->capture_default_str();
    auto* fieldsOpt = app.add_option("-f,--fields", fields, "fields to keep, e.g. \"2,4\"");
    auto* templOpt =
        app.add_option("-t,--template", templ, "smart-combine template, e.g. \"[2]-[1]\"");
    fieldsOpt->excludes(templOpt);
    app.add_option("-j,--join", settings.join, "new field separator")->capture_default_str();
    app.add_flag("-k,--skip-empty", settings.skipEmpty, "skip a line on one empty value");
    app.add_option("-a,--append", append, "append result lines to FILE instead of standard output")
        ->type_name("FILE");
    app.add_option("--eol", eol, "line terminator written")
        ->check(CLI::IsMember({"crlf", "lf"}))
        ->capture_default_str();
    app.add_flag("--count", count, "print \"<N> values ripped\" on standard error at the end");
    app.add_option("--threads", threads, "threads to rip with (default: one per core it may use)")
        ->check(CLI::Range(1U, 1024U))
        ->capture_default_str();
    app.add_option("source", source, "source file; \"-\" or none: standard input");
    app.set_version_flag("--version", "kolvane-rip " KOLVANE_VERSION);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }
    settings.smart = templOpt->count() > 0;
    settings.fields = settings.smart ? templ : fields;

    // A closed pipe shows up as EPIPE from write(), which ends the run quietly.
    std::signal(SIGPIPE, SIG_IGN);

    const bool toStdout = append.empty();
    kolvane::FileOpener files;
    kolvane::OutputFile out(
        toStdout ? std::string("standard output") : append,
        [&]() -> kolvane::Expected<std::unique_ptr<kolvane::Writer>> {
            if (toStdout) return kolvane::descriptorWriter(STDOUT_FILENO);
            return files.openAppend(append);
        },
        eol == "lf" ? "\n" : "\r\n");
    // Nothing to pump: the options hold for the whole run.
    kolvane::Ripper ripper(out, files,
                           kolvane::PumpPolicy{.interval = std::chrono::milliseconds(-1)});
    ripper.prepare(settings);

    std::unique_ptr<kolvane::FileSource> input;
    std::string sourceName = "standard input";
    if (source == "-") {
        input = kolvane::FileSource::fromDescriptor(STDIN_FILENO);
    } else {
        auto opened = kolvane::FileSource::open(source);
        if (!opened) {
            std::cerr << "kolvane-rip: " << opened.error().message() << '\n';
            return 1;
        }
        input = std::move(*opened);
        sourceName = source;
    }

    OptionsHost host(settings);
    kolvane::ParallelRipper parallel(out, threads);
    kolvane::RunResult result = threads > 1 ? parallel.run(*input, sourceName, settings)
                                            : ripper.run(*input, sourceName, host);
    const std::int64_t ripcount = threads > 1 ? parallel.ripcount() : ripper.ripcount();
    if (count) std::cerr << kolvane::statusText(ripcount) << '\n';
    if (result.error) {
        if (toStdout && result.error->code == EPIPE) return 0;
        std::cerr << "kolvane-rip: " << result.error->message() << '\n';
        return 1;
    }
    return 0;
}
