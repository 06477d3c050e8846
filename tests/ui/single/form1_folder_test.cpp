#include "app_record.h"
#include "background_job.h"
#include "dir_list_box.h"
#include "form1.h"
#include "form3.h"
#include "key_seed.h"
#include "keystream_cipher.h"
#include "keystream_expect.h"
#include "scripted_platform.h"
#include "temp_dir.h"
#include "window_contracts.h"
#include "window_registry.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using zr::app::Control;
using zr::app::Record;
using zr::app::Windows;
using zr::platform::MessageIcon;
using zr::platform::RecordedCall;
using zr::platform::ScriptedPlatform;
using zr::test::PatternBytes;
using zr::test::ReadBytes;
using zr::test::TempDir;
using zr::test::Transformed;
using zr::test::WriteBytes;
using zr::ui::Form1;

namespace {

QString q(const fs::path& p) {
    return QString::fromStdString(p.string());
}

long EntriesIn(const fs::path& folder) {
    return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
}

class FolderJobWindow : public ::testing::Test {
protected:
    TempDir root;
    fs::path source = root / "data";
    fs::path target = root / "dataZR";
    ScriptedPlatform platform;

    void SetUp() override {
        zr::app::RegisterWindow<Form1>();
        zr::app::RegisterWindow<zr::ui::Form3>();
        zr::app::BindWindow<zr::app::SingleFileWindow, Form1>();
        zr::app::BindWindow<zr::app::MainMenuWindow, zr::ui::Form3>();
        fs::create_directory(source);
    }
    void TearDown() override {
        Windows().UnloadAll();
        zr::app::ResetRecord();
    }

    // Picks the source folder in the main menu's folder view; its OK opens Form1 in folder
    // mode. Then types the keys.
    Form1& OpenFromMenu(const QString& key, const QString& confirm, bool deleteSource) {
        auto& menu = Windows().Get(QStringLiteral("Form3"));
        menu.show();
        QTest::mouseClick(Control<QLabel>(menu, "Label4"), Qt::LeftButton);
        EXPECT_TRUE(Control<zr::platform::DirListBox>(menu, "Dir1")->SetPath(q(source)));
        QTest::mouseClick(Control<QPushButton>(menu, "Command1"), Qt::LeftButton);
        EXPECT_FALSE(Windows().IsLoaded(QStringLiteral("Form3")));
        auto& w = static_cast<Form1&>(Windows().Get(QStringLiteral("Form1")));
        QTest::keyClicks(Control<QLineEdit>(w, "T_EnCode"), key);
        QTest::keyClicks(Control<QLineEdit>(w, "T_ConfirmEnCode"), confirm);
        Control<QCheckBox>(w, "CB_Del")->setChecked(deleteSource);
        return w;
    }

    // Enter presses the folder mode's default button; waits until the window has gone.
    static void RunToTheEnd(Form1& w) {
        QPointer<Form1> alive(&w);
        QTest::keyClick(Control<QLineEdit>(w, "T_ConfirmEnCode"), Qt::Key_Return);
        ASSERT_TRUE(QTest::qWaitFor([&] { return alive.isNull(); }, 10000));
        ASSERT_NE(Windows().Find(QStringLiteral("Form3")), nullptr);
        EXPECT_TRUE(Windows().Find(QStringLiteral("Form3"))->isVisible());
    }
};

} // namespace

TEST_F(FolderJobWindow, FromTheMenusFolderViewThroughTheWorkerToTheCompletionAndBack) {
    WriteBytes(source / "a.txt", PatternBytes(300000, 1));
    WriteBytes(source / "b.dat.zr", PatternBytes(10, 2));
    WriteBytes(source / ".hidden", PatternBytes(10, 3));
    Form1& w = OpenFromMenu("key", "key", true);
    QSignalSpy values(Control<QProgressBar>(w, "ProgressBar1"), &QProgressBar::valueChanged);
    platform.onMessage = [&](const RecordedCall&) {
        // When the completion message shows, the window has left its busy state and its boxes
        // show the last file.
        EXPECT_FALSE(Control<QProgressBar>(w, "ProgressBar1")->isVisible());
        EXPECT_TRUE(Control<QLineEdit>(w, "T_EnCode")->isEnabled());
        EXPECT_EQ(Control<QLabel>(w, "L_SourceFile")->text(), QStringLiteral("源文件名"));
        EXPECT_EQ(Control<QLabel>(w, "L_TargetFile")->text(), QStringLiteral("目标文件名"));
        EXPECT_TRUE(Control<QLineEdit>(w, "T_SourceFile")->text().startsWith(q(source) + "/"));
        EXPECT_TRUE(Control<QLineEdit>(w, "T_TargetFile")->text().startsWith(q(target) + "/"));
        EXPECT_EQ(Record().TargetFolder, q(target)) << "without its trailing separator";
    };

    QPointer<Form1> alive(&w);
    QTest::keyClick(Control<QLineEdit>(w, "T_ConfirmEnCode"), Qt::Key_Return);
    // The key press returns at once: the job runs on the worker while the window takes no
    // input.
    EXPECT_TRUE(w.Busy());
    EXPECT_FALSE(Control<QLineEdit>(w, "T_EnCode")->isEnabled());
    EXPECT_FALSE(Control<QPushButton>(w, "Command3")->isEnabled());
    EXPECT_TRUE(Control<QProgressBar>(w, "ProgressBar1")->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return alive.isNull(); }, 10000));

    ASSERT_EQ(platform.Messages().size(), 1);
    const RecordedCall done = platform.Messages()[0];
    EXPECT_EQ(done.text, QStringLiteral("加密/解密完毕！"));
    EXPECT_EQ(done.title, QStringLiteral("注意："));
    EXPECT_EQ(done.icon, MessageIcon::None);
    EXPECT_EQ(platform.BeepCount(), 0);
    ASSERT_GT(values.count(), 0);
    EXPECT_EQ(values.last().at(0).toInt(), 100);
    auto* menu = Windows().Find(QStringLiteral("Form3"));
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_TRUE(Control<QLabel>(*menu, "Label4")->isVisible()) << "the menu's normal view";

    EXPECT_FALSE(fs::exists(source)) << "emptied by the deletion, then removed";
    EXPECT_EQ(ReadBytes(target / "A.TXT.ZR"), Transformed(PatternBytes(300000, 1), "key"));
    EXPECT_EQ(ReadBytes(target / "B.DAT"), Transformed(PatternBytes(10, 2), "key"));
    EXPECT_EQ(ReadBytes(target / ".HIDDEN.ZR"), Transformed(PatternBytes(10, 3), "key"));
}

TEST_F(FolderJobWindow, DifferentKeysOnlyAsk) {
    WriteBytes(source / "a", PatternBytes(10));
    Form1& w = OpenFromMenu("one", "two", true);
    Control<QPushButton>(w, "Command3")->click();
    EXPECT_FALSE(w.Busy());
    ASSERT_EQ(platform.Messages().size(), 1);
    EXPECT_EQ(platform.Messages()[0].text, QStringLiteral("确认密钥不对！"));
    EXPECT_EQ(platform.Messages()[0].title, QStringLiteral("注意："));
    EXPECT_EQ(platform.Messages()[0].icon, MessageIcon::Question);
    EXPECT_EQ(platform.BeepCount(), 1);
    EXPECT_EQ(w.focusWidget(), Control<QLineEdit>(w, "T_EnCode"));
    EXPECT_EQ(Control<QLabel>(w, "L_SourceFile")->text(), QStringLiteral("源文件夹"));
    EXPECT_TRUE(fs::is_empty(target));
    EXPECT_TRUE(fs::exists(source / "a"));
}

TEST_F(FolderJobWindow, AKeyOutsideTheLimitsIsRefusedOnceBeforeTheListing) {
    for (int i = 0; i < 3; ++i)
        WriteBytes(source / ("f" + std::to_string(i)), PatternBytes(10));
    Form1& w = OpenFromMenu("", "", true);
    Control<QLineEdit>(w, "T_EnCode")->setText(QStringLiteral("密钥"));
    Control<QLineEdit>(w, "T_ConfirmEnCode")->setText(QStringLiteral("密钥"));
    Control<QPushButton>(w, "Command3")->click();
    EXPECT_FALSE(w.Busy());
    ASSERT_EQ(platform.Messages().size(), 1) << "one message, not one per file";
    EXPECT_NE(platform.Messages()[0].text.indexOf(QStringLiteral("密钥")), -1);
    EXPECT_EQ(w.focusWidget(), Control<QLineEdit>(w, "T_EnCode"));
    EXPECT_EQ(Control<QLabel>(w, "L_SourceFile")->text(), QStringLiteral("源文件夹"));
    EXPECT_TRUE(fs::is_empty(target));
    EXPECT_EQ(EntriesIn(source), 3);
}

TEST_F(FolderJobWindow, FailuresFollowTheCompletionMessageWithTheFirstTwenty) {
    for (int i = 0; i < 25; ++i)
        WriteBytes(source / ("f" + std::to_string(i)), PatternBytes(10));
    WriteBytes(target, {1}); // a file where the target folder should be made
    Form1& w = OpenFromMenu("", "", true);
    RunToTheEnd(w);
    ASSERT_EQ(platform.Messages().size(), 2);
    EXPECT_EQ(platform.Messages()[0].text, QStringLiteral("加密/解密完毕！"));
    const RecordedCall failed = platform.Messages()[1];
    EXPECT_EQ(failed.title, QStringLiteral("注意："));
    EXPECT_EQ(failed.icon, MessageIcon::Warning);
    EXPECT_TRUE(failed.text.startsWith(QStringLiteral("有 25 个文件未能加密/解密")))
        << failed.text.toStdString();
    EXPECT_EQ(failed.text.count(QStringLiteral("无法写入目标文件")), 20);
    EXPECT_NE(failed.text.indexOf(QStringLiteral("另有 5 个未列出")), -1);
    EXPECT_EQ(EntriesIn(source), 25) << "no source of a failed file is deleted";
}

TEST_F(FolderJobWindow, SourcesThatCannotBeDeletedAreListedApartFromFailures) {
    if (!zr::test::CanMount())
        GTEST_SKIP() << "needs root to mount";
    fs::create_directory(root / "rw");
    WriteBytes(root / "rw" / "a", PatternBytes(10));
    zr::test::ReadOnlyBind ro(root / "rw", source);
    ASSERT_TRUE(ro.ok());
    RunToTheEnd(OpenFromMenu("k", "k", true));
    ASSERT_EQ(platform.Messages().size(), 2);
    EXPECT_EQ(platform.Messages()[1].text,
              QStringLiteral("有 1 个文件已加密/解密，但源文件没有删除：\n无法删除源文件：") +
                  q(source / "a") + QStringLiteral("（只读文件系统）"));
    EXPECT_TRUE(fs::exists(target / "A.ZR"));
}

TEST_F(FolderJobWindow, ANameThatIsNoUtf8IsShownAndDone) {
    WriteBytes(source / "caf\xe9.txt", PatternBytes(10)); // Latin-1
    RunToTheEnd(OpenFromMenu("k", "k", false));
    ASSERT_EQ(platform.Messages().size(), 1);
    EXPECT_TRUE(fs::exists(target / "CAF\xe9.TXT.ZR"));
}

TEST_F(FolderJobWindow, ProgramEndDuringTheJobStopsItWithoutAPartialTarget) {
    WriteBytes(source / "big", PatternBytes(64 << 20));
    WriteBytes(source / "next", PatternBytes(10));
    Form1& w = OpenFromMenu("k", "k", true);
    Control<QPushButton>(w, "Command3")->click();
    ASSERT_TRUE(w.Busy());
    Windows().UnloadAll(); // what ending the program from another window does
    EXPECT_TRUE(fs::is_empty(target)) << "no partial or temporary file is left";
    EXPECT_EQ(EntriesIn(source), 2);
    EXPECT_TRUE(platform.Messages().isEmpty());
}

TEST_F(FolderJobWindow, EscStopsTheJobAndTheWindowIsBackInFolderMode) {
    WriteBytes(source / "big", PatternBytes(1 << 20));
    Form1& w = OpenFromMenu("k", "k", true);
    const QString sourceShown = Control<QLineEdit>(w, "T_SourceFile")->text();
    const QString targetShown = Control<QLineEdit>(w, "T_TargetFile")->text();
    auto* job = w.findChild<zr::platform::BackgroundJob*>();
    std::atomic<bool> halfWay{false}; // Esc comes in the middle of the file, not before it
    QObject::connect(
        job, &zr::platform::BackgroundJob::progress, job,
        [job, &halfWay] {
            halfWay = true;
            while (!job->CancelRequested())
                QThread::msleep(1);
        },
        Qt::DirectConnection);
    Control<QPushButton>(w, "Command3")->click();
    ASSERT_TRUE(w.Busy());
    ASSERT_TRUE(QTest::qWaitFor([&] { return halfWay.load(); }, 10000));
    QTest::keyClick(&w, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.Busy(); }, 10000));
    ASSERT_EQ(platform.Messages().size(), 1);
    EXPECT_EQ(platform.Messages()[0].text, QStringLiteral("操作已取消"));
    EXPECT_EQ(Control<QLabel>(w, "L_SourceFile")->text(), QStringLiteral("源文件夹"));
    EXPECT_EQ(Control<QLabel>(w, "L_TargetFile")->text(), QStringLiteral("目标文件夹"));
    EXPECT_EQ(Control<QLineEdit>(w, "T_SourceFile")->text(), sourceShown);
    EXPECT_EQ(Control<QLineEdit>(w, "T_TargetFile")->text(), targetShown);
    EXPECT_TRUE(Control<QPushButton>(w, "Command3")->isEnabled());
    EXPECT_TRUE(fs::is_empty(target));
    EXPECT_EQ(ReadBytes(source / "big"), PatternBytes(1 << 20));
}
