#include "job_list.h"

#include <gtest/gtest.h>

using namespace zr::ui;

namespace {
QString S(const char* s) {
    return QString::fromUtf8(s);
}
QString Beside(const char* p) {
    return TargetFor({S(p), BareName(S(p))}, std::nullopt);
}
} // namespace

TEST(SplitSelection, KeepsTheDialogsOrderWholeNamesAndTheSingleFileTitle) {
    const auto one = SplitSelection({S("/data/a.txt")}, S("a.txt"));
    ASSERT_EQ(one.size(), 1);
    EXPECT_EQ(one[0].bareName, S("a.txt"));
    const auto several = SplitSelection({S("/my data/b.txt"), S("C:\\x\\年报 1.doc")});
    ASSERT_EQ(several.size(), 2);
    EXPECT_EQ(several[0].source, S("/my data/b.txt"));
    EXPECT_EQ(several[0].bareName, S("b.txt"));
    EXPECT_EQ(several[1].bareName, S("年报 1.doc"));
}

TEST(TargetFor, FolderOrBesideThenTheZrRule) {
    const SelectedFile a{S("/data/a.txt"), S("a.txt")};
    EXPECT_EQ(TargetFor(a, S("/out")), S("/out/a.txt.ZR"));
    EXPECT_EQ(TargetFor(a, std::nullopt), S("/data/a.txt.ZR"));
    // A root already ends in a separator: the second one is kept, as the list shows it.
    EXPECT_EQ(TargetFor(a, S("/")), S("//a.txt.ZR"));
    EXPECT_EQ(TargetFor({S("/in/c.ZR"), S("c.ZR")}, S("/out")), S("/out/c"));
    EXPECT_EQ(Beside("/data/b.zr"), S("/data/b"));
    EXPECT_EQ(Beside("/data/b.Zr"), S("/data/b"));
    EXPECT_EQ(Beside("/data/x.ZR.ZR"), S("/data/x.ZR"));
    EXPECT_EQ(Beside("/data/ZR"), S("/data/ZR.ZR")); // no dot: not the suffix
}

TEST(IsListed, ComparesWholePathsCaseSensitively) {
    const QStringList listed{S("/data/a.txt")};
    EXPECT_TRUE(IsListed(listed, S("/data/a.txt")));
    EXPECT_FALSE(IsListed(listed, S("/DATA/A.TXT")));
    EXPECT_FALSE(IsListed(listed, S("/data/a.tx")));
}
