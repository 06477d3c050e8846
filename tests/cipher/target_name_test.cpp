#include "target_name.h"

#include <gtest/gtest.h>

using zr::FolderTargetFor;
using zr::TargetNameFor;
using zr::UpperCaseAscii;

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
    EXPECT_EQ(TargetNameFor(""), "") << "an empty name has no target name";
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

TEST(UpperCaseAscii, LettersOnlyAndNeverTheSecondByteOfADoubleByteCharacter) {
    EXPECT_EQ(UpperCaseAscii("été 报告.txt"), "éTé 报告.TXT");
    // GBK: B0 61 is one character; B0 41 would be another.
    EXPECT_EQ(UpperCaseAscii("\xB0\x61.txt"), "\xB0\x61.TXT");
    // Big5, a letter between two characters: A4 61, then b, then A4 41.
    EXPECT_EQ(UpperCaseAscii("\xA4\x61\x62\xA4\x41"), "\xA4\x61\x42\xA4\x41");
    // 80 and FF lead nothing.
    EXPECT_EQ(UpperCaseAscii("\x80\x61\xFF\x62"), "\x80\x41\xFF\x42");
}
