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
#include "headerline.h"
#include "io.h"
#include "outputfile.h"
#include "parallelrip.h"
#include "partsource.h"
#include "runreport.h"
#include "textsource.h"

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

std::string sourceName(const std::string& source) {
    return source == "-" ? "standard input" : source;
}

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

Expected<std::unique_ptr<ByteSource>> openSource(const std::string& source,
                                                 const ReadOptions& reading) {
    if (source == "-") return readAsText(FileSource::fromDescriptor(STDIN_FILENO), reading);
    auto opened = FileSource::open(source, 0, stopAsked);
    if (!opened) return opened.error();
    return readAsText(std::move(*opened), reading);
}

// A source ready to rip: with --header its first record is read already, to
// name the fields, and is given again to the rip only where it is ripped.
struct OpenedSource {
    std::unique_ptr<ByteSource> bytes;
    std::int64_t linesBefore = 0;  // lines taken off before the first ripped one
    std::vector<std::string> header;
};

Expected<OpenedSource> takeHeader(std::unique_ptr<ByteSource> input, const std::string& source,
                                  const Options& options, bool first) {
    if (options.header == Options::Header::none) return OpenedSource{std::move(input), 0, {}};
    const Dialect dialect = options.settings.dialect();
    auto header =
        readHeaderRecord(*input, sourceName(source), dialect, [] { return stopSignal == 0; });
    if (!header) return header.error();
    OpenedSource opened;
    opened.header = headerNames(header->record, dialect);
    // The first source's header is ripped like any record, unless skipped;
    // a later source's header never is.
    const bool keep = first && options.header == Options::Header::keep;
    opened.linesBefore = keep ? 0 : header->lines;
    opened.bytes = sourceAfterHeader(std::move(*header), std::move(input), keep);
    return opened;
}

// With --part, a source's share of the part. A share that starts inside its
// source holds no header of it, and the names are still the first source's,
// read from its start.
Expected<OpenedSource> openShare(const SourcePart& share, const std::string& source,
                                 const Options& options, bool first, SourceGuard& guard,
                                 std::optional<std::string>& clash) {
    auto opened = openSourcePart(share, stopAsked);
    if (!opened) return opened.error();
    if (!guard.admitSource((*opened)->identity())) {
        clash = source;
        return OpenedSource{};
    }
    if (share.holdsFirstRecord()) return takeHeader(std::move(*opened), source, options, first);
    OpenedSource part{std::move(*opened), 0, {}};
    if (first && options.header != Options::Header::none) {
        auto whole = openSource(source, ReadOptions{options.encoding});
        if (!whole) return whole.error();
        auto named = takeHeader(std::move(*whole), source, options, true);
        if (!named) return named.error();
        part.header = std::move(named->header);
    }
    return part;
}

// The field list or template with the header's names resolved, prepared in
// the ripper; the message says which name could not be.
std::optional<std::string> prepare(ParallelRipper& ripper, Settings& settings,
                                   const Options& options, const std::vector<std::string>& header) {
    if (!options.names.empty()) {
        auto list = resolveFieldNames(options.names, header);
        if (auto* problem = std::get_if<std::string>(&list)) return std::move(*problem);
        ripper.prepare(std::move(std::get<FieldList>(list)));
        return std::nullopt;
    }
    if (options.fields) {
        ripper.prepare(*options.fields);
        return std::nullopt;
    }
    if (options.header != Options::Header::none) {
        auto templ = resolveTemplateNames(settings.fields, header);
        if (templ.index() == 1) return std::get<1>(std::move(templ));
        settings.fields = std::get<0>(std::move(templ));
    }
    ripper.prepare(settings);
    return std::nullopt;
}

// Rips the sources one after the other into the ripper's output, as one rip:
// the count runs on, and the first error ends it, as does a source that is
// the output (named in `clash`, before anything of it is read). A name the
// header lacks is a usage problem, given back as its message.
std::variant<RunResult, std::string> ripSources(ParallelRipper& ripper, const Options& options,
                                                SourceGuard& guard,
                                                std::optional<std::string>& clash) {
    Settings settings = options.settings;
    std::optional<OptionsHost> host;
    RunResult result;
    std::vector<SourcePart> shares;
    if (options.part) {
        auto plan = planPart(options.sources, *options.part, settings.dialect(), options.encoding);
        if (auto* problem = std::get_if<std::string>(&plan)) return std::move(*problem);
        if (auto* error = std::get_if<Error>(&plan)) return RunResult{std::move(*error)};
        shares = std::get<std::vector<SourcePart>>(std::move(plan));
    }
    for (std::size_t i = 0; i < options.sources.size(); ++i) {
        const std::string& source = options.sources[i];
        Expected<OpenedSource> input = OpenedSource{};
        if (shares.empty()) {
            auto opened = openSource(source, ReadOptions{options.encoding});
            if (!opened) return RunResult{opened.error()};
            if (!guard.admitSource((*opened)->identity())) {
                clash = source;
                break;
            }
            input = takeHeader(std::move(*opened), source, options, i == 0);
        } else {
            input = openShare(shares[i], source, options, i == 0, guard, clash);
            if (clash) break;
        }
        if (!input) return RunResult{input.error()};
        if (stopSignal != 0) return RunResult{std::nullopt, true};
        if (i == 0) {
            if (auto problem = prepare(ripper, settings, options, input->header)) return *problem;
            host.emplace(settings);
        }
        result = ripper.run(*input->bytes, sourceName(source), *host, input->linesBefore);
        if (result.error && !shares.empty()) countFromFileStart(*result.error, shares[i]);
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
    // Opened before any source is read, so that a bad path fails at once.
    std::unique_ptr<Writer> firstWriter;
    if (options.append) {
        auto opened = opener.openAppend(*options.append);
        if (!opened && opened.error().code == EINTR && stopAsked()) return stoppedCode(err, 0);
        if (!opened) {
            err << "kolvane-rip: " << opened.error().message() << '\n';
            return 1;
        }
        firstWriter = std::move(*opened);
    } else {
        firstWriter = descriptorWriter(STDOUT_FILENO, true, stopAsked);
    }
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
    std::optional<std::string> clash;
    auto ripped = ripSources(ripper, options, guard, clash);
    if (auto* problem = std::get_if<std::string>(&ripped)) {
        err << "kolvane-rip: " << *problem << "\nRun kolvane-rip --help for the options.\n";
        return 2;
    }
    RunResult result = std::get<RunResult>(std::move(ripped));
    const std::int64_t ripcount = ripper.ripcount();
    // Closing is when some file systems report a write that failed.
    if (auto closed = out.close(); closed && !result.error) result.error = std::move(closed);
    if (options.count) err << statusText(ripcount) << '\n';
    // A reader that went away, on a pipe or a FIFO, is the end of the job.
    if (result.error && result.error->code == EPIPE) return 0;
    // An open or a write the stop interrupted.
    if (result.error && result.error->code == EINTR && stopAsked())
        return stoppedCode(err, ripcount);
    if (result.error) {
        err << "kolvane-rip: " << result.error->message() << '\n';
        return 1;
    }
    if (clash) {
        reportClash(err, outputName, *clash, "stopped before it, after " + statusText(ripcount));
        return 2;
    }
    if (result.stopped) return stoppedCode(err, ripcount);
    return 0;
}

}  // namespace kolvane::cli
