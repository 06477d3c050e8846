#include "app_record.h"
#include "background_job.h"
#include "fat_image.h"
#include "form1.h"
#include "form2.h"
#include "key_recovery.h"
#include "key_seed.h"
#include "keystream_expect.h"
#include "marquee.h"
#include "path_text.h"
#include "scripted_platform.h"
#include "temp_dir.h"
#include "window_contracts.h"
#include "window_registry.h"

#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QThread>
#include <QUrl>
#include <filesystem>
#include <gtest/gtest.h>

// Readable failures.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << s.toStdString();
}

namespace fs = std::filesystem;
using zr::app::Control;
using zr::app::Record;
using zr::app::Windows;
using zr::platform::MessageButtons;
using zr::platform::MessageIcon;
using zr::platform::RecordedCall;
using zr::platform::ScriptedPlatform;
using zr::test::TempDir;
using zr::ui::Form1;

namespace {

// The main menu as far as the single-file window asks things of it.
struct StandInForm3 : zr::app::ZrWindow, zr::app::MainMenuWindow {
    static constexpr const char* kName = "Form3";
    StandInForm3() {
        for (const char* name : {"Dir1", "Drive1", "Command1"}) {
            auto* w = new QWidget(this);
            w->setObjectName(QString::fromLatin1(name));
        }
    }
    void ShowMenu() override {
        show();
        for (QWidget* w : findChildren<QWidget*>())
            w->hide();
    }
};

QString Q(const fs::path& p) {
    return QString::fromStdString(p.string());
}

class SingleFileWindow : public ::testing::Test {
protected:
    void SetUp() override {
        zr::app::RegisterWindow<Form1>();
        zr::app::RegisterWindow<zr::ui::Form2>();
        zr::app::RegisterWindow<StandInForm3>();
        zr::app::BindWindow<zr::app::SingleFileWindow, Form1>();
        zr::app::BindWindow<zr::app::MainMenuWindow, StandInForm3>();
    }
    void TearDown() override {
        Windows().UnloadAll();
        zr::app::ResetRecord();
    }
    Form1& Open() {
        auto& w = static_cast<Form1&>(Windows().Get(QStringLiteral("Form1")));
        w.show();
        Control<QPushButton>(w, "C_Ok")->show();
        return w;
    }
    static QLineEdit* Field(Form1& w, const char* name) { return Control<QLineEdit>(w, name); }
    static void Fill(Form1& w, const QString& src, const QString& dst, const QString& key,
                     const QString& confirm) {
        Field(w, "T_SourceFile")->setText(src);
        Field(w, "T_TargetFile")->setText(dst);
        Field(w, "T_EnCode")->setText(key);
        Field(w, "T_ConfirmEnCode")->setText(confirm);
    }
    static void DoubleClick(QWidget* w) {
        const QPointF at(5, 5);
        QMouseEvent e(QEvent::MouseButtonDblClick, at, w->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
    static bool WaitIdle(Form1& w) {
        return QTest::qWaitFor([&] { return !w.Busy(); }, 20000);
    }
    // Holds the window's worker after its first block until it is asked to stop.
    static void HoldAtFirstBlock(Form1& w) {
        auto* job = w.findChild<zr::platform::BackgroundJob*>();
        QObject::connect(
            job, &zr::platform::BackgroundJob::progress, job,
            [job] {
                while (!job->CancelRequested())
                    QThread::msleep(1);
            },
            Qt::DirectConnection);
    }
    // Whether the window takes a drop of these files, and the drop itself when it does.
    static bool Drop(QWidget& w, const QList<fs::path>& files) {
        QMimeData data;
        QList<QUrl> urls;
        for (const fs::path& f : files)
            urls << QUrl::fromLocalFile(Q(f));
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&w, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w, &drop);
        return drop.isAccepted();
    }
    // The one message of the click, after exactly one beep before it.
    void ExpectRefusal(const QString& text, const QString& title, MessageIcon icon) {
        ASSERT_EQ(platform.calls.size(), 2);
        EXPECT_EQ(platform.calls[0].kind, RecordedCall::Beep);
        EXPECT_EQ(platform.calls[1].kind, RecordedCall::Message);
        EXPECT_EQ(platform.calls[1].text, text);
        EXPECT_EQ(platform.calls[1].title, title);
        EXPECT_EQ(platform.calls[1].icon, icon);
        EXPECT_EQ(platform.calls[1].buttons, MessageButtons::Ok);
    }
    ScriptedPlatform platform;
    TempDir dir;
};

TEST_F(SingleFileWindow, ChecksRunInOrderWithTheirMessagesAndFocus) {
    const QString existing = Q(dir / "a.txt");
    zr::test::WriteBytes(dir / "a.txt", {1, 2, 3});
    const QString missing = Q(dir / "missing.txt");
    struct Case {
        QString src, dst, key, confirm;
        QString text, title;
        MessageIcon icon;
        const char* focus;
    } cases[] = {
        {"", "", "k", "x", "必须有源文件名！", "注意：", MessageIcon::Question, "T_SourceFile"},
        {" ", "", "k", "x", "必须有目标文件名！", "注意：", MessageIcon::Question, "T_TargetFile"},
        {existing, Q(dir.path()) + "/", "k", "k", "必须有目标文件名！", "注意：",
         MessageIcon::Question, "T_TargetFile"},
        {existing, existing, "k", "x", "源文件[路径和文件名]不能与目标文件[路径和文件名]相同！",
         "注意！", MessageIcon::None, "T_SourceFile"},
        {missing, missing + ".ZR", "k", "x", "确认密钥不对！", "注意：", MessageIcon::Question,
         "T_EnCode"},
        {missing, missing + ".ZR", "k", "k", "源文件名不存在！", "注意：", MessageIcon::None,
         "T_SourceFile"},
        {existing, existing + ".ZR", "钥匙", "钥匙",
         "密钥只能由英文字母、数字和半角符号组成，且不能太长！", "注意：", MessageIcon::Question,
         "T_EnCode"},
        {existing, existing + ".ZR", QString(3000, QLatin1Char('z')),
         QString(3000, QLatin1Char('z')), "密钥只能由英文字母、数字和半角符号组成，且不能太长！",
         "注意：", MessageIcon::Question, "T_EnCode"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        Form1& w = Open();
        Fill(w, c.src, c.dst, c.key, c.confirm);
        Control<QPushButton>(w, "Command2")->setFocus(); // somewhere else
        platform.Clear();
        Control<QPushButton>(w, "C_Ok")->click();
        ExpectRefusal(c.text, c.title, c.icon);
        EXPECT_EQ(w.focusWidget(), Field(w, c.focus));
        EXPECT_FALSE(w.Busy());
        Windows().UnloadAll();
    }
    // Nothing was created by any refused click.
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"a.txt"});
}

TEST_F(SingleFileWindow, SourceDialogDerivesTheTargetAndMovesTheFocus) {
    Form1& w = Open();
    platform.AnswerOpen({QStringLiteral("/data/plan.doc")});
    DoubleClick(Field(w, "T_SourceFile"));
    ASSERT_EQ(platform.calls.size(), 1);
    EXPECT_EQ(platform.calls[0].request.title, QStringLiteral("打开源文件名:"));
    EXPECT_EQ(platform.calls[0].request.filter, QStringLiteral("所有文件(*.*)|*.*|*.ZR文件|*.ZR"));
    EXPECT_EQ(Field(w, "T_SourceFile")->text(), QStringLiteral("/data/plan.doc"));
    EXPECT_EQ(Field(w, "T_TargetFile")->text(), QStringLiteral("/data/plan.doc.ZR"));
    EXPECT_EQ(w.focusWidget(), Field(w, "T_EnCode"));

    platform.AnswerOpen({QStringLiteral("/data/plan.doc.zr")});
    DoubleClick(Field(w, "T_SourceFile"));
    EXPECT_EQ(Field(w, "T_TargetFile")->text(), QStringLiteral("/data/plan.doc"));
}

TEST_F(SingleFileWindow, CancelledSourceDialogRefillsFromTheRememberedName) {
    Form1& w = Open();
    Field(w, "T_ConfirmEnCode")->setFocus();
    platform.CancelOpen();
    DoubleClick(Field(w, "T_SourceFile"));
    // Fresh window: nothing remembered, so both fields stay empty; the focus still moves.
    EXPECT_TRUE(Field(w, "T_SourceFile")->text().isEmpty());
    EXPECT_TRUE(Field(w, "T_TargetFile")->text().isEmpty());
    EXPECT_EQ(w.focusWidget(), Field(w, "T_EnCode"));

    platform.AnswerOpen({QStringLiteral("/data/x.ZR")});
    DoubleClick(Field(w, "T_SourceFile"));
    Fill(w, "typed", "typed too", "", "");
    platform.CancelOpen();
    DoubleClick(Field(w, "T_SourceFile"));
    EXPECT_EQ(platform.calls.last().request.initialName, QStringLiteral("/data/x.ZR"));
    EXPECT_EQ(Field(w, "T_SourceFile")->text(), QStringLiteral("/data/x.ZR"));
    EXPECT_EQ(Field(w, "T_TargetFile")->text(), QStringLiteral("/data/x"));

    // The one dialog serves both fields: the target dialog opens with the same name.
    platform.CancelOpen();
    DoubleClick(Field(w, "T_TargetFile"));
    EXPECT_EQ(platform.calls.last().request.initialName, QStringLiteral("/data/x.ZR"));
    EXPECT_EQ(Field(w, "T_TargetFile")->text(), QStringLiteral("/data/x.ZR.ZR"));

    // A reloaded window has a new dialog with no name.
    w.close();
    Form1& again = Open();
    platform.CancelOpen();
    DoubleClick(Field(again, "T_SourceFile"));
    EXPECT_TRUE(platform.calls.last().request.initialName.isEmpty());
    EXPECT_TRUE(Field(again, "T_SourceFile")->text().isEmpty());
}

TEST_F(SingleFileWindow, TargetDialogAlwaysAppendsAndLeavesTheFocus) {
    Form1& w = Open();
    Field(w, "T_ConfirmEnCode")->setFocus();
    platform.AnswerOpen({QStringLiteral("/data/old.ZR")});
    DoubleClick(Field(w, "T_TargetFile"));
    EXPECT_EQ(platform.calls[0].request.title, QStringLiteral("打开目标文件名:"));
    EXPECT_EQ(platform.calls[0].request.filter, QStringLiteral("所有文件(*.*)|*.*"));
    EXPECT_EQ(Field(w, "T_TargetFile")->text(), QStringLiteral("/data/old.ZR.ZR"));
    EXPECT_TRUE(Field(w, "T_SourceFile")->text().isEmpty());
    EXPECT_EQ(w.focusWidget(), Field(w, "T_ConfirmEnCode"));
}

TEST_F(SingleFileWindow, JobRunsOffTheUiThreadThenReportsAndRoundTrips) {
    const auto bytes = zr::test::PatternBytes(1000000);
    zr::test::WriteBytes(dir / "plain.bin", bytes);
    Form1& w = Open();
    Fill(w, Q(dir / "plain.bin"), Q(dir / "plain.bin.ZR"), "secret", "secret");
    auto* bar = Control<QProgressBar>(w, "ProgressBar1");
    QList<int> values;
    QObject::connect(bar, &QProgressBar::valueChanged, bar, [&](int v) { values << v; });

    QTest::keyClick(Field(w, "T_ConfirmEnCode"), Qt::Key_Return); // Enter is C_Ok
    // The click has returned with the job still on the worker: busy, but painting.
    ASSERT_TRUE(w.Busy());
    EXPECT_TRUE(bar->isVisible());
    for (const char* name : {"T_SourceFile", "T_EnCode", "CB_Del", "C_Ok", "C_Exit", "Command1"})
        EXPECT_FALSE(Control<QWidget>(w, name)->isEnabled()) << name;
    DoubleClick(Field(w, "T_SourceFile")); // no dialog either
    // The bar lies over the check box, which it covers.
    EXPECT_EQ(w.childAt(Control<QWidget>(w, "CB_Del")->geometry().center()), bar);
    ASSERT_TRUE(WaitIdle(w));

    // End steps in order: beep, bar hidden and pointer normal, then the message.
    ASSERT_EQ(platform.calls.size(), 4);
    EXPECT_EQ(platform.calls[0].kind, RecordedCall::Busy);
    EXPECT_TRUE(platform.calls[0].busy);
    EXPECT_EQ(platform.calls[1].kind, RecordedCall::Beep);
    EXPECT_EQ(platform.calls[2].kind, RecordedCall::Busy);
    EXPECT_FALSE(platform.calls[2].busy);
    EXPECT_EQ(platform.calls[3].text, QStringLiteral("加密/解密完毕！"));
    EXPECT_EQ(platform.calls[3].title, QStringLiteral("注意："));
    EXPECT_EQ(platform.calls[3].icon, MessageIcon::None);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_TRUE(Control<QWidget>(w, "C_Ok")->isEnabled());
    ASSERT_FALSE(values.isEmpty());
    EXPECT_EQ(values.first(), 3);
    EXPECT_EQ(values.last(), 100);
    // Fields stay as they were, ready for the next job.
    EXPECT_EQ(Field(w, "T_EnCode")->text(), QStringLiteral("secret"));
    EXPECT_NE(zr::test::ReadBytes(dir / "plain.bin.ZR"), bytes);

    Fill(w, Q(dir / "plain.bin.ZR"), Q(dir / "back.bin"), "secret", "secret");
    Control<QPushButton>(w, "C_Ok")->click();
    ASSERT_TRUE(WaitIdle(w));
    EXPECT_EQ(zr::test::ReadBytes(dir / "back.bin"), bytes);
}

TEST_F(SingleFileWindow, ANameThatIsNotUtf8KeepsItsBytesFromTheFieldToTheJob) {
    const fs::path gbk = dir / "\xb2\xe2\xca\xd4.doc"; // "测试.doc" in GBK
    zr::test::WriteBytes(gbk, zr::test::PatternBytes(1000));
    Form1& w = Open();
    const QString source = zr::platform::TextFromPath(gbk);
    Fill(w, source, source + QStringLiteral(".ZR"), "k", "k");
    Control<QPushButton>(w, "C_Ok")->click();
    ASSERT_TRUE(WaitIdle(w));
    EXPECT_EQ(platform.Messages().last().text, QStringLiteral("加密/解密完毕！"));
    EXPECT_TRUE(fs::exists(dir / "\xb2\xe2\xca\xd4.doc.ZR"));
}

TEST_F(SingleFileWindow, EmptyKeysAndEmptySourceStillRunTheJob) {
    zr::test::WriteBytes(dir / "empty", {});
    Form1& w = Open();
    Fill(w, Q(dir / "empty"), Q(dir / "empty.ZR"), "", "");
    Control<QPushButton>(w, "C_Ok")->click();
    ASSERT_TRUE(WaitIdle(w));
    EXPECT_EQ(platform.Messages().last().text, QStringLiteral("加密/解密完毕！"));
    EXPECT_TRUE(fs::exists(dir / "empty.ZR"));
    EXPECT_EQ(fs::file_size(dir / "empty.ZR"), 0u);
}

TEST_F(SingleFileWindow, TickedDeleteRemovesTheSourceOnlyAfterSuccess) {
    zr::test::WriteBytes(dir / "a.txt", zr::test::PatternBytes(70000));
    Form1& w = Open();
    Fill(w, Q(dir / "a.txt"), Q(dir / "a.txt.ZR"), "k", "k");
    Control<QCheckBox>(w, "CB_Del")->setChecked(true);
    Control<QPushButton>(w, "C_Ok")->click();
    ASSERT_TRUE(WaitIdle(w));
    EXPECT_FALSE(fs::exists(dir / "a.txt"));
    EXPECT_EQ(fs::file_size(dir / "a.txt.ZR"), 70000u);
    EXPECT_EQ(Field(w, "T_SourceFile")->text(), Q(dir / "a.txt")); // the name stays
    // The next click finds the source gone.
    platform.Clear();
    Control<QPushButton>(w, "C_Ok")->click();
    ExpectRefusal("源文件名不存在！", "注意：", MessageIcon::None);
}

TEST_F(SingleFileWindow, ASourceThatCannotBeDeletedIsReportedAfterTheCompletion) {
    if (!zr::test::CanMount())
        GTEST_SKIP() << "needs root to mount";
    fs::create_directory(dir / "rw");
    fs::create_directory(dir / "ro");
    zr::test::WriteBytes(dir / "rw" / "a.txt", zr::test::PatternBytes(5000));
    zr::test::ReadOnlyBind ro(dir / "rw", dir / "ro");
    ASSERT_TRUE(ro.ok());
    Form1& w = Open();
    Fill(w, Q(dir / "ro" / "a.txt"), Q(dir / "a.txt.ZR"), "k", "k");
    Control<QCheckBox>(w, "CB_Del")->setChecked(true);
    Control<QPushButton>(w, "C_Ok")->click();
    ASSERT_TRUE(WaitIdle(w));
    const auto m = platform.Messages();
    ASSERT_EQ(m.size(), 2);
    EXPECT_EQ(m[0].text, QStringLiteral("加密/解密完毕！"));
    EXPECT_EQ(m[1].text, QStringLiteral("无法删除源文件：") + Q(dir / "ro" / "a.txt") +
                             QStringLiteral("（只读文件系统）"));
    EXPECT_EQ(m[1].title, QStringLiteral("注意："));
    EXPECT_EQ(m[1].icon, MessageIcon::Warning);
    EXPECT_EQ(fs::file_size(dir / "a.txt.ZR"), 5000u);
}

TEST_F(SingleFileWindow, TheCheckBeforeDeletingTheSourceShowsAsWorkInProgress) {
    zr::test::WriteBytes(dir / "a.txt", zr::test::PatternBytes(200000));
    Form1& w = Open();
    auto* bar = Control<QProgressBar>(w, "ProgressBar1");
    // The bar's range whenever a step of the job reaches the window.
    struct Watch : QObject {
        QProgressBar* bar;
        QList<int> maxima;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::MetaCall)
                maxima << bar->maximum();
            return false;
        }
    } watch;
    watch.bar = bar;
    w.findChild<zr::platform::BackgroundJob*>()->installEventFilter(&watch);
    Fill(w, Q(dir / "a.txt"), Q(dir / "a.txt.ZR"), "k", "k");
    Control<QCheckBox>(w, "CB_Del")->setChecked(true);
    Control<QPushButton>(w, "C_Ok")->click();
    ASSERT_TRUE(WaitIdle(w));
    EXPECT_TRUE(watch.maxima.contains(0));
    EXPECT_FALSE(fs::exists(dir / "a.txt"));

    // The next job starts with a bar of 0 to 100 again.
    Fill(w, Q(dir / "a.txt.ZR"), Q(dir / "b.txt"), "k", "k");
    Control<QCheckBox>(w, "CB_Del")->setChecked(false);
    Control<QPushButton>(w, "C_Ok")->click();
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(bar->value(), 0);
    ASSERT_TRUE(WaitIdle(w));
}

TEST_F(SingleFileWindow, OneFileUnderTwoNamesIsRefusedAndUntouched) {
    const auto bytes = zr::test::PatternBytes(5000);
    zr::test::WriteBytes(dir / "a.txt", bytes);
    fs::create_symlink(dir / "a.txt", dir / "link.txt");
    Form1& w = Open();
    Fill(w, Q(dir / "a.txt"), Q(dir / "." / "link.txt"), "k", "k");
    Control<QCheckBox>(w, "CB_Del")->setChecked(true);
    Control<QPushButton>(w, "C_Ok")->click();
    ASSERT_TRUE(WaitIdle(w));
    const auto m = platform.Messages();
    ASSERT_EQ(m.size(), 1);
    EXPECT_EQ(m[0].text, QStringLiteral("源文件[路径和文件名]不能与目标文件[路径和文件名]相同！"));
    EXPECT_EQ(m[0].title, QStringLiteral("注意！"));
    EXPECT_EQ(platform.BeepCount(), 1);
    EXPECT_EQ(zr::test::ReadBytes(dir / "a.txt"), bytes);
    EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
    EXPECT_EQ(w.focusWidget(), Field(w, "T_SourceFile"));
}

TEST_F(SingleFileWindow, SpellingsOfOneNameInAFatFolderAreOneFile) {
    // fusefat gives ABC.TXT an inode of its own; the file is still abc.txt.
    zr::test::FatImage fat;
    if (!fat.ok())
        GTEST_SKIP() << fat.why();
    const auto bytes = zr::test::PatternBytes(5000);
    zr::test::WriteBytes(fat / "abc.txt", bytes);
    Form1& w = Open();
    Fill(w, Q(fat / "abc.txt"), Q(fat / "ABC.TXT"), "k", "k");
    Control<QCheckBox>(w, "CB_Del")->setChecked(true);
    Control<QPushButton>(w, "C_Ok")->click();
    ASSERT_TRUE(WaitIdle(w));
    const auto m = platform.Messages();
    ASSERT_EQ(m.size(), 1);
    EXPECT_EQ(m[0].text, QStringLiteral("源文件[路径和文件名]不能与目标文件[路径和文件名]相同！"));
    EXPECT_EQ(zr::test::ReadBytes(fat / "abc.txt"), bytes);
    EXPECT_EQ(std::distance(fs::directory_iterator(fat.path()), fs::directory_iterator()), 1);
}

TEST_F(SingleFileWindow, OpenReadAndWriteFailuresAreWarningsAndDeleteNothing) {
    zr::test::WriteBytes(dir / "a.txt", zr::test::PatternBytes(200000));
    fs::create_directory(dir / "folder");
    struct Case {
        fs::path src, dst;
        const char* prefix;
        const char* focus;
    } cases[] = {
        {dir / "a.txt", dir / "no such folder" / "a.ZR", "无法写入目标文件：", "T_TargetFile"},
        {dir / "folder", dir / "folder.ZR", "无法读取源文件：", "T_SourceFile"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.prefix);
        Form1& w = Open();
        Fill(w, Q(c.src), Q(c.dst), "k", "k");
        Control<QCheckBox>(w, "CB_Del")->setChecked(true);
        platform.Clear();
        Control<QPushButton>(w, "C_Ok")->click();
        ASSERT_TRUE(WaitIdle(w));
        const auto m = platform.Messages();
        ASSERT_EQ(m.size(), 1);
        EXPECT_TRUE(m[0].text.startsWith(QString::fromUtf8(c.prefix))) << m[0].text.toStdString();
        EXPECT_TRUE(m[0].text.contains(Q(c.dst == dir / "folder.ZR" ? c.src : c.dst)));
        EXPECT_EQ(m[0].title, QStringLiteral("注意："));
        EXPECT_EQ(m[0].icon, MessageIcon::Warning);
        EXPECT_EQ(platform.BeepCount(), 1);
        EXPECT_FALSE(Control<QProgressBar>(w, "ProgressBar1")->isVisible());
        EXPECT_FALSE(platform.calls[platform.calls.size() - 2].busy); // pointer normal first
        EXPECT_EQ(w.focusWidget(), Field(w, c.focus));
        EXPECT_TRUE(fs::exists(c.src));
        EXPECT_FALSE(fs::exists(c.dst));
        Windows().UnloadAll();
    }
}

TEST_F(SingleFileWindow, FullDiskKeepsTheSourceAndLeavesNoTarget) {
    if (!zr::test::CanMount())
        GTEST_SKIP() << "needs a small tmpfs";
    const auto bytes = zr::test::PatternBytes(300000);
    zr::test::WriteBytes(dir / "a.txt", bytes);
    fs::create_directory(dir / "small");
    zr::test::SmallTmpfs small(dir / "small", 65536);
    ASSERT_TRUE(small.ok());
    Form1& w = Open();
    Fill(w, Q(dir / "a.txt"), Q(dir / "small" / "a.txt.ZR"), "k", "k");
    Control<QCheckBox>(w, "CB_Del")->setChecked(true);
    Control<QPushButton>(w, "C_Ok")->click();
    ASSERT_TRUE(WaitIdle(w));
    ASSERT_EQ(platform.Messages().size(), 1);
    EXPECT_TRUE(platform.Messages()[0].text.startsWith(QStringLiteral("无法写入目标文件：")));
    EXPECT_EQ(zr::test::ReadBytes(dir / "a.txt"), bytes);
    EXPECT_TRUE(fs::is_empty(dir / "small"));
}

TEST_F(SingleFileWindow, AWrongKeyIsNoticedAndTheKeySearchFillsBothKeyFields) {
    std::string text;
    for (int i = 1; i <= 20; ++i)
        text += "Item " + std::to_string(i) + ": the budget for next year was discussed again.\n";
    const std::vector<std::uint8_t> minutes(text.begin(), text.end());
    zr::test::WriteBytes(dir / "minutes.txt.ZR", zr::test::Transformed(minutes, "right"));
    Form1& w = Open();
    Fill(w, Q(dir / "minutes.txt.ZR"), Q(dir / "minutes.txt"), "wrong", "wrong");
    Control<QCheckBox>(w, "CB_Del")->setChecked(true);
    platform.AnswerMessage(zr::platform::MessageAnswer::Ok);    // the completion message
    platform.AnswerMessage(zr::platform::MessageAnswer::Other); // "找回密钥"
    Control<QPushButton>(w, "C_Ok")->click();
    ASSERT_TRUE(WaitIdle(w)); // the job, then the search

    auto m = platform.Messages();
    ASSERT_EQ(m.size(), 3);
    EXPECT_EQ(m[0].text, QStringLiteral("加密/解密完毕！"));
    EXPECT_EQ(m[1].text, QString::fromStdString(zr::WrongKeyText("txt")) +
                             QStringLiteral("\n源文件没有删除。"));
    EXPECT_EQ(m[1].title, QStringLiteral("注意："));
    EXPECT_EQ(m[1].icon, MessageIcon::Warning);
    EXPECT_EQ(m[1].other, QStringLiteral("找回密钥"));
    EXPECT_EQ(m[2].text, QStringLiteral("已找到可用的密钥，请按确定重新解密"));
    EXPECT_TRUE(fs::exists(dir / "minutes.txt.ZR"));
    const QString found = Field(w, "T_EnCode")->text();
    EXPECT_EQ(Field(w, "T_ConfirmEnCode")->text(), found);
    EXPECT_EQ(zr::DeriveKeySeed(found.toStdU16String()).seed,
              zr::DeriveKeySeed(std::string_view("right")).seed);
    EXPECT_EQ(w.focusWidget(), Control<QPushButton>(w, "C_Ok"));

    // The right key: the completion message alone, and the source goes.
    platform.Clear();
    Control<QPushButton>(w, "C_Ok")->click();
    ASSERT_TRUE(WaitIdle(w));
    m = platform.Messages();
    ASSERT_EQ(m.size(), 1);
    EXPECT_EQ(m[0].text, QStringLiteral("加密/解密完毕！"));
    EXPECT_EQ(zr::test::ReadBytes(dir / "minutes.txt"), minutes);
    EXPECT_FALSE(fs::exists(dir / "minutes.txt.ZR"));
}

TEST_F(SingleFileWindow, EscOrTheCloseBoxStopsAJobLeavingNoTargetAndTheSourceUntouched) {
    const auto bytes = zr::test::PatternBytes(1000000);
    zr::test::WriteBytes(dir / "a.txt", bytes);
    Form1& w = Open();
    Fill(w, Q(dir / "a.txt"), Q(dir / "a.txt.ZR"), "k", "k");
    Control<QCheckBox>(w, "CB_Del")->setChecked(true);
    HoldAtFirstBlock(w);
    Control<QPushButton>(w, "C_Ok")->click();
    ASSERT_TRUE(w.Busy());
    zr::test::WriteBytes(dir / "other.doc", {1});
    EXPECT_FALSE(Drop(w, {dir / "other.doc"})) << "nothing is dropped during a job";
    platform.Clear();
    QTest::keyClick(&w, Qt::Key_Escape);
    ASSERT_TRUE(WaitIdle(w));
    ASSERT_EQ(platform.Messages().size(), 1);
    EXPECT_EQ(platform.Messages()[0].text, QStringLiteral("操作已取消"));
    EXPECT_EQ(platform.Messages()[0].title, QStringLiteral("注意："));
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"a.txt", "other.doc"}));
    EXPECT_EQ(zr::test::ReadBytes(dir / "a.txt"), bytes);
    // The window as before the job, ready for another.
    EXPECT_TRUE(Windows().IsLoaded(QStringLiteral("Form1")));
    EXPECT_EQ(Field(w, "T_TargetFile")->text(), Q(dir / "a.txt.ZR"));
    EXPECT_TRUE(Control<QCheckBox>(w, "CB_Del")->isChecked());
    EXPECT_TRUE(Control<QPushButton>(w, "C_Ok")->isEnabled());
    EXPECT_FALSE(Control<QProgressBar>(w, "ProgressBar1")->isVisible());

    // The close box stops the job the same way, and closes the window as it always does.
    Control<QPushButton>(w, "C_Ok")->click();
    ASSERT_TRUE(w.Busy());
    platform.Clear();
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(Windows().IsLoaded(QStringLiteral("Form1")));
    QTest::qWait(100); // the worker's end arrives after the window has gone
    EXPECT_TRUE(platform.Messages().isEmpty());
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"a.txt", "other.doc"}));
    EXPECT_EQ(zr::test::ReadBytes(dir / "a.txt"), bytes);
}

TEST_F(SingleFileWindow, ADroppedFileFillsBothFieldsByTheZrRule) {
    zr::test::WriteBytes(dir / "plan.doc.zr", {1});
    fs::create_directory(dir / "folder");
    Form1& w = Open();
    Field(w, "T_ConfirmEnCode")->setFocus();
    EXPECT_TRUE(Drop(*Field(w, "T_SourceFile"), {dir / "plan.doc.zr"})) << "a box passes it on";
    EXPECT_EQ(Field(w, "T_SourceFile")->text(), Q(dir / "plan.doc.zr"));
    EXPECT_EQ(Field(w, "T_TargetFile")->text(), Q(dir / "plan.doc"));
    EXPECT_EQ(w.focusWidget(), Field(w, "T_EnCode"));
    EXPECT_FALSE(Drop(w, {dir / "folder"}));
    EXPECT_FALSE(Drop(w, {dir / "plan.doc.zr", dir / "plan.doc.zr"}));
    EXPECT_EQ(Field(w, "T_SourceFile")->text(), Q(dir / "plan.doc.zr"));
}

TEST_F(SingleFileWindow, ReturnShowsTheMenuWithoutItsFolderControls) {
    Form1& w = Open();
    QTest::keyClick(&w, Qt::Key_Escape); // C_Exit is the cancel button
    EXPECT_FALSE(Windows().IsLoaded(QStringLiteral("Form1")));
    ASSERT_TRUE(Windows().IsLoaded(QStringLiteral("Form3")));
    auto& menu = Windows().Get(QStringLiteral("Form3"));
    EXPECT_TRUE(menu.isVisible());
    for (const char* name : {"Dir1", "Drive1", "Command1"})
        EXPECT_TRUE(Control<QWidget>(menu, name)->isHidden()) << name;
}

TEST_F(SingleFileWindow, CloseBoxJustCloses) {
    Open().close();
    EXPECT_FALSE(Windows().IsLoaded(QStringLiteral("Form1")));
    EXPECT_FALSE(Windows().IsLoaded(QStringLiteral("Form3")));
}

TEST_F(SingleFileWindow, HelpAndBackGivesAFreshWindowInSingleFileMode) {
    Form1& w = Open();
    // As the folder entry leaves it.
    Control<QPushButton>(w, "C_Ok")->hide();
    Control<QPushButton>(w, "Command3")->show();
    Control<QLabel>(w, "L_SourceFile")->setText(QStringLiteral("源文件夹"));
    Fill(w, "/a", "/b", "k", "k");
    Control<QPushButton>(w, "Command1")->click();
    EXPECT_EQ(Record().HelpCaller, 1);
    EXPECT_FALSE(Windows().IsLoaded(QStringLiteral("Form1")));
    ASSERT_TRUE(Windows().IsLoaded(QStringLiteral("Form2")));
    Windows().Get(QStringLiteral("Form2")).close();
    ASSERT_TRUE(Windows().IsLoaded(QStringLiteral("Form1")));
    auto& back = Windows().Get(QStringLiteral("Form1"));
    EXPECT_TRUE(back.isVisible());
    EXPECT_TRUE(Control<QPushButton>(back, "C_Ok")->isVisible());
    EXPECT_FALSE(Control<QPushButton>(back, "Command3")->isVisible());
    EXPECT_EQ(Control<QLabel>(back, "L_SourceFile")->text(), QStringLiteral("源文件名"));
    EXPECT_TRUE(Control<QLineEdit>(back, "T_SourceFile")->text().isEmpty());
}

TEST_F(SingleFileWindow, MarqueePhaseSurvivesAReload) {
    Form1& w = Open();
    EXPECT_TRUE(w.windowTitle().isEmpty());
    EXPECT_EQ(Record().TitleCount, 50);
    w.Timer1_timeout();
    EXPECT_EQ(w.windowTitle(), zr::ui::MarqueeTitle());
    for (int i = 0; i < 55; ++i)
        w.Timer1_timeout();
    EXPECT_TRUE(Record().TitleAlt);
    w.close();
    Form1& again = Open();
    EXPECT_EQ(Record().TitleCount, 50);
    again.Timer1_timeout();
    EXPECT_EQ(again.windowTitle(), QStringLiteral("作者：zr 开发组"));
}

TEST_F(SingleFileWindow, LookOfTheForm) {
    Form1& w = Open();
    EXPECT_EQ(w.size(), QSize(388, 261));
    EXPECT_EQ(Field(w, "T_EnCode")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Field(w, "T_ConfirmEnCode")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Field(w, "T_EnCode")
                  ->style()
                  ->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, Field(w, "T_EnCode")),
              '*');
    EXPECT_EQ(w.DefaultButton(), Control<QPushButton>(w, "C_Ok"));
    EXPECT_EQ(w.CancelButton(), Control<QPushButton>(w, "C_Exit"));
    EXPECT_EQ(Control<QWidget>(w, "ProgressBar1")->geometry(), QRect(48, 184, 305, 17));
    // Tab order of the fields and buttons.
    QWidget* at = Field(w, "T_SourceFile");
    for (const char* next : {"T_TargetFile", "T_EnCode", "T_ConfirmEnCode", "CB_Del", "C_Ok",
                             "C_Exit", "Command1", "Command2", "Command3"}) {
        do
            at = at->nextInFocusChain();
        while (!(at->focusPolicy() & Qt::TabFocus));
        EXPECT_EQ(at->objectName(), QString::fromLatin1(next));
    }
}

} // namespace
