#include "run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <memory>

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

// Rips the sources one after the other into the ripper's output, as one rip:
// the count runs on, and the first error ends it.
RunResult ripSources(ParallelRipper& ripper, const Options& options) {
    if (options.fields) {
        ripper.prepare(*options.fields);
    } else {
        ripper.prepare(options.settings);
    }
    OptionsHost host(options.settings);
    RunResult result;
    for (const std::string& source : options.sources) {
        auto input = openSource(source, ReadOptions{options.encoding});
        if (!input) return RunResult{input.error()};
        result = ripper.run(**input, sourceName(source), host);
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
    RunResult result = ripSources(ripper, options);
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
