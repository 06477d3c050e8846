#include "about.h"
#include "app_record.h"
#include "form2.h"
#include "scripted_platform.h"
#include "window_contracts.h"
#include "window_registry.h"

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <gtest/gtest.h>

using zr::app::Control;
using zr::app::Record;
using zr::app::Windows;
using zr::platform::MessageButtons;
using zr::platform::MessageIcon;
using zr::platform::ScriptedPlatform;
using zr::ui::Form2;

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

// Stand-ins for the two windows help returns to; the single-file window with what help asks
// of it.
struct StandInForm1 : zr::app::ZrWindow, zr::app::SingleFileWindow {
    static constexpr const char* kName = "Form1";
    StandInForm1() {
        ok = new QPushButton(this);
        ok->setObjectName(QStringLiteral("C_Ok"));
        ok->hide();
    }
    void ShowForFile() override {
        show();
        ok->show();
    }
    void SetFile(const QString&) override {}
    void FocusSourceField() override {}
    void ShowForFolder(const QString&, const QString&) override {}
    QWidget& Widget() override { return *this; }
    QPushButton* ok;
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
        zr::app::BindWindow<zr::app::SingleFileWindow, StandInForm1>();
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

TEST_F(HelpWindow, EscReturnsAsTheBackLinkDoes) {
    Form2& help = OpenHelp(3);
    QTest::keyClick(&help, Qt::Key_Escape);
    EXPECT_FALSE(Windows().IsLoaded(QStringLiteral("Form2")));
    ASSERT_TRUE(Windows().IsLoaded(QStringLiteral("Form3")));
    EXPECT_TRUE(Windows().Get(QStringLiteral("Form3")).isVisible());
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
        // 10.5 pt where the Song typeface exists; a fallback typeface is set a pixel smaller.
        if (QFontInfo(l->font()).family() == QStringLiteral("宋体"))
            EXPECT_DOUBLE_EQ(l->font().pointSizeF(), 10.5) << name;
        else
            EXPECT_EQ(l->font().pixelSize(), 13) << name;
        EXPECT_TRUE(l->wordWrap()) << name;
    }
    EXPECT_DOUBLE_EQ(Control<QLabel>(help, "Label9")->font().pointSizeF(), 12);
    // Whatever the typeface, no wrapped text runs into the text below it.
    const char* order[] = {"Label1", "Label2",  "Label3",  "Label4",  "Label5",
                           "Label6", "Label10", "Label11", "Label12", "Label9"};
    for (int i = 0; i + 1 < 10; ++i) {
        auto* l = Control<QLabel>(help, order[i]);
        const int bottom = l->y() + l->heightForWidth(l->width());
        EXPECT_LE(bottom, Control<QLabel>(help, order[i + 1])->y()) << order[i];
    }
    EXPECT_TRUE(Control<QLabel>(help, "Label11")->text().contains(QStringLiteral("“C:\\abcZR”")));
}

TEST_F(HelpWindow, TextsAndColoursAsWritten) {
    Form2& help = OpenHelp(3);
    const QColor kBlack(0, 0, 0), kDarkRed(192, 0, 0), kBlue(0, 0, 255), kGreen(0, 128, 0),
        kMaroon(128, 0, 0);
    const struct {
        const char* name;
        const char* text;
        QColor colour;
    } table[] = {
        {"Label1",
         "    随着微机使用的普及，利用微机处理信息与日俱增，特别是公共场所，信息（文件"
         "）的安全是困扰我们的一大难题。如何方便、有效地保护好信息的安全，是我们必须考"
         "虑的问题。本软件可以助您一臂之力。",
         kBlack},
        {"Label2", "    本软件具有如下优点：", kDarkRed},
        {"Label3", "    1）简单，易实现，可加密任意类型的文件；", kBlue},
        {"Label4", "    2）密钥长度不限，通过不断变化，把相关信息整合到文件每一个字节中；", kBlue},
        {"Label5",
         "    3）解密时不判断密钥的正确性，对非法密钥进行解密时，实际上是对密文再加密"
         "；",
         kBlue},
        {"Label6", "    4）每个字节处理方法相同，但关键值不同，不容易破译。", kBlue},
        {"Label10", "使用方法：", kDarkRed},
        {"Label11",
         "    很简单，如果想加密单个文件，单击<加密/解密单个文件>,然后选择源文件名（注"
         "：如果此时单击“取消”，双击源文件名所对应的文本框，也可选择源文件名)，剩下的"
         "工作就更简单了，慢慢琢磨吧！重新运行该程序则可解密；同理还可<加密/解密整个文"
         "件夹>(注：不对该文件夹的子文件夹加密），例：加密“C:\\abc”文件夹，则加密后的"
         "文件全部存放在新建的“C:\\abcZR”文件夹中，解密时重新运行该程序，则“C:\\abcZR”"
         "文件夹中的加密文件自动解密到“C:\\abc”文件夹中。",
         kBlue},
        {"Label12",
         "    注：如果想在资源管理器中加密（或解密）某一文件，可使用弹出式菜单（上下文"
         "菜单），即：直接在该文件名上单击右键。如果对扩展名为“.ZR”的文件进行解密，也"
         "可双击该文件名。",
         kGreen},
        {"Label9", "返回", kMaroon},
    };
    for (const auto& row : table) {
        auto* l = Control<QLabel>(help, row.name);
        // What the label shows, also where it is set as rich text for its line height.
        QTextDocument shown;
        shown.setHtml(l->text());
        const QString text = l->textFormat() == Qt::RichText ? shown.toPlainText() : l->text();
        EXPECT_EQ(text, QString::fromUtf8(row.text)) << row.name;
        EXPECT_EQ(l->palette().color(QPalette::WindowText), row.colour) << row.name;
    }
    // The first text stands on silver, the others on the window.
    const QImage page = help.grab().toImage();
    EXPECT_EQ(page.pixelColor(Control<QLabel>(help, "Label1")->geometry().topLeft() + QPoint(2, 2)),
              QColor(192, 192, 192));
    EXPECT_EQ(page.pixelColor(Control<QLabel>(help, "Label2")->geometry().topLeft() + QPoint(2, 2)),
              help.palette().color(QPalette::Window));
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
