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
std::ostream& operator<<(std::ostream& os, const EscapeCase& c) {
    return os << c.name;
}
class Escapes : public testing::TestWithParam<EscapeCase> {};

TEST_P(Escapes, OnlyTabAndBackslashAreRead) {
    EXPECT_EQ(readEscapes(GetParam().typed), GetParam().read);
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
std::ostream& operator<<(std::ostream& os, const SameFileCase& c) {
    return os << c.name;
}
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
// left in the pipe ends on a whole line.
TEST(Stop, WritingToAnUnreadPipeGivesUp) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    std::atomic<bool> asked = false, returned = false;
    auto writer = descriptorWriter(ends[1], true, [&] { return asked.load(); });
    std::string lines;
    for (int i = 0; lines.size() < (std::size_t{1} << 20); ++i) lines += std::to_string(i) + "\n";
    std::thread stopper([&] {
        // Asked only once the pipe is full: the writer must be waiting then.
        for (int queued = 0; !returned && queued < 60000;) ::ioctl(ends[0], FIONREAD, &queued);
        asked = true;
        // A writer still waiting two seconds on ignored the stop: closing the
        // pipe ends the test (SIGPIPE) instead of leaving it hanging.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!returned && std::chrono::steady_clock::now() < until) std::this_thread::yield();
        if (!returned) ::close(ends[0]);
    });
    const IoResult r = writeAll(*writer, lines);
    returned = true;
    stopper.join();
    EXPECT_EQ(r.code, EINTR);
    writer.reset();
    std::string inPipe(r.bytes + 1, '\0');
    ASSERT_EQ(::read(ends[0], inPipe.data(), inPipe.size()), static_cast<ssize_t>(r.bytes));
    ::close(ends[0]);
    inPipe.resize(r.bytes);
    EXPECT_EQ(inPipe, lines.substr(0, r.bytes));
    EXPECT_EQ(inPipe.back(), '\n');
}

}  // namespace
}  // namespace kolvane
