// The real kolvane-rip, run by a shell in a temporary folder: each row of the
// table with its source given as a file, as "-", on standard input and through
// a pipe, which must all give the same bytes, messages and exit code.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "testutil.h"

namespace kolvane {
namespace {

using namespace std::string_literals;

using test::TempDir;

std::string quote(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) quoted += c == '\'' ? "'\\''"s : std::string(1, c);
    return quoted + "'";
}

struct Outcome {
    std::string out, err;
    int code;
};

// Runs `command` by the shell in `dir`, catching its standard output and error.
Outcome run(const TempDir& dir, const std::string& command) {
    int status = std::system(
        ("cd " + quote(dir.root().string()) + " && " + command + " >out.txt 2>err.txt").c_str());
    return {test::readFile(dir.path("out.txt")), test::readFile(dir.path("err.txt")),
            WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

std::string rip(const std::vector<std::string>& args) {
    std::string command = quote(KOLVANE_RIP);
    for (const auto& arg : args) command.append(" ").append(quote(arg));
    return command;
}

struct CliCase {
    const char* name;
    std::vector<std::string> args;
    std::string input;
    std::string out;
    std::string err;  // a part of standard error; empty: nothing at all
    int code;
};

void PrintTo(const CliCase& c, std::ostream* os) {
    *os << c.name;
}

class Rows : public testing::TestWithParam<CliCase> {};

TEST_P(Rows, SameFromFileStdinAndPipe) {
    const CliCase& c = GetParam();
    TempDir dir;
    test::writeFile(dir.path("in.txt"), c.input);
    const std::string command = rip(c.args);
    for (const std::string& way : {command + " in.txt", command + " - <in.txt",
                                   command + " <in.txt", "cat in.txt | " + command}) {
        auto outcome = run(dir, way);
        EXPECT_EQ(outcome.out, c.out) << way;
        EXPECT_EQ(outcome.code, c.code) << way;
        if (c.err.empty()) {
            EXPECT_EQ(outcome.err, "") << way;
        } else {
            EXPECT_NE(outcome.err.find(c.err), std::string::npos) << way << ": " << outcome.err;
        }
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(KolvaneRip, Rows, testing::Values(
    CliCase{"Fields", {"-f", "2,4"}, "a|b|c|d\nw|x|y|z\n", "b:d\r\nx:z\r\n", "", 0},
    CliCase{"OrderAndRepeat", {"--fields", "4,2,2"}, "a|b|c|d\n", "d:b:b\r\n", "", 0},
    CliCase{"SplitAndJoin", {"-s", "::", "-j", " - ", "-f", "3,1"}, "a::b::c\n", "c - a\r\n", "",
            0},
    CliCase{"Template", {"-t", "[2]-[1]"}, "a|b|c\n", "b-a\r\n", "", 0},
    CliCase{"SkipEmpty", {"-k", "-f", "2"}, "a||c\nx|y|z\na| |c\n", "y\r\n", "", 0},
    CliCase{"NoFieldList", {}, "a|b\n\nc\n", "\r\n\r\n", "", 0},
    CliCase{"LineEndsAndLf", {"--eol", "lf", "-f", "2"}, "a|1\r\nb|2\rc|3\nd|4", "1\n2\n3\n4\n",
            "", 0},
    CliCase{"Bytes", {"-f", "2,1"}, "\xe9|\0\xff\n"s, "\0\xff:\xe9\r\n"s, "", 0},
    CliCase{"EmptyInput", {"-f", "1"}, "", "", "", 0},
    CliCase{"Count", {"--count", "-f", "1"}, "a\n\nb\n", "a\r\nb\r\n", "2 values ripped\n", 0},
    CliCase{"CountZero", {"--count"}, "\n\n", "", "0 values ripped\n", 0},
    CliCase{"FieldsAndTemplate", {"-f", "1", "-t", "[1]"}, "a\n", "",
            "--fields excludes --template", 2},
    CliCase{"BadEol", {"--eol", "cr"}, "a\n", "", "--eol", 2},
    CliCase{"UnknownOption", {"--bogus"}, "a\n", "", "--bogus", 2}),
    [](const auto& row) { return std::string(row.param.name); });
// clang-format on

TEST(KolvaneRip, SourcesThatCannotBeRead) {
    TempDir dir;
    std::filesystem::create_directory(dir.path("folder"));
    const struct {
        const char* source;
        const char* message;
    } rows[] = {
        {"missing.txt", "kolvane-rip: Cannot open missing.txt: No such file or directory\n"},
        {"folder", "kolvane-rip: Cannot read folder: Is a directory\n"}};
    for (const auto& row : rows) {
        auto outcome = run(dir, rip({"-f", "1", row.source}));
        EXPECT_EQ(outcome.code, 1);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(outcome.err, row.message);
    }
}

TEST(KolvaneRip, FullDisk) {
    TempDir dir;
    test::writeFile(dir.path("in.txt"), "a\nb\n");
    for (const std::string& command : {rip({"-f", "1", "-a", "/dev/full", "in.txt"}),
                                       rip({"-f", "1", "in.txt"}) + " >/dev/full"}) {
        // The runner's own redirection comes after, so send standard output on.
        auto outcome = run(dir, "{ " + command + "; }");
        EXPECT_EQ(outcome.code, 1) << command;
        EXPECT_NE(outcome.err.find("at line 1: No space left on device"), std::string::npos)
            << command << ": " << outcome.err;
    }
}

TEST(KolvaneRip, ClosedPipeEndsQuietly) {
    TempDir dir;
    std::string input;
    for (int i = 0; i < 300000; ++i) input += "line" + std::to_string(i) + "|x\n";
    test::writeFile(dir.path("in.txt"), input);  // several megabytes: far more than a pipe holds
    auto outcome = run(
        dir, "{ " + rip({"-f", "1", "in.txt"}) + " 2>rip-err.txt; echo $? >rc.txt; } | head -1");
    EXPECT_EQ(outcome.out, "line0\r\n");
    EXPECT_EQ(test::readFile(dir.path("rc.txt")), "0\n");
    EXPECT_EQ(test::readFile(dir.path("rip-err.txt")), "");
}

TEST(KolvaneRip, AppendAddsToWhatTheFileHolds) {
    TempDir dir;
    test::writeFile(dir.path("res.txt"), "kept\r\n");
    test::writeFile(dir.path("one.txt"), "a|1\nb|2\n");
    test::writeFile(dir.path("two.txt"), "c|3\n");
    for (const char* source : {"one.txt", "two.txt"}) {
        auto outcome = run(dir, rip({"-f", "2", "--count", "-a", "res.txt", source}));
        EXPECT_EQ(outcome.code, 0);
        EXPECT_EQ(outcome.out, "");  // results go to the file only
    }
    EXPECT_EQ(test::readFile(dir.path("res.txt")), "kept\r\n1\r\n2\r\n3\r\n");
    auto outcome = run(dir, rip({"-f", "2", "--eol", "lf", "-a", "res.txt", "two.txt"}));
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(test::readFile(dir.path("res.txt")), "kept\r\n1\r\n2\r\n3\r\n3\n");
}

}  // namespace
}  // namespace kolvane
