#include "app_record.h"
#include "dir_list_box.h"
#include "drive_list_box.h"
#include "end_program.h"
#include "form1.h"
#include "form2.h"
#include "form3.h"
#include "form7.h"
#include "marquee.h"
#include "path_text.h"
#include "scripted_platform.h"
#include "temp_dir.h"
#include "window_contracts.h"
#include "window_registry.h"

#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <gtest/gtest.h>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << s.toStdString();
}

namespace fs = std::filesystem;
using zr::app::Control;
using zr::app::Record;
using zr::app::Windows;
using zr::platform::DirListBox;
using zr::platform::DriveListBox;
using zr::platform::RecordedCall;
using zr::platform::ScriptedPlatform;
using zr::ui::Form3;

namespace {

// Windows the menu opens that are not the subject here.
template <const char* Name> struct StandIn : zr::app::ZrWindow {
    static constexpr const char* kName = Name;
    StandIn() { resize(100, 100); }
};
constexpr char kMfiles[] = "mfiles";
constexpr char kForm7[] = "Form7";
using StandInMfiles = StandIn<kMfiles>;
using StandInForm7 = StandIn<kForm7>;

QString Q(const fs::path& p) {
    return QString::fromStdString(p.string());
}

QColor TextColor(QWidget* w) {
    return w->palette().color(QPalette::WindowText);
}

void Move(QWidget* w, QPoint at) {
    QMouseEvent e(QEvent::MouseMove, QPointF(at), QPointF(w->mapToGlobal(at)), Qt::NoButton,
                  Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// The controls each view shows; the other view hides them.
const char* const kNormalView[] = {"Label1",   "Label3",   "Label4",  "Label6",
                                   "Command3", "Command4", "Command6"};
const char* const kFolderView[] = {"Label7", "Label8", "Dir1", "Drive1", "Command1", "Command2"};

template <std::size_t N> void ExpectShown(QWidget& w, const char* const (&names)[N], bool shown) {
    for (const char* name : names)
        EXPECT_EQ(Control<QWidget>(w, name)->isVisible(), shown) << name;
}

const QColor kDarkRed(192, 0, 0);
const QColor kWhite(255, 255, 255);

class MainMenu : public ::testing::Test {
protected:
    void SetUp() override {
        zr::app::RegisterWindow<zr::ui::Form1>();
        zr::app::RegisterWindow<zr::ui::Form2>();
        zr::app::RegisterWindow<Form3>();
        zr::app::RegisterWindow<StandInMfiles>();
        zr::app::RegisterWindow<StandInForm7>();
        zr::app::BindWindow<zr::app::SingleFileWindow, zr::ui::Form1>();
        zr::app::BindWindow<zr::app::MainMenuWindow, Form3>();
    }
    void TearDown() override {
        Windows().UnloadAll();
        zr::app::ResetRecord();
        zr::app::SetEndProgramAction({});
    }
    Form3& Menu() {
        auto& m = static_cast<Form3&>(Windows().Get("Form3"));
        m.show();
        return m;
    }
    template <class T = QWidget> T* Of(const char* window, const char* name) {
        return Control<T>(Windows().Get(window), name);
    }
    ScriptedPlatform platform;
    zr::test::TempDir tmp;
};

TEST_F(MainMenu, OpensInTheNormalViewWithItsTextsFontsAndButtons) {
    Form3& m = Menu();
    EXPECT_EQ(m.size(), QSize(354, 186));
    EXPECT_TRUE(m.windowTitle().isEmpty());
    ExpectShown(m, kNormalView, true);
    ExpectShown(m, kFolderView, false);
    // Every control: place (twips / 15), text, font and colour. Colour none: the default
    // colour of the window's text; size 0: the buttons' system size.
    const QColor kBlack(0, 0, 0), kDarkBlue(0, 0, 192);
    const QColor kDefault = m.palette().color(QPalette::WindowText);
    const struct {
        const char* name;
        QRect place;
        const char* text;
        const char* family;
        double points;
        QColor colour;
    } table[] = {
        {"Label1", {24, 16, 217, 14}, "欢迎使用加密/解密，对您的支持表", "宋体", 10.5, kBlack},
        {"Label3",
         {24, 32, 210, 16},
         "示感谢。请将鼠标移向红色文字。",
         "Times New Roman",
         10.5,
         kDefault},
        {"Label2", {32, 64, 136, 16}, "加密/解密单个文件", "宋体", 12, kDarkRed},
        {"Label9", {32, 88, 136, 16}, "加密/解密多个文件", "宋体", 12, kDarkRed},
        {"Label4", {32, 112, 152, 16}, "加密/解密整个文件夹", "宋体", 12, kDarkRed},
        // Wider than the 1680 twips of the classic form, for this program's credit line.
        {"Label6", {120, 152, 144, 16}, "设计人：zr 开发组", "宋体", 12, kDefault},
        {"Label7", {8, 8, 353, 17}, "", "宋体", 10.5, kDarkRed},
        {"Label8",
         {208, 80, 137, 33},
         "    注：红色文字为您所选的文件夹。",
         "宋体",
         10.5,
         kDarkBlue},
        {"Command6", {256, 8, 81, 25}, "碎纸机(&B)", "宋体", 0, QColor()},
        {"Command3", {256, 40, 81, 25}, "关  于(&A)", "宋体", 0, QColor()},
        {"Command4", {256, 72, 81, 25}, "帮  助(&H)", "宋体", 0, QColor()},
        {"Command1", {208, 144, 57, 25}, "确定", "宋体", 10.5, QColor()},
        {"Command2", {280, 144, 57, 25}, "取消", "宋体", 10.5, QColor()},
        {"Drive1", {184, 32, 169, 20}, nullptr, nullptr, 0, QColor()},
        {"Dir1", {0, 32, 185, 146}, nullptr, nullptr, 0, QColor()},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        auto* c = Control<QWidget>(m, row.name);
        EXPECT_EQ(c->geometry(), row.place);
        if (row.text) {
            const auto* label = qobject_cast<QLabel*>(c);
            EXPECT_EQ(label ? label->text() : qobject_cast<QPushButton*>(c)->text(),
                      QString::fromUtf8(row.text));
            EXPECT_EQ(c->font().family(), QString::fromUtf8(row.family));
        }
        if (row.points > 0) {
            EXPECT_EQ(c->font().pointSizeF(), row.points);
        }
        if (row.colour.isValid()) {
            EXPECT_EQ(TextColor(c), row.colour);
        }
    }
    EXPECT_EQ(Control<QLabel>(m, "Label6")->toolTip(), QStringLiteral("退出"));
    EXPECT_EQ(m.DefaultButton(), Control<QPushButton>(m, "Command6"));
    EXPECT_EQ(m.CancelButton(), Control<QPushButton>(m, "Command2"));
}

TEST_F(MainMenu, ExitLabelStepsItsColourEveryTickAndShowsExitOnEveryFourth) {
    Form3& m = Menu();
    auto* label6 = Control<QLabel>(m, "Label6");
    const QColor lightBlue(0, 0, 255), lightRed(255, 0, 0), green(0, 128, 0);
    const QList<QColor> colours{lightBlue, lightRed, green,     lightBlue,
                                lightRed,  green,    lightBlue, lightRed};
    const QString exitText = QStringLiteral("退          出");
    for (int tick = 1; tick <= 8; ++tick) {
        m.Timer1_timeout();
        EXPECT_EQ(TextColor(label6), colours[tick - 1]) << tick;
        EXPECT_EQ(label6->text(), tick % 4 == 0 ? exitText : QStringLiteral("设计人：zr 开发组"))
            << tick;
    }
}

TEST_F(MainMenu, MarqueeKeepsItsPhaseInTheRecordAcrossAReload) {
    Form3* m = &Menu();
    EXPECT_EQ(Record().MenuTitleCount, 50);
    const QString author = QString::fromUtf8(zr::ui::kAuthorCredit);
    m->Timer2_timeout();
    EXPECT_EQ(m->windowTitle(), zr::ui::MarqueeTitle());
    for (int i = 1; i < 59; ++i) // the 50 title ticks and 9 into the credits
        m->Timer2_timeout();
    EXPECT_TRUE(Record().MenuTitleAlt);
    EXPECT_EQ(m->windowTitle(), author);

    // Left during the credits: the next load shows them again from the count 49.
    m->close();
    m = &Menu();
    EXPECT_EQ(Record().MenuTitleCount, 50);
    m->Timer2_timeout();
    EXPECT_EQ(m->windowTitle(), author);
    EXPECT_EQ(Record().MenuTitleCount, 49);
    for (int i = 0; i < 21; ++i)
        m->Timer2_timeout();
    EXPECT_TRUE(m->windowTitle().isEmpty()); // the blink that ends the credits
    m->Timer2_timeout();
    EXPECT_EQ(m->windowTitle(), zr::ui::MarqueeTitle());

    // Left during the title: it starts again at full length.
    Windows().Unload("Form3");
    m = &Menu();
    m->Timer2_timeout();
    EXPECT_EQ(m->windowTitle(), zr::ui::MarqueeTitle());
}

TEST_F(MainMenu, LinkLabelsTurnWhiteUnderThePointerUntilItMovesOverTheBareWindow) {
    Form3& m = Menu();
    auto* label2 = Control<QLabel>(m, "Label2");
    auto* label4 = Control<QLabel>(m, "Label4");
    auto* label9 = Control<QLabel>(m, "Label9");
    Move(label2, {5, 5});
    EXPECT_EQ(TextColor(label2), kWhite);
    // Straight onto another label and a button: nothing changes.
    Move(Control<QLabel>(m, "Label1"), {5, 5});
    Move(Control<QPushButton>(m, "Command6"), {5, 5});
    Move(label9, {5, 5});
    EXPECT_EQ(TextColor(label2), kWhite);
    EXPECT_EQ(TextColor(label9), kWhite);
    EXPECT_EQ(TextColor(label4), kDarkRed);
    // The bare window (right of the link labels, left of the buttons).
    ASSERT_EQ(m.childAt(200, 100), nullptr);
    Move(&m, {200, 100});
    for (QLabel* l : {label2, label4, label9})
        EXPECT_EQ(TextColor(l), kDarkRed);
}

TEST_F(MainMenu, SingleFileEntryFillsForm1FromTheDialogByTheTargetRule) {
    struct Case {
        QString chosen, target;
    } cases[] = {
        {"/data/report.ZR", "/data/report"},
        {"/data/report.zr", "/data/report"},
        {"/data/report.doc", "/data/report.doc.ZR"},
    };
    for (const Case& c : cases) {
        Form3& m = Menu();
        platform.Clear();
        platform.AnswerOpen({c.chosen});
        QTest::mouseClick(Control<QLabel>(m, "Label2"), Qt::LeftButton);
        EXPECT_FALSE(Windows().IsLoaded("Form3"));
        ASSERT_EQ(platform.calls.size(), 1);
        const RecordedCall& call = platform.calls[0];
        EXPECT_EQ(call.request.title, QStringLiteral("打开源文件名:"));
        EXPECT_EQ(call.request.filter, QStringLiteral("所有文件(*.*)|*.*|*.ZR文件|*.ZR"));
        auto& f1 = Windows().Get("Form1");
        EXPECT_TRUE(f1.isVisible());
        EXPECT_TRUE(Of<QPushButton>("Form1", "C_Ok")->isVisible());
        EXPECT_EQ(Of<QLineEdit>("Form1", "T_SourceFile")->text(), c.chosen);
        EXPECT_EQ(Of<QLineEdit>("Form1", "T_TargetFile")->text(), c.target);
        EXPECT_EQ(f1.focusWidget(), Of("Form1", "T_EnCode"));
        Windows().UnloadAll();
    }
}

TEST_F(MainMenu, DropsOpenForm1ForAFileTheFolderViewForAFolderAndTheListForSeveral) {
    const auto drop = [](QWidget& w, const QList<fs::path>& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const fs::path& p : paths)
            urls << QUrl::fromLocalFile(Q(p));
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&w, &enter);
        QDropEvent e(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        if (enter.isAccepted())
            QApplication::sendEvent(&w, &e);
        return enter.isAccepted();
    };
    fs::create_directories(tmp / "abc");
    zr::test::WriteBytes(tmp / "plan.ZR", {1});
    zr::test::WriteBytes(tmp / "b.txt", {2});

    EXPECT_FALSE(drop(Menu(), {tmp / "abc", tmp / "plan.ZR"}));
    ASSERT_TRUE(drop(Menu(), {tmp / "abc"}));
    EXPECT_EQ(Control<QLabel>(Menu(), "Label7")->text(), Q(tmp / "abc"));
    ExpectShown(Menu(), kFolderView, true);

    ASSERT_TRUE(drop(Menu(), {tmp / "plan.ZR"}));
    EXPECT_FALSE(Windows().IsLoaded("Form3")) << "the menu closes after opening Form1";
    EXPECT_EQ(Of<QLineEdit>("Form1", "T_SourceFile")->text(), Q(tmp / "plan.ZR"));
    EXPECT_EQ(Of<QLineEdit>("Form1", "T_TargetFile")->text(), Q(tmp / "plan"));
    EXPECT_TRUE(Of<QPushButton>("Form1", "C_Ok")->isVisible());
    EXPECT_EQ(Windows().Get("Form1").focusWidget(), Of("Form1", "T_EnCode"));

    struct Recorder : zr::app::MultiFileWindow {
        void ShowForFiles(const QStringList& f) override { files = f; }
        QStringList files;
    } list;
    zr::app::Contract<zr::app::MultiFileWindow>::Bind(
        [&]() -> zr::app::MultiFileWindow& { return list; });
    ASSERT_TRUE(drop(Menu(), {tmp / "b.txt", tmp / "plan.ZR"}));
    zr::app::Contract<zr::app::MultiFileWindow>::Bind({});
    EXPECT_EQ(list.files, (QStringList{Q(tmp / "b.txt"), Q(tmp / "plan.ZR")}));
    EXPECT_FALSE(Windows().IsLoaded("Form3"));
}

TEST_F(MainMenu, CancelledSingleFileDialogLeavesForm1EmptyWithFocusOnTheSource) {
    Form3& m = Menu();
    platform.CancelOpen();
    QTest::mouseClick(Control<QLabel>(m, "Label2"), Qt::LeftButton);
    EXPECT_FALSE(Windows().IsLoaded("Form3"));
    EXPECT_TRUE(Of<QPushButton>("Form1", "C_Ok")->isVisible());
    EXPECT_TRUE(Of<QLineEdit>("Form1", "T_SourceFile")->text().isEmpty());
    EXPECT_TRUE(Of<QLineEdit>("Form1", "T_TargetFile")->text().isEmpty());
    EXPECT_EQ(Windows().Get("Form1").focusWidget(), Of("Form1", "T_SourceFile"));
    // The menu waits for deletion; its timers must not tick into the record meanwhile.
    const int count = Record().MenuTitleCount;
    QTest::qWait(250);
    EXPECT_EQ(Record().MenuTitleCount, count);
}

TEST_F(MainMenu, FolderViewFollowsDriveAndFolderAndCancelRestoresTheNormalView) {
    fs::create_directories(tmp / "abc" / "sub");
    Form3& m = Menu();
    auto* dir1 = Control<DirListBox>(m, "Dir1");
    auto* drive1 = Control<DriveListBox>(m, "Drive1");
    auto* label7 = Control<QLabel>(m, "Label7");
    ASSERT_TRUE(dir1->SetPath(Q(tmp / "abc")));
    EXPECT_TRUE(label7->text().isEmpty()); // only the folder view follows the list

    QTest::mouseClick(Control<QLabel>(m, "Label4"), Qt::LeftButton);
    EXPECT_EQ(label7->text(), Q(tmp / "abc"));
    for (const char* name :
         {"Label1", "Label3", "Label4", "Label6", "Command3", "Command4", "Command6"})
        EXPECT_FALSE(Control<QWidget>(m, name)->isVisible()) << name;
    for (const char* name : {"Label7", "Label8", "Dir1", "Drive1", "Command1", "Command2"})
        EXPECT_TRUE(Control<QWidget>(m, name)->isVisible()) << name;
    EXPECT_TRUE(Control<QLabel>(m, "Label2")->isVisible()); // under the folder list

    ASSERT_TRUE(dir1->SetPath(Q(tmp / "abc" / "sub")));
    EXPECT_EQ(label7->text(), Q(tmp / "abc" / "sub"));

    drive1->SetDrives({"/", Q(tmp.path())});
    drive1->setCurrentIndex(1);
    EXPECT_EQ(dir1->Path(), Q(tmp.path()));
    EXPECT_EQ(label7->text(), Q(tmp.path()));

    // Esc is the cancel button.
    QTest::keyClick(dir1, Qt::Key_Escape);
    for (const char* name :
         {"Label1", "Label3", "Label4", "Label6", "Command3", "Command4", "Command6"})
        EXPECT_TRUE(Control<QWidget>(m, name)->isVisible()) << name;
    for (const char* name : {"Label7", "Label8", "Dir1", "Drive1", "Command1", "Command2"})
        EXPECT_FALSE(Control<QWidget>(m, name)->isVisible()) << name;
    EXPECT_TRUE(label7->text().isEmpty());
    EXPECT_TRUE(Windows().IsLoaded("Form3"));
}

TEST_F(MainMenu, TheSingleFileWindowsReturnHidesTheFolderListsButton) {
    Form3& m = Menu();
    QTest::mouseClick(Control<QLabel>(m, "Label4"), Qt::LeftButton);
    auto& f1 = Windows().Get("Form1");
    f1.show();
    Control<QPushButton>(f1, "C_Exit")->click();
    EXPECT_FALSE(Windows().IsLoaded("Form1"));
    EXPECT_TRUE(m.isVisible());
    for (const char* name : {"Dir1", "Drive1", "Command1"})
        EXPECT_FALSE(Control<QWidget>(m, name)->isVisible()) << name;
}

TEST_F(MainMenu, ADriveThatCannotBeReadLeavesTheFolderWhereItWas) {
    Form3& m = Menu();
    auto* dir1 = Control<DirListBox>(m, "Dir1");
    auto* drive1 = Control<DriveListBox>(m, "Drive1");
    ASSERT_TRUE(dir1->SetPath(Q(tmp.path())));
    QTest::mouseClick(Control<QLabel>(m, "Label4"), Qt::LeftButton);
    drive1->SetDrives({"/", Q(tmp / "gone")});
    drive1->setCurrentIndex(1);
    EXPECT_EQ(dir1->Path(), Q(tmp.path()));
    EXPECT_EQ(Control<QLabel>(m, "Label7")->text(), Q(tmp.path()));
    EXPECT_EQ(drive1->Drive(), QStringLiteral("/"));
}

TEST_F(MainMenu, DriveListFollowsTheFolderListAboveADrivesRoot) {
    fs::create_directories(tmp / "home");
    Form3& m = Menu();
    auto* dir1 = Control<DirListBox>(m, "Dir1");
    auto* drive1 = Control<DriveListBox>(m, "Drive1");
    QTest::mouseClick(Control<QLabel>(m, "Label4"), Qt::LeftButton);
    drive1->SetDrives({"/", Q(tmp / "home")});
    drive1->setCurrentIndex(1);
    ASSERT_EQ(dir1->Path(), Q(tmp / "home"));
    // Up one level, out of that drive: the drive list shows the drive that holds the folder.
    QTest::keyClick(dir1, Qt::Key_Backspace);
    EXPECT_EQ(dir1->Path(), Q(tmp.path()));
    EXPECT_EQ(drive1->Drive(), QStringLiteral("/"));
    EXPECT_EQ(Control<QLabel>(m, "Label7")->text(), Q(tmp.path()));
    // So that choosing the earlier drive again goes there.
    drive1->setCurrentIndex(1);
    EXPECT_EQ(dir1->Path(), Q(tmp / "home"));
}

class FolderOk : public MainMenu {
protected:
    // Chooses the folder in the folder view and presses OK.
    void Choose(const fs::path& folder) {
        Form3& m = Menu();
        QTest::mouseClick(Control<QLabel>(m, "Label4"), Qt::LeftButton);
        ASSERT_TRUE(Control<DirListBox>(m, "Dir1")->SetPath(zr::platform::TextFromPath(folder)));
        QTest::mouseClick(Control<QPushButton>(m, "Command1"), Qt::LeftButton);
    }
};

TEST_F(FolderOk, MakesTheTargetFolderAndHandsBothToForm1InFolderMode) {
    fs::create_directories(tmp / "abc");
    Choose(tmp / "abc");
    EXPECT_TRUE(fs::is_directory(tmp / "abcZR"));
    EXPECT_EQ(Record().SourceFolder, Q(tmp / "abc") + "/");
    EXPECT_EQ(Record().TargetFolder, Q(tmp / "abcZR") + "/");
    EXPECT_FALSE(Windows().IsLoaded("Form3"));

    auto& f1 = Windows().Get("Form1");
    EXPECT_TRUE(f1.isVisible());
    EXPECT_EQ(Of<QLabel>("Form1", "L_SourceFile")->text(), QStringLiteral("源文件夹"));
    EXPECT_EQ(Of<QLabel>("Form1", "L_TargetFile")->text(), QStringLiteral("目标文件夹"));
    EXPECT_EQ(Of<QLineEdit>("Form1", "T_SourceFile")->text(), Record().SourceFolder);
    EXPECT_EQ(Of<QLineEdit>("Form1", "T_TargetFile")->text(), Record().TargetFolder);
    EXPECT_TRUE(Of<QPushButton>("Form1", "Command3")->isVisible());
    EXPECT_FALSE(Of<QPushButton>("Form1", "C_Ok")->isVisible());
    EXPECT_EQ(f1.DefaultButton(), Of<QPushButton>("Form1", "Command3"));
    EXPECT_EQ(f1.focusWidget(), Of("Form1", "T_EnCode"));
}

TEST_F(FolderOk, AFolderMadeByTheToolLeadsBackAndCaseMatters) {
    fs::create_directories(tmp / "abcZR");
    fs::create_directories(tmp / "abc");
    zr::test::WriteBytes(tmp / "abc" / "kept", {7});
    Choose(tmp / "abcZR");
    EXPECT_EQ(Record().SourceFolder, Q(tmp / "abcZR") + "/");
    EXPECT_EQ(Record().TargetFolder, Q(tmp / "abc") + "/");
    EXPECT_TRUE(fs::exists(tmp / "abc" / "kept")); // reused as it was
    Windows().UnloadAll();

    fs::create_directories(tmp / "abczr");
    Choose(tmp / "abczr");
    EXPECT_EQ(Record().TargetFolder, Q(tmp / "abczrZR") + "/");
    EXPECT_TRUE(fs::is_directory(tmp / "abczrZR"));
}

TEST_F(FolderOk, AFolderWhoseNameIsNotUtf8GetsItsTargetUnderTheSameBytes) {
    fs::create_directories(tmp / "caf\xe9"); // Latin-1
    Choose(tmp / "caf\xe9");
    EXPECT_TRUE(fs::is_directory(tmp / "caf\xe9ZR"));
    EXPECT_EQ(zr::platform::PathFromText(Record().TargetFolder), tmp / "caf\xe9ZR/");
}

TEST_F(FolderOk, ATargetThatCannotBeMadeStillOpensForm1) {
    fs::create_directories(tmp / "abc");
    zr::test::WriteBytes(tmp / "abcZR", {1}); // a file in the way
    Choose(tmp / "abc");
    EXPECT_TRUE(fs::is_regular_file(tmp / "abcZR"));
    EXPECT_EQ(Of<QLineEdit>("Form1", "T_TargetFile")->text(), Q(tmp / "abcZR") + "/");
    EXPECT_FALSE(Windows().IsLoaded("Form3"));
}

TEST_F(MainMenu, ButtonsOpenAboutHelpAndTheShredderCentredOnTheScreen) {
    zr::app::RegisterWindow<zr::ui::Form7>();
    Form3& m = Menu();
    // The default button has the focus when the menu opens: Enter opens the shredder.
    m.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m));
    QTest::keyClick(m.windowHandle(), Qt::Key_Return);
    ASSERT_TRUE(Windows().IsLoaded("Form7"));
    auto& f7 = Windows().Get("Form7");
    EXPECT_TRUE(f7.isVisible());
    EXPECT_TRUE(m.isVisible());
    const QPoint off = f7.frameGeometry().center() - f7.screen()->availableGeometry().center();
    EXPECT_LE(off.manhattanLength(), 4) << off.x() << "," << off.y();

    QTest::mouseClick(Control<QPushButton>(m, "Command3"), Qt::LeftButton);
    ASSERT_EQ(platform.Messages().size(), 1);
    const RecordedCall about = platform.Messages()[0];
    EXPECT_EQ(about.text, QStringLiteral("版本：1.0    作者：zr 开发组"));
    EXPECT_EQ(about.title, QStringLiteral("加密解密"));
    EXPECT_EQ(about.buttons, zr::platform::MessageButtons::Ok);
    EXPECT_EQ(about.icon, zr::platform::MessageIcon::None);
    EXPECT_TRUE(Windows().IsLoaded("Form3"));

    QTest::mouseClick(Control<QPushButton>(m, "Command4"), Qt::LeftButton);
    EXPECT_EQ(Record().HelpCaller, 3);
    EXPECT_TRUE(Windows().Get("Form2").isVisible());
    EXPECT_FALSE(Windows().IsLoaded("Form3"));
}

// A window that counts its closing handlers.
struct Watched : zr::app::ZrWindow {
    static constexpr const char* kName = "Watched";
    static inline int closings = 0;
    bool OnClose() override { return ++closings, true; }
};

// The exit label without a stand-in for the end: every window goes at once, none of them runs
// its closing handler, and the event loop returns.
TEST_F(MainMenu, ExitLabelEndsTheProgramWithoutClosingEventsOfOtherWindows) {
    zr::app::RegisterWindow<Watched>();
    Windows().Get("Watched").show();
    Form3& m = Menu();
    QTimer::singleShot(0, &m,
                       [&m] { QTest::mouseClick(Control<QLabel>(m, "Label6"), Qt::LeftButton); });
    QTimer guard; // a program that does not end fails here instead of hanging
    guard.callOnTimeout([] { QCoreApplication::exit(1); });
    guard.start(10000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_FALSE(Windows().IsLoaded("Form3"));
    EXPECT_FALSE(Windows().IsLoaded("Watched"));
    EXPECT_EQ(Watched::closings, 0);
}

TEST_F(MainMenu, MultiFileEntryAndExitLabel) {
    int ended = 0;
    zr::app::SetEndProgramAction([&] { ++ended; });
    Form3& m = Menu();
    QTest::mouseClick(Control<QLabel>(m, "Label6"), Qt::LeftButton);
    EXPECT_EQ(ended, 1);

    QTest::mouseClick(Control<QLabel>(m, "Label9"), Qt::LeftButton);
    EXPECT_TRUE(Windows().Get("mfiles").isVisible());
    EXPECT_FALSE(Windows().IsLoaded("Form3"));
}

} // namespace
