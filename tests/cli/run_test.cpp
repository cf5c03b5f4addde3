// kolvane-rip's run with an output opener that moves the output's name right
// after opening, as a link flipped by another process does: what counts is the
// file opened, never what the name means a moment later.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "run.h"
#include "testutil.h"

namespace kolvane {
namespace {

// Opens the output through the link, then points the link at `next`.
struct SwappingOpener : OutputOpener {
    std::string next;
    FileOpener files;
    Expected<std::unique_ptr<Writer>> openAppend(const std::string& path) override {
        auto opened = files.openAppend(path);
        std::filesystem::remove(path);
        std::filesystem::create_symlink(next, path);
        return opened;
    }
};

struct SwapCase {
    const char* name;
    const char *linkAtOpen, *linkAfter;
    int code;
    std::string source, other;  // what in.txt and other.txt hold afterwards
};
class NeverIntoASource : public testing::TestWithParam<SwapCase> {};

TEST_P(NeverIntoASource, ChecksTheOutputItOpened) {
    const SwapCase& c = GetParam();
    test::TempDir dir;
    test::writeFile(dir.path("in.txt"), "a|b\n");
    test::writeFile(dir.path("other.txt"), "");
    std::filesystem::create_symlink(c.linkAtOpen, dir.path("o"));
    const std::string out = dir.path("o"), in = dir.path("in.txt");
    const char* argv[] = {"kolvane-rip", "-f", "2", "-a", out.c_str(), in.c_str()};
    auto options = std::get<cli::Options>(cli::parseCommandLine(6, argv));
    SwappingOpener opener;
    opener.next = c.linkAfter;
    std::ostringstream err;
    EXPECT_EQ(cli::run(options, err, opener), c.code) << err.str();
    EXPECT_EQ(test::readFile(in), c.source);
    EXPECT_EQ(test::readFile(dir.path("other.txt")), c.other);
}

// clang-format off
const SwapCase kSwaps[] = {
    {"OpenedTheSourceThenPointsElsewhere", "in.txt", "other.txt", 2, "a|b\n", ""},
    {"OpenedAnotherFileThenPointsAtTheSource", "other.txt", "in.txt", 0, "a|b\n", "b\n"},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Run, NeverIntoASource, testing::ValuesIn(kSwaps), test::rowName);

}  // namespace
}  // namespace kolvane
