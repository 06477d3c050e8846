#include "about.h"
#include "app_record.h"
#include "form2.h"
#include "scripted_platform.h"
#include "window_registry.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <gtest/gtest.h>

using zr::app::Control;
using zr::app::Record;
using zr::app::Windows;
using zr::platform::MessageButtons;
using zr::platform::MessageIcon;
using zr::platform::ScriptedPlatform;
using zr::ui::Form2;

namespace {

// Stand-ins for the two windows help returns to, with the controls it touches.
struct StandInForm1 : zr::app::ZrWindow {
    static constexpr const char* kName = "Form1";
    StandInForm1() {
        auto* ok = new QPushButton(this);
        ok->setObjectName(QStringLiteral("C_Ok"));
        ok->hide();
    }
};
struct StandInForm3 : zr::app::ZrWindow {
    static constexpr const char* kName = "Form3";
};

class HelpWindow : public ::testing::Test {
protected:
    void SetUp() override {
        zr::app::RegisterWindow<StandInForm1>();
        zr::app::RegisterWindow<StandInForm3>();
        zr::app::RegisterWindow<Form2>();
    }
    void TearDown() override {
        Windows().UnloadAll();
        zr::app::ResetRecord();
    }
    Form2& OpenHelp(int caller) {
        Record().HelpCaller = caller;
        auto& w = static_cast<Form2&>(Windows().Get(QStringLiteral("Form2")));
        w.show();
        return w;
    }
    static void MoveOver(QWidget* w) {
        QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &move);
    }
    static void Click(QWidget* w) {
        const QPointF at(3, 3);
        QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &press);
        QApplication::sendEvent(w, &release);
    }
    static QColor LinkColour(Form2& w) {
        return Control<QLabel>(w, "Label9")->palette().color(QPalette::WindowText);
    }
    ScriptedPlatform platform;
};

TEST_F(HelpWindow, BackLinkFromTheSingleFileWindowShowsItWithItsOkButton) {
    Form2& help = OpenHelp(1);
    Click(Control<QLabel>(help, "Label9"));
    ASSERT_TRUE(Windows().IsLoaded(QStringLiteral("Form1")));
    auto& f1 = Windows().Get(QStringLiteral("Form1"));
    EXPECT_TRUE(f1.isVisible());
    EXPECT_TRUE(Control<QPushButton>(f1, "C_Ok")->isVisible());
    EXPECT_FALSE(Windows().IsLoaded(QStringLiteral("Form2")));
    EXPECT_FALSE(Windows().IsLoaded(QStringLiteral("Form3")));
    EXPECT_EQ(Record().HelpCaller, 1); // kept after the return
}

TEST_F(HelpWindow, CloseBoxReturnsToTheMainMenuForAnyOtherCaller) {
    for (int caller : {3, 0, 2}) {
        OpenHelp(caller).close();
        EXPECT_FALSE(Windows().IsLoaded(QStringLiteral("Form2"))) << caller;
        ASSERT_TRUE(Windows().IsLoaded(QStringLiteral("Form3"))) << caller;
        EXPECT_TRUE(Windows().Get(QStringLiteral("Form3")).isVisible()) << caller;
        EXPECT_FALSE(Windows().IsLoaded(QStringLiteral("Form1"))) << caller;
        Windows().Unload(QStringLiteral("Form3"));
    }
}

TEST_F(HelpWindow, CloseBoxFromTheSingleFileWindowReturnsThere) {
    OpenHelp(1).close();
    ASSERT_TRUE(Windows().IsLoaded(QStringLiteral("Form1")));
    EXPECT_TRUE(Control<QPushButton>(Windows().Get(QStringLiteral("Form1")), "C_Ok")->isVisible());
    EXPECT_FALSE(Windows().IsLoaded(QStringLiteral("Form3")));
}

TEST_F(HelpWindow, BackLinkColourFollowsMouseMovementNotEnterAndLeave) {
    Form2& help = OpenHelp(3);
    EXPECT_EQ(LinkColour(help), QColor(128, 0, 0));
    MoveOver(Control<QLabel>(help, "Label9"));
    EXPECT_EQ(LinkColour(help), QColor(Qt::white));
    // Straight onto another label: no movement over the bare window, so it stays white.
    MoveOver(Control<QLabel>(help, "Label11"));
    EXPECT_EQ(LinkColour(help), QColor(Qt::white));
    MoveOver(&help);
    EXPECT_EQ(LinkColour(help), help.palette().color(QPalette::ButtonText));
    EXPECT_TRUE(Windows().IsLoaded(QStringLiteral("Form2"))); // moving is not clicking
}

TEST_F(HelpWindow, FontsAndWrapping) {
    Form2& help = OpenHelp(3);
    EXPECT_EQ(help.windowTitle(), QStringLiteral("帮助..."));
    EXPECT_EQ(help.size(), QSize(438, 422));
    for (const char* name : {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6", "Label10",
                             "Label11", "Label12"}) {
        auto* l = Control<QLabel>(help, name);
        EXPECT_EQ(l->font().family(), QStringLiteral("宋体")) << name;
        EXPECT_DOUBLE_EQ(l->font().pointSizeF(), 10.5) << name;
        EXPECT_TRUE(l->wordWrap()) << name;
    }
    EXPECT_DOUBLE_EQ(Control<QLabel>(help, "Label9")->font().pointSizeF(), 12);
    EXPECT_TRUE(Control<QLabel>(help, "Label11")->text().contains(QStringLiteral("“C:\\abcZR”")));
}

TEST(AboutMessage, VersionAndCreditTitledOkOnlyWithoutIcon) {
    ScriptedPlatform platform;
    zr::ui::ShowAbout(nullptr);
    const auto m = platform.Messages();
    ASSERT_EQ(m.size(), 1);
    EXPECT_EQ(m[0].text, QStringLiteral("版本：1.0    作者：zr 开发组"));
    EXPECT_EQ(m[0].title, QStringLiteral("加密解密"));
    EXPECT_EQ(m[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(m[0].icon, MessageIcon::None);
    EXPECT_EQ(platform.BeepCount(), 0);
}

} // namespace
