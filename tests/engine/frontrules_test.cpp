// The rules both front ends share: the escapes of split and join strings, and
// when writing an output would write into a source; and the writes that let a
// stop end a wait for a pipe's reader. (Opens of FIFOs a stop ends, and real
// files and devices as source and output, are rows of the CLI's tests.)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "frontrules.h"
#include "testutil.h"

namespace kolvane {
namespace {

struct EscapeCase {
    const char* name;
    std::string typed, read;
};
class Escapes : public testing::TestWithParam<EscapeCase> {};

TEST_P(Escapes, OnlyTabAndBackslashAreRead) {
    EXPECT_EQ(readEscapes(GetParam().typed), GetParam().read);
    EXPECT_EQ(readEscapes(writeEscapes(GetParam().read)), GetParam().read);
}

// clang-format off
const EscapeCase kEscapes[] = {
    {"Tab", "\\t", "\t"},
    {"Backslash", "\\\\", "\\"},
    {"EscapedBackslashBeforeT", "\\\\t", "\\t"},
    {"BackslashThenTab", "\\\\\\t", "\\\t"},
    {"OtherEscapesStay", "\\n\\x", "\\n\\x"},
    {"TrailingBackslash", "a\\", "a\\"},
    {"Utf8Untouched", "\xc2\xa7\\t\xc3\xa9", "\xc2\xa7\t\xc3\xa9"},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(FrontRules, Escapes, testing::ValuesIn(kEscapes), test::rowName);

struct SameFileCase {
    const char* name;
    std::optional<FileIdentity> output, source;
    bool writesInto;
};
class SameFile : public testing::TestWithParam<SameFileCase> {};

TEST_P(SameFile, OnlyOneRegularFileIsWrittenInto) {
    EXPECT_EQ(writesInto(GetParam().output, GetParam().source), GetParam().writesInto);
}

const FileIdentity kFile{1, 10, true};
// clang-format off
const SameFileCase kSameFile[] = {
    {"OneRegularFile", kFile, kFile, true},
    {"OtherInode", kFile, FileIdentity{1, 11, true}, false},
    {"OtherDevice", kFile, FileIdentity{2, 10, true}, false},
    // /dev/null, a FIFO or a terminal on both sides cannot be damaged.
    {"SharedDevice", FileIdentity{5, 3, false}, FileIdentity{5, 3, false}, false},
    {"UnknownOutput", std::nullopt, kFile, false},
    {"UnknownSource", kFile, std::nullopt, false},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(FrontRules, SameFile, testing::ValuesIn(kSameFile), test::rowName);

// Standard output cannot be opened again: a retry would only close it.
TEST(Writer, OnlyAFileOpenedByPathIsReopenable) {
    test::TempDir dir;
    FileOpener files;
    auto byPath = files.openAppend(dir.path("o"));
    ASSERT_TRUE(byPath);
    EXPECT_TRUE((*byPath)->reopenable());
    const int fd = ::open(dir.path("o").c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(descriptorWriter(fd, true)->reopenable());
}

// A pipe nobody reads: the write gives up once a stop is asked, and what it
// left in the pipe ends on a whole line, whether the lines come in one write
// or in batches whose ends fall anywhere in the pipe's pages (a batch that
// does not fill its last page leaves the rest of it unused).
TEST(Stop, WritingToAnUnreadPipeGivesUp) {
    std::string lines;
    for (int i = 0; lines.size() < (std::size_t{2} << 20); ++i) lines += std::to_string(i) + "\n";
    for (const std::size_t batch : {lines.size(), std::size_t{262147}, std::size_t{5003}}) {
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        std::atomic<bool> asked = false, returned = false;
        auto writer = descriptorWriter(ends[1], true, [&] { return asked.load(); });
        std::thread stopper([&] {
            // Asked once the pipe holds something: the writer is asked only
            // when it waits, so it goes on until the pipe is full.
            for (int queued = 0; !returned && queued < 60000;) ::ioctl(ends[0], FIONREAD, &queued);
            asked = true;
            // A writer still waiting two seconds on ignored the stop: closing
            // the pipe ends the test (SIGPIPE) instead of leaving it hanging.
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
            while (!returned && std::chrono::steady_clock::now() < until) std::this_thread::yield();
            if (!returned) ::close(ends[0]);
        });
        IoResult r;
        std::size_t done = 0;
        while (done < lines.size() && !r.failed()) {
            const std::size_t cut = std::min(lines.find('\n', done + batch - 1), lines.size() - 1);
            r = writeAll(*writer, std::string_view(lines).substr(done, cut + 1 - done));
            done += r.bytes;
        }
        returned = true;
        stopper.join();
        EXPECT_EQ(r.code, EINTR) << batch;
        writer.reset();
        std::string inPipe(done + 1, '\0');
        ASSERT_EQ(::read(ends[0], inPipe.data(), inPipe.size()), static_cast<ssize_t>(done));
        ::close(ends[0]);
        inPipe.resize(done);
        EXPECT_EQ(inPipe, lines.substr(0, done)) << batch;
        EXPECT_EQ(inPipe.back(), '\n') << batch;
    }
}

}  // namespace
}  // namespace kolvane
