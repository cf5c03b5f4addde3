#include "run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <memory>

#include "headerline.h"
#include "io.h"
#include "outputfile.h"
#include "parallelrip.h"
#include "rip.h"
#include "textsource.h"

namespace kolvane::cli {

namespace {

// The signal that asked the rip to stop, or 0. A handler may touch nothing
// else, so this one flag is the program's only state outside its objects.
volatile std::sig_atomic_t stopSignal = 0;

extern "C" void askToStop(int signal) {
    stopSignal = signal;
}

// SIGINT and SIGTERM stop the rip at the next line boundary, so the output
// ends on a whole line; without SA_RESTART a read that waits for input is
// interrupted and the rip notices. A file-size limit is an ordinary write
// error (EFBIG), cut back to the last whole line, not a silent death.
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

// Options are fixed for the whole run; its pumps only look for a signal.
class OptionsHost : public RipHost {
  public:
    explicit OptionsHost(Settings settings) : settings_(std::move(settings)) {}
    Settings settings() override { return settings_; }
    bool pump(const Progress&) override { return stopSignal == 0; }

  private:
    Settings settings_;
};

struct FileId {
    dev_t device;
    ino_t inode;
    bool operator==(const FileId&) const = default;
};

// Only regular files can be one file under two names: a terminal, a pipe or
// /dev/null shared by source and output is no harm.
std::optional<FileId> regularFile(int statResult, const struct stat& st) {
    if (statResult != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return FileId{st.st_dev, st.st_ino};
}

std::optional<FileId> fileAt(const std::string& path) {
    struct stat st {};
    return regularFile(::stat(path.c_str(), &st), st);
}

std::optional<FileId> fileOn(int fd) {
    struct stat st {};
    return regularFile(::fstat(fd, &st), st);
}

std::string sourceName(const std::string& source) {
    return source == "-" ? "standard input" : source;
}

// The first source that is the output itself, which appending would damage.
std::optional<std::string> sourceWrittenInto(const Options& options) {
    const auto output = options.append ? fileAt(*options.append) : fileOn(STDOUT_FILENO);
    if (!output) return std::nullopt;
    for (const std::string& source : options.sources) {
        if ((source == "-" ? fileOn(STDIN_FILENO) : fileAt(source)) == output) return source;
    }
    return std::nullopt;
}

Expected<std::unique_ptr<ByteSource>> openSource(const std::string& source,
                                                 const ReadOptions& reading) {
    if (source == "-") return readAsText(FileSource::fromDescriptor(STDIN_FILENO), reading);
    auto opened = FileSource::open(source);
    if (!opened) return opened.error();
    return readAsText(std::move(*opened), reading);
}

// A source ready to rip: with --header its first line is read already, to
// name the fields, and is given again to the rip only where it is ripped.
struct OpenedSource {
    std::unique_ptr<ByteSource> bytes;
    std::int64_t linesBefore = 0;  // lines taken off before the first ripped one
    std::vector<std::string> header;
};

Expected<OpenedSource> openForRip(const std::string& source, const Options& options, bool first) {
    auto input = openSource(source, ReadOptions{options.encoding});
    if (!input) return input.error();
    if (options.header == Options::Header::none) return OpenedSource{std::move(*input), 0, {}};
    auto line = readFirstLine(**input, sourceName(source), [] { return stopSignal == 0; });
    if (!line) return line.error();
    OpenedSource opened;
    opened.header =
        headerNames(std::string_view(line->bytes).substr(0, line->end), options.settings.split);
    // The first source's header is ripped like any line, unless skipped;
    // a later source's header never is.
    const bool keep = first && options.header == Options::Header::keep;
    opened.linesBefore = keep ? 0 : 1;
    std::string prefix = keep ? std::move(line->bytes) : line->bytes.substr(line->after);
    opened.bytes = std::make_unique<PrefixedSource>(std::move(prefix), std::move(*input));
    return opened;
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
// the count runs on, and the first error ends it. A name the header lacks is
// a usage problem, given back as its message.
std::variant<RunResult, std::string> ripSources(ParallelRipper& ripper, const Options& options) {
    Settings settings = options.settings;
    std::optional<OptionsHost> host;
    RunResult result;
    for (std::size_t i = 0; i < options.sources.size(); ++i) {
        const std::string& source = options.sources[i];
        auto input = openForRip(source, options, i == 0);
        if (!input) return RunResult{input.error()};
        if (stopSignal != 0) return RunResult{std::nullopt, true};
        if (i == 0) {
            if (auto problem = prepare(ripper, settings, options, input->header)) return *problem;
            host.emplace(settings);
        }
        result = ripper.run(*input->bytes, sourceName(source), *host, input->linesBefore);
        if (result.error || result.stopped) break;
    }
    return result;
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

int run(const Options& options, std::ostream& err) {
    catchSignals();
    FileOpener files;
    // Opened before any source is read, so that a bad path fails at once.
    std::unique_ptr<Writer> appendWriter;
    if (options.append) {
        auto opened = files.openAppend(*options.append);
        if (!opened) {
            err << "kolvane-rip: " << opened.error().message() << '\n';
            return 1;
        }
        appendWriter = std::move(*opened);
    }
    const std::string outputName = options.append.value_or("standard output");
    if (auto source = sourceWrittenInto(options)) {
        err << "kolvane-rip: the output " << outputName << " is the same file as the source "
            << sourceName(*source) << "; nothing was ripped\n";
        return 2;
    }

    OutputFile out(
        outputName,
        [&]() -> Expected<std::unique_ptr<Writer>> {
            if (!options.append) return descriptorWriter(STDOUT_FILENO, true);
            if (appendWriter) return std::move(appendWriter);
            return files.openAppend(*options.append);  // again, after a failed write
        },
        options.eol);
    // Block by block, also on one thread: a block's lines are cut and copied
    // in one loop, with no call per line, and its reads are large.
    ParallelRipper ripper(out, options.threads);
    auto ripped = ripSources(ripper, options);
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
    if (result.error) {
        err << "kolvane-rip: " << result.error->message() << '\n';
        return 1;
    }
    if (result.stopped) {
        err << "kolvane-rip: " << (stopSignal == SIGINT ? "interrupted" : "terminated")
            << ", after " << statusText(ripcount) << '\n';
        return 128 + stopSignal;
    }
    return 0;
}

}  // namespace kolvane::cli
