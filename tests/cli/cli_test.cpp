// The real kolvane-rip, run by a shell in a temporary folder as scripts run it.
// Each row of the first table runs with its source given as a file, as "-", on
// standard input and through a pipe, which must all give the same outcome.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <string>

#include "testutil.h"

namespace kolvane {
namespace {

using namespace std::string_literals;

struct CliCase {
    const char* name;
    std::string script;  // options for the first table, a shell script with $R for the second
    std::string input, out;
    std::string err;  // for a usage error (exit 2) only a part of standard error
    int code;
};
std::ostream& operator<<(std::ostream& os, const CliCase& c) {
    return os << c.name;
}

// Runs `script` in a fresh folder holding in.txt, with $R naming kolvane-rip,
// and checks what it writes to standard output and error, and its exit code.
void expectOutcome(const CliCase& c, const std::string& script) {
    test::TempDir dir;
    test::writeFile(dir.path("in.txt"), c.input);
    const std::string command = "cd '" + dir.root.string() + "' && R='" KOLVANE_RIP "' && { " +
                                script + "; } >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    const std::string err = test::readFile(dir.path("err.txt"));
    EXPECT_EQ(test::readFile(dir.path("out.txt")), c.out) << script;
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.code) << script;
    EXPECT_TRUE(c.code == 2 ? err.find(c.err) != err.npos : err == c.err) << script << ": " << err;
}

class Rows : public testing::TestWithParam<CliCase> {};

TEST_P(Rows, SameFromFileStdinAndPipe) {
    const std::string rip = "$R " + GetParam().script;
    for (const auto& way :
         {rip + " in.txt", rip + " - <in.txt", rip + " <in.txt", "cat in.txt | " + rip}) {
        expectOutcome(GetParam(), way);
    }
}

// clang-format off
const CliCase kRows[] = {
    {"Fields", "--fields 4,2,2", "a|b|c|d\nw|x|y|z\n", "d:b:b\r\nz:x:x\r\n", "", 0},
    {"SplitAndJoin", "-s :: -j ' - ' -f 3,1", "a::b::c\n", "c - a\r\n", "", 0},
    {"Template", "-t '[2]-[1]'", "a|b|c\n", "b-a\r\n", "", 0},
    {"SkipEmpty", "-k -f 2", "a||c\nx|y|z\na| |c\n", "y\r\n", "", 0},
    {"NoFieldListCount", "--count", "a|b\n\nc\n", "\r\n\r\n", "2 values ripped\n", 0},
    {"LineEndsAndLf", "--eol lf -f 2", "a|1\r\nb|2\rc|3\nd|4", "1\n2\n3\n4\n", "", 0},
    {"Bytes", "-f 2,1", "\xe9|\0\xff\n"s, "\0\xff:\xe9\r\n"s, "", 0},
    {"EmptyInputCount", "--count -f 1", "", "", "0 values ripped\n", 0},
    {"Threads", "--threads 3 --count -k -f 2,1", "a|1\r\nb|\rc|3", "1:a\r\n3:c\r\n", "2 values ripped\n", 0},
    {"BadThreads", "--threads 0", "a\n", "", "--threads", 2},
    {"FieldsAndTemplate", "-f 1 -t '[1]'", "a\n", "", "--fields excludes --template", 2},
    {"BadEol", "--eol cr", "a\n", "", "--eol", 2},
    {"UnknownOption", "--bogus", "a\n", "", "--bogus", 2},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(KolvaneRip, Rows, testing::ValuesIn(kRows), test::rowName);

class Scripts : public testing::TestWithParam<CliCase> {};

TEST_P(Scripts, Run) {
    expectOutcome(GetParam(), GetParam().script);
}

const std::string kFull = " at line 1: No space left on device\n";
// clang-format off
const CliCase kScripts[] = {
    {"MissingSource", "$R missing.txt", "", "", "kolvane-rip: Cannot open missing.txt: No such file or directory\n", 1},
    {"FolderSource", "mkdir d && $R d", "", "", "kolvane-rip: Cannot read d: Is a directory\n", 1},
    {"DiskFull", "$R --count -a /dev/full in.txt", "a\n", "", "0 values ripped\nkolvane-rip: Cannot write /dev/full" + kFull, 1},
    {"StdoutFull", "$R in.txt >/dev/full", "a\n", "", "kolvane-rip: Cannot write standard output" + kFull, 1},
    // Far more than a pipe holds: the rip meets the closed pipe and ends quietly.
    {"ClosedPipe", "{ yes 'a|b' | head -n 400000 | $R -f 2; echo $? >&2; } | head -n 1", "", "b\r\n", "0\n", 0},
    // Many blocks ripped at once still come out in the source's order.
    {"ThreadsKeepOrder", "seq 1000000 | sed 's/^/x|/' >big && $R --threads 4 --eol lf -f 2 big >o && seq 1000000 | cmp - o && echo same",
     "", "same\n", "", 0},
    {"ThreadsDiskFull", "$R --threads 4 --count -a /dev/full in.txt", "a\n", "", "0 values ripped\nkolvane-rip: Cannot write /dev/full" + kFull, 1},
    {"ThreadsClosedPipe", "{ yes 'a|b' | head -n 400000 | $R --threads 4 -f 2; echo $? >&2; } | head -n 1", "", "b\r\n", "0\n", 0},
    {"AppendKeepsWhatIsThere", "printf 'kept\\n' >o && $R -f 2 -a o in.txt && $R --eol lf -f 1 -a o in.txt && cat o",
     "a|1\nb|2\n", "kept\n1\r\n2\r\na\nb\n", "", 0},
    {"AppendToItsOwnSource", "$R --eol lf -f 2 -a in.txt in.txt && cat in.txt", "a|1\nb|2\n", "a|1\nb|2\n1\n2\n", "", 0},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(KolvaneRip, Scripts, testing::ValuesIn(kScripts), test::rowName);

}  // namespace
}  // namespace kolvane
