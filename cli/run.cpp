#include "run.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <memory>
#include <optional>
#include <vector>

#include "frontrules.h"
#include "parallelrip.h"
#include "sources.h"

namespace kolvane::cli {

namespace {

// The signal that asked the rip to stop, or 0. A handler may touch nothing
// else, so this one flag is the program's only state outside its objects. It
// is read by every thread that may wait (a writer, a ripper's helpers): a
// lock-free atomic, which a handler may set, where a volatile sig_atomic_t
// would be a data race between threads.
std::atomic<int> stopSignal = 0;
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void askToStop(int signal) {
    stopSignal.store(signal, std::memory_order_relaxed);
}

// Options are fixed for the whole run; its pumps only look for a signal.
class OptionsHost : public RipHost {
  public:
    explicit OptionsHost(Settings settings) : settings_(std::move(settings)) {}
    Settings settings() override { return settings_; }
    bool pump(const Progress&) override { return stopSignal == 0; }

  private:
    Settings settings_;
};

// The files the run writes to and has opened as sources, each taken from the
// descriptor opened, so that the output is never a source, whichever of the
// two is opened later. Used by one thread at a time: the output is opened
// again only during a rip, sources only between rips.
class SourceGuard {
  public:
    explicit SourceGuard(std::optional<FileIdentity> output) : output_(output) {}
    // Notes a source just opened; false when it is the output.
    bool admitSource(const std::optional<FileIdentity>& source) {
        if (writesInto(output_, source)) return false;
        if (source) sources_.push_back(*source);
        return true;
    }
    // Notes the output opened again after a failed write; false when it is
    // now one of the sources.
    bool admitOutput(const std::optional<FileIdentity>& output) {
        for (const FileIdentity& source : sources_) {
            if (writesInto(output, source)) return false;
        }
        output_ = output;
        return true;
    }

  private:
    std::optional<FileIdentity> output_;
    std::vector<FileIdentity> sources_;
};

// The first source named on the command line that is the output now, so that
// a plain mistake rips nothing at all; the guard still checks each source
// when it is opened, since a name may come to mean the output meanwhile.
std::optional<std::string> namedSourceWrittenInto(const Options& options,
                                                  const std::optional<FileIdentity>& output) {
    for (const std::string& source : options.sources) {
        if (writesInto(output, source == "-" ? identityOf(STDIN_FILENO) : identityAt(source))) {
            return source;
        }
    }
    return std::nullopt;
}

// The field list or template with the header's names resolved, prepared in
// the ripper; the message says which name could not be, and when the header
// is one field for want of the split string, says that instead.
std::optional<std::string> prepare(ParallelRipper& ripper, Settings& settings,
                                   const Options& options, SourceOpener& sources) {
    const bool names = sources.header() != Options::Header::none;
    if (options.fields) {
        auto selected = resolveFields(*options.fields, FieldReading::strict,
                                      names ? &sources.names() : nullptr);
        if (!selected.list && !names) return "a name needs a header line: give -H";
        if (!selected.list) {
            const std::string why =
                splitAbsentFromHeader(sources.headerRecord(), sources.names(), settings.dialect());
            return why.empty() ? selected.problems.front().why : why;
        }
        ripper.prepare(std::move(*selected.list));
        return std::nullopt;
    }
    if (names) {
        auto templ = resolveTemplateNames(settings.fields, sources.names());
        if (templ.index() == 1) return std::get<1>(std::move(templ));
        settings.fields = std::get<0>(std::move(templ));
    }
    ripper.prepare(settings);
    return std::nullopt;
}

// Says what --auto guessed, where a reader is likely: asked for, or on a terminal.
void tellGuess(const Options& options, const std::string& guessed, std::ostream& err) {
    if (guessed.empty() || !(options.verbose || ::isatty(STDERR_FILENO))) return;
    err << "kolvane-rip: guessed " << guessed << '\n';
}

// Rips the sources one after the other into the ripper's output, as one rip:
// the count runs on, and the first error ends it, as does a source that is
// the output (named in `clash`, before anything of it is read). A name the
// header lacks is a usage problem, given back as its message.
std::variant<RunResult, std::string> ripSources(ParallelRipper& ripper, const Options& options,
                                                SourceOpener& sources,
                                                std::optional<std::string>& clash,
                                                std::ostream& err) {
    std::optional<OptionsHost> host;
    RunResult result;
    for (std::size_t i = 0; i < options.sources.size(); ++i) {
        const std::string& source = options.sources[i];
        auto opened = sources.open(i);
        if (!opened) return RunResult{opened.error()};
        if (opened->usage) return std::move(*opened->usage);
        if (opened->refused) {
            clash = source;
            break;
        }
        if (stopSignal != 0) return RunResult{std::nullopt, true};
        if (i == 0) {
            tellGuess(options, sources.guessed(), err);
            Settings settings = sources.settings();
            if (auto problem = prepare(ripper, settings, options, sources)) return *problem;
            host.emplace(settings);
        }
        const bool sawValue = result.sawValue;
        result = ripper.run(*opened->bytes, sourceName(source), *host, opened->linesBefore);
        result.sawValue = result.sawValue || sawValue;
        if (result.error) sources.countFromFileStart(i, *result.error);
        if (result.error || result.stopped) break;
    }
    return result;
}

void reportClash(std::ostream& err, const std::string& output, const std::string& source,
                 const std::string& outcome) {
    err << "kolvane-rip: the output " << output << " is the same file as the source "
        << sourceName(source) << "; " << outcome << '\n';
}

int stoppedCode(std::ostream& err, std::int64_t ripcount) {
    err << "kolvane-rip: " << (stopSignal == SIGINT ? "interrupted" : "terminated") << ", after "
        << statusText(ripcount) << '\n';
    return 128 + stopSignal;
}

// The first output: -a FILE opened before any source is read, so that a bad
// path fails at once, or standard output. A code when the run ends here.
std::optional<int> openFirstWriter(const Options& options, OutputOpener& opener, std::ostream& err,
                                   std::unique_ptr<Writer>& writer) {
    if (!options.append) {
        writer = descriptorWriter(STDOUT_FILENO, true, stopAsked);
        return std::nullopt;
    }
    auto opened = opener.openAppend(*options.append);
    if (!opened && opened.error().code == EINTR && stopAsked()) return stoppedCode(err, 0);
    if (!opened) return failed(err, opened.error());
    writer = std::move(*opened);
    return std::nullopt;
}

// After a rip whose every result is empty: one warning, naming the cause the
// first records show. The exit status stays what the rip made it.
void warnIfEmpty(const ParallelRipper& ripper, SourceOpener& sources, const RunResult& result,
                 std::ostream& err) {
    if (result.error || result.stopped || result.sawValue || ripper.ripcount() == 0) return;
    const std::string cause = sources.session().whyEmpty(
        sources.settings(), sources.header() != Options::Header::none, ripper.fields());
    err << "kolvane-rip: warning: every result is empty" << (cause.empty() ? "" : ": ") << cause
        << '\n';
}

}  // namespace

void openStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free descriptor is `fd` itself, the ones below being open.
        const int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0 && null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
    }
}

// SIGINT and SIGTERM stop the rip at the next line boundary, so the output
// ends on a whole line. Without SA_RESTART a call that waits (a read, the open
// of a FIFO, a write to a pipe) is interrupted, and the I/O asks stopAsked().
// A file-size limit is an ordinary write error (EFBIG), cut back to the last
// whole line, not a silent death.
void catchSignals() {
    struct sigaction stop {};
    stop.sa_handler = askToStop;
    sigemptyset(&stop.sa_mask);
    ::sigaction(SIGINT, &stop, nullptr);
    ::sigaction(SIGTERM, &stop, nullptr);
    std::signal(SIGXFSZ, SIG_IGN);
    // A closed pipe shows up as EPIPE from write(), which ends the run quietly.
    std::signal(SIGPIPE, SIG_IGN);
}

bool stopAsked() {
    return stopSignal != 0;
}

int run(const Options& options, std::ostream& err, OutputOpener& opener) {
    const std::string outputName = options.append.value_or("standard output");
    std::unique_ptr<Writer> firstWriter;
    if (auto code = openFirstWriter(options, opener, err, firstWriter)) return *code;
    SourceGuard guard(firstWriter->identity());
    if (auto source = namedSourceWrittenInto(options, firstWriter->identity())) {
        reportClash(err, outputName, *source, "nothing was ripped");
        return 2;
    }
    OutputFile out(
        outputName,
        [&]() -> Expected<std::unique_ptr<Writer>> {
            if (firstWriter) return std::move(firstWriter);
            // Again, after a failed write; standard output is never reopened.
            if (!options.append)
                return Error{"Cannot write", outputName, "it cannot be opened again", 0, 0};
            auto again = opener.openAppend(*options.append);
            if (again && !guard.admitOutput((*again)->identity())) {
                return Error{"Cannot write", outputName, "it is now the same file as a source", 0,
                             0};
            }
            return again;
        },
        options.eol);
    // Block by block, also on one thread: a block's lines are cut and copied
    // in one loop, with no call per line, and its reads are large.
    ParallelRipper ripper(out, options.threads);
    SourceOpener sources(options, stopAsked,
                         [&](const auto& file) { return guard.admitSource(file); });
    std::optional<std::string> clash;
    auto ripped = ripSources(ripper, options, sources, clash, err);
    if (auto* problem = std::get_if<std::string>(&ripped)) {
        err << usage(*problem).text;
        return 2;
    }
    RunResult result = std::get<RunResult>(std::move(ripped));
    const std::int64_t ripcount = ripper.ripcount();
    // Closing is when some file systems report a write that failed.
    if (auto closed = out.close(); closed && !result.error) result.error = std::move(closed);
    if (options.count) err << statusText(ripcount) << '\n';
    warnIfEmpty(ripper, sources, result, err);
    // A reader that went away, on a pipe or a FIFO, is the end of the job.
    if (result.error && result.error->code == EPIPE) return 0;
    // An open or a write the stop interrupted.
    if (result.error && result.error->code == EINTR && stopAsked())
        return stoppedCode(err, ripcount);
    if (result.error) return failed(err, *result.error);
    if (clash) {
        reportClash(err, outputName, *clash, "stopped before it, after " + statusText(ripcount));
        return 2;
    }
    if (result.stopped) return stoppedCode(err, ripcount);
    return 0;
}

}  // namespace kolvane::cli
