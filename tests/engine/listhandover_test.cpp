// The list's lines on their way from the rip's thread: every line reaches the
// list once and in order, whatever the size of the pieces they travel in, and
// what was released is in the list at the next delivery.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "listhandover.h"
#include "testutil.h"

namespace kolvane {
namespace {

using Lines = std::vector<std::string>;

// One add() of `lines`, a release() when asked, then a delivery.
struct Step {
    Lines lines;
    bool release = false;
};

void add(ListHandover& handover, const Lines& lines) {
    std::string bytes;
    std::vector<LineEnd> ends;
    for (const std::string& line : lines) {
        bytes += line;
        ends.push_back({bytes.size(), 0});
    }
    handover.add(bytes, ends);
    EXPECT_TRUE(bytes.empty());
}

struct HandoverCase {
    const char* name;
    std::size_t pieceBytes;
    std::vector<Step> steps;
};

const HandoverCase kCases[] = {
    {"LinesFillPiecesExactly", 4, {{{"ab", "cd", "ef", "gh"}}}},
    {"LinesOfOneAddStraddleTwoPieces", 5, {{{"abc", "de", "fg"}}, {{"h"}, true}}},
    {"LinesAfterAReleaseGoOnInTheSamePiece",
     8,
     {{{"ab"}, true}, {{"cd"}, true}, {{"efg", "hij"}}, {{"k"}, true}}},
    {"AddLongerThanAPieceGoesWhole", 4, {{{"a"}}, {{"bcdef", "g"}}, {{"hi"}, true}}},
    {"EmptyLines", 2, {{{"", "ab", ""}, true}, {{"", ""}}, {{"c", ""}, true}}},
};

class Handover : public testing::TestWithParam<HandoverCase> {};

TEST_P(Handover, ListHoldsEveryLineReleasedAndAPrefixOfTheRest) {
    ListHandover handover(GetParam().pieceBytes);
    ResultStore list;
    Lines added;
    for (const Step& step : GetParam().steps) {
        add(handover, step.lines);
        added.insert(added.end(), step.lines.begin(), step.lines.end());
        if (step.release) handover.release();
        EXPECT_FALSE(handover.deliver(list));
        const Lines shown = test::items(list);
        if (step.release) {
            EXPECT_EQ(shown, added);
        }
        ASSERT_LE(shown.size(), added.size());
        EXPECT_TRUE(std::equal(shown.begin(), shown.end(), added.begin()));
    }
    handover.release();
    handover.deliver(list);
    EXPECT_EQ(test::items(list), added);
}

INSTANTIATE_TEST_SUITE_P(Pieces, Handover, testing::ValuesIn(kCases), test::rowName);

TEST(ListHandover, LinesDeliveredWhileTheRipAddsArriveWholeAndInOrder) {
    ListHandover handover(8);
    ResultStore list;
    Lines want;
    for (std::size_t i = 0; i < 20000; ++i) want.emplace_back(i * 5 % 7, char('a' + i % 26));
    std::atomic<bool> done = false;
    std::thread rip([&] {
        for (std::size_t i = 0; i < want.size(); i += 2) {
            add(handover, Lines(want.begin() + i, want.begin() + i + 2));
            if (i % 14 == 0) handover.release();
        }
        handover.release();
        done = true;
    });
    while (!done) handover.deliver(list);
    rip.join();
    handover.deliver(list);
    EXPECT_TRUE(test::items(list) == want);
}

}  // namespace
}  // namespace kolvane
