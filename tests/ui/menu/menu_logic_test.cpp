#include "menu_logic.h"

#include <climits>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace zr::ui;

TEST(Chc, CyclesThroughTheThreeIndicesAndRestartsFromAnyOther) {
    EXPECT_EQ(ChcStep(9, 9, 12, 2), 12);
    EXPECT_EQ(ChcStep(12, 9, 12, 2), 2);
    EXPECT_EQ(ChcStep(2, 9, 12, 2), 9);
    EXPECT_EQ(ChcStep(0, 9, 12, 2), 9); // an empty Tag
    EXPECT_EQ(ChcStep(5, 9, 12, 2), 9);
    // With repeated indices the first match wins.
    EXPECT_EQ(ChcStep(3, 3, 3, 7), 3);
}

TEST(Chc, ReadsTheTagLikeANumberWithEmptyAndJunkAsZero) {
    EXPECT_EQ(TagValue(""), 0);
    EXPECT_EQ(TagValue("abc"), 0);
    EXPECT_EQ(TagValue("12"), 12);
    EXPECT_EQ(TagValue("  9x"), 9);
    EXPECT_EQ(TagValue("-3"), -3);
    EXPECT_EQ(TagValue("99999999999999999999"), INT_MAX); // no overflow
}

TEST(Chc, PaintsTheStandardPaletteColours) {
    EXPECT_EQ(CgaColor(2), (Rgb{0, 128, 0}));
    EXPECT_EQ(CgaColor(9), (Rgb{0, 0, 255}));
    EXPECT_EQ(CgaColor(12), (Rgb{255, 0, 0}));
    EXPECT_EQ(CgaColor(-1), CgaColor(15)); // out of range wraps instead of reading past it
}

TEST(ExitLabel, ShowsTheExitTextOnEveryFourthTickOnly) {
    int count = 0;
    std::vector<bool> shown;
    for (int i = 0; i < 9; ++i) {
        const ExitLabelTick t = StepExitLabel(count);
        count = t.count;
        EXPECT_GE(count, 0);
        EXPECT_LE(count, 3);
        shown.push_back(t.showExit);
    }
    EXPECT_EQ(shown,
              (std::vector<bool>{false, false, false, true, false, false, false, true, false}));
}
