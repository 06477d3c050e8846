#include "target_name.h"

#include <gtest/gtest.h>

using zr::FolderTargetFor;
using zr::TargetNameFor;

TEST(TargetName, DropsZrSuffixInAnyCase) {
    EXPECT_EQ(TargetNameFor("C:\\data\\plan.doc.zr"), "C:\\data\\plan.doc");
    EXPECT_EQ(TargetNameFor("x.ZR"), "x");
    EXPECT_EQ(TargetNameFor("x.Zr"), "x");
    EXPECT_EQ(TargetNameFor("x.zR"), "x");
    EXPECT_EQ(TargetNameFor(".zr"), "");
    EXPECT_EQ(TargetNameFor(u"/home/u/报告.zr"), u"/home/u/报告");
}

TEST(TargetName, AppendsUpperCaseZrOtherwise) {
    EXPECT_EQ(TargetNameFor("C:\\data\\plan.doc"), "C:\\data\\plan.doc.ZR");
    EXPECT_EQ(TargetNameFor("abczr"), "abczr.ZR");
    EXPECT_EQ(TargetNameFor("x.ZR.ZR"), "x.ZR");
    EXPECT_EQ(TargetNameFor(""), ".ZR");
    EXPECT_EQ(TargetNameFor("zr"), "zr.ZR");
    EXPECT_EQ(TargetNameFor(u"/home/u/报告"), u"/home/u/报告.ZR");
}

TEST(FolderTarget, DropsOrAddsZrCaseSensitively) {
    EXPECT_EQ(FolderTargetFor("C:\\abc"), "C:\\abcZR");
    EXPECT_EQ(FolderTargetFor("C:\\abcZR"), "C:\\abc");
    EXPECT_EQ(FolderTargetFor("C:\\abczr"), "C:\\abczrZR");
    EXPECT_EQ(FolderTargetFor("C:\\abcZr"), "C:\\abcZrZR");
    EXPECT_EQ(FolderTargetFor("C:\\"), "C:\\ZR");
    EXPECT_EQ(FolderTargetFor(u"/home/数据"), u"/home/数据ZR");
}
