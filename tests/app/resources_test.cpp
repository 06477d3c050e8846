#include <QImage>
#include <gtest/gtest.h>

namespace {

TEST(Resources, CarryBothWindowIconsAtFullSize) {
    for (const char* name : {":/zr/zr.png", ":/zr/mfiles.png"}) {
        const QImage icon(name);
        ASSERT_FALSE(icon.isNull()) << name;
        EXPECT_EQ(icon.size(), QSize(256, 256)) << name;
        EXPECT_TRUE(icon.hasAlphaChannel()) << name;
    }
    EXPECT_NE(QImage(":/zr/zr.png"), QImage(":/zr/mfiles.png"));
    EXPECT_EQ(QImage(":/zr/zr-16.png").size(), QSize(16, 16));
}

} // namespace
