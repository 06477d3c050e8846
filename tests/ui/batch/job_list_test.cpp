#include "job_list.h"

#include <gtest/gtest.h>

using namespace zr::ui;

namespace {
QString S(const char* s) {
    return QString::fromUtf8(s);
}
} // namespace

TEST(SplitSelection, SingleSelectionTakesTheDialogsFileTitle) {
    const auto files = SplitSelection({S("/data/a.txt")}, S("a.txt"));
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(files[0].source, S("/data/a.txt"));
    EXPECT_EQ(files[0].bareName, S("a.txt"));
}

TEST(SplitSelection, SeveralFilesKeepTheDialogsOrderAndBlanksInNames) {
    const auto files =
        SplitSelection({S("/my data/b.txt"), S("/my data/a file.txt"), S("C:\\x\\年报 1.doc")});
    ASSERT_EQ(files.size(), 3);
    EXPECT_EQ(files[0].source, S("/my data/b.txt"));
    EXPECT_EQ(files[0].bareName, S("b.txt"));
    EXPECT_EQ(files[1].source, S("/my data/a file.txt"));
    EXPECT_EQ(files[1].bareName, S("a file.txt"));
    EXPECT_EQ(files[2].bareName, S("年报 1.doc"));
    EXPECT_TRUE(SplitSelection({}).isEmpty());
}

TEST(TargetFor, InTheChosenFolderOrBesideTheSource) {
    const SelectedFile a{S("/data/a.txt"), S("a.txt")};
    EXPECT_EQ(TargetFor(a, S("/out")), S("/out/a.txt.ZR"));
    EXPECT_EQ(TargetFor(a, std::nullopt), S("/data/a.txt.ZR"));
    // A root already ends in a separator: the second one is kept, as the list shows it.
    EXPECT_EQ(TargetFor(a, S("/")), S("//a.txt.ZR"));
    EXPECT_EQ(TargetFor(a, S("D:\\")), S("D:\\/a.txt.ZR"));
}

TEST(TargetFor, ZrSuffixIsDroppedInAnyCaseOnlyOnce) {
    const auto beside = [](const char* p) {
        return TargetFor({S(p), BareName(S(p))}, std::nullopt);
    };
    EXPECT_EQ(beside("/data/b.zr"), S("/data/b"));
    EXPECT_EQ(beside("/data/b.Zr"), S("/data/b"));
    EXPECT_EQ(beside("/data/x.ZR.ZR"), S("/data/x.ZR"));
    EXPECT_EQ(beside("/data/ZR"), S("/data/ZR.ZR")); // no dot: not the suffix
    EXPECT_EQ(TargetFor({S("/in/c.ZR"), S("c.ZR")}, S("/out")), S("/out/c"));
}

TEST(IsListed, ComparesWholePathsCaseSensitively) {
    const QStringList listed{S("/data/a.txt"), S("/data/b.txt")};
    EXPECT_TRUE(IsListed(listed, S("/data/a.txt")));
    EXPECT_FALSE(IsListed(listed, S("/DATA/A.TXT")));
    EXPECT_FALSE(IsListed(listed, S("/data/a.tx")));
    EXPECT_EQ(DuplicateText(S("/data/a.txt")), S("文件/data/a.txt已经加入列表中了，不能重复加入!"));
}

TEST(ListLayout, ListsShareTheWidthAndFillTheHeight) {
    const ListLayout l = ComputeListLayout(7560, 5730, 1680, 90);
    EXPECT_FLOAT_EQ(l.list1Left, 10);
    EXPECT_FLOAT_EQ(l.listWidth, 3680);
    EXPECT_FLOAT_EQ(l.listHeight, 5730 - 2080);
    EXPECT_FLOAT_EQ(l.list2Left + l.listWidth, 7560 - 150);
    EXPECT_FLOAT_EQ(l.label1Left, 10);
    EXPECT_FLOAT_EQ(l.label2Left, l.list2Left);
    EXPECT_FLOAT_EQ(l.label3Left + 45, l.list2Left + l.listWidth / 2);
    EXPECT_FLOAT_EQ(l.barLeft, l.list2Left);
    EXPECT_FLOAT_EQ(l.barWidth, l.listWidth);
}

TEST(BatchPercent, OneEntryShowsItsOwnShareSeveralTheListsShare) {
    std::vector<int> one;
    for (qint64 done : {32768, 65536, 98304, 100000})
        one.push_back(BatchPercent(1, 0, done, 100000));
    EXPECT_EQ(one, (std::vector<int>{32, 65, 98, 100}));
    std::vector<int> four, three;
    for (int i = 0; i < 4; ++i)
        four.push_back(BatchPercent(4, i, 100000, 100000));
    for (int i = 0; i < 3; ++i)
        three.push_back(BatchPercent(3, i, 1, 2));
    EXPECT_EQ(four, (std::vector<int>{0, 25, 50, 75}));
    EXPECT_EQ(three, (std::vector<int>{0, 33, 66}));
}
