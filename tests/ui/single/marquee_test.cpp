#include "marquee.h"

#include <QStringList>
#include <gtest/gtest.h>

using zr::ui::MarqueeStep;
using zr::ui::MarqueeTitle;

namespace {

const QString kAuthor = QStringLiteral("作者：zr 开发组");
const QString kInstitution = QStringLiteral("zr 开源项目");

TEST(Marquee, TitleIsFortyTwoBlanksAndTheName) {
    EXPECT_EQ(MarqueeTitle().size(), 49);
    EXPECT_TRUE(MarqueeTitle().startsWith(QString(42, QLatin1Char(' ')) + QStringLiteral("文")));
}

TEST(Marquee, OneCycleIsFiftyTitleTicksThenTwentyTwoCreditTicks) {
    int count = 50; // as the window's load sets it
    bool alt = false;
    QStringList captions;
    for (int i = 0; i < 72; ++i)
        captions << MarqueeStep(count, alt);
    // Title phase: the rightmost 49, 48, ... 0 characters.
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(captions[i], MarqueeTitle().right(49 - i)) << i;
    EXPECT_EQ(captions[42], QStringLiteral("文件加密/解密")); // at the left edge
    EXPECT_TRUE(captions[49].isEmpty());
    // Credit phase, c = 49 .. 28.
    for (int i = 50; i < 72; ++i) {
        const int c = 49 - (i - 50);
        QString want = kAuthor;
        if (c == 45 || c == 40 || c == 35 || c == 34 || c == 28)
            want.clear();
        else if (c >= 29 && c <= 33)
            want = kInstitution;
        EXPECT_EQ(captions[i], want) << "c=" << c;
    }
    // And the next cycle begins with the whole title again.
    EXPECT_EQ(MarqueeStep(count, alt), MarqueeTitle());
    EXPECT_FALSE(alt);
}

TEST(Marquee, StartsFromAnEmptyCountAsAtProgramStart) {
    int count = 0;
    bool alt = false;
    // An empty count flips the phase at once: the first caption is the author line.
    EXPECT_EQ(MarqueeStep(count, alt), kAuthor);
    EXPECT_TRUE(alt);
    EXPECT_EQ(count, 49);
}

TEST(Marquee, ReloadRestartsTheCurrentPhaseFromTheTop) {
    int count = 50;
    bool alt = false;
    for (int i = 0; i < 55; ++i) // into the credit phase
        MarqueeStep(count, alt);
    ASSERT_TRUE(alt);
    count = 50; // the window is closed and opened again; the phase survives
    EXPECT_EQ(MarqueeStep(count, alt), kAuthor);
    for (int i = 0; i < 21; ++i)
        MarqueeStep(count, alt);
    EXPECT_EQ(MarqueeStep(count, alt), MarqueeTitle()); // then the title phase follows

    for (int i = 0; i < 10; ++i)
        MarqueeStep(count, alt);
    count = 50; // reload during the title phase
    EXPECT_EQ(MarqueeStep(count, alt), MarqueeTitle());
}

TEST(Marquee, CreditLinesAreParameters) {
    int count = 0;
    bool alt = false;
    EXPECT_EQ(MarqueeStep(count, alt, QStringLiteral("A"), QStringLiteral("B")),
              QStringLiteral("A"));
    for (int i = 0; i < 16; ++i) // c = 48 .. 33
        MarqueeStep(count, alt, QStringLiteral("A"), QStringLiteral("B"));
    EXPECT_EQ(MarqueeStep(count, alt, QStringLiteral("A"), QStringLiteral("B")),
              QStringLiteral("B"));
}

} // namespace
