#include "app_record.h"
#include "dir_list_box.h"
#include "form1.h"
#include "form3.h"
#include "key_seed.h"
#include "keystream_cipher.h"
#include "scripted_platform.h"
#include "temp_dir.h"
#include "window_registry.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
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
using zr::test::WriteBytes;
using zr::ui::Form1;

namespace {

QString q(const fs::path& p) {
    return QString::fromStdString(p.string());
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
        fs::create_directory(source);
        fs::create_directory(target);
    }
    void TearDown() override {
        Windows().UnloadAll();
        zr::app::ResetRecord();
    }

    // Form1 in folder mode, as the main menu's folder OK button leaves it.
    Form1& OpenInFolderMode(const QString& key, const QString& confirm, bool deleteSource) {
        Record().SourceFolder = q(source) + "/";
        Record().TargetFolder = q(target) + "/";
        auto& w = static_cast<Form1&>(Windows().Get(QStringLiteral("Form1")));
        w.show();
        w.SetDefaultButton(Control<QPushButton>(w, "Command3"));
        Control<QLabel>(w, "L_SourceFile")->setText(QStringLiteral("源文件夹"));
        Control<QLineEdit>(w, "T_SourceFile")->setText(Record().SourceFolder);
        Control<QLabel>(w, "L_TargetFile")->setText(QStringLiteral("目标文件夹"));
        Control<QLineEdit>(w, "T_TargetFile")->setText(Record().TargetFolder);
        Control<QPushButton>(w, "Command3")->show();
        Control<QLineEdit>(w, "T_EnCode")->setText(key);
        Control<QLineEdit>(w, "T_ConfirmEnCode")->setText(confirm);
        Control<QCheckBox>(w, "CB_Del")->setChecked(deleteSource);
        return w;
    }

    // Clicks Command3 and waits until the window has gone back to the main menu.
    void RunToTheEnd(Form1& w) {
        QPointer<Form1> alive(&w);
        Control<QPushButton>(w, "Command3")->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return alive.isNull(); }, 10000));
        EXPECT_FALSE(Windows().IsLoaded(QStringLiteral("Form1")));
        ASSERT_TRUE(Windows().IsLoaded(QStringLiteral("Form3")));
        EXPECT_TRUE(Windows().Find(QStringLiteral("Form3"))->isVisible());
    }
};

std::vector<std::uint8_t> Transformed(std::vector<std::uint8_t> bytes, std::string_view key) {
    zr::KeystreamCipher c;
    c.Reseed(zr::DeriveKeySeed(key).seed);
    c.Apply(bytes);
    return bytes;
}

} // namespace

TEST_F(FolderJobWindow, RunsTheFolderOffTheUiThreadThenReturnsToTheMenu) {
    WriteBytes(source / "a.txt", PatternBytes(300000, 1));
    WriteBytes(source / "b.doc.zr", PatternBytes(10, 2));
    Form1& w = OpenInFolderMode("key", "key", true);
    QSignalSpy values(Control<QProgressBar>(w, "ProgressBar1"), &QProgressBar::valueChanged);

    platform.onMessage = [&](const RecordedCall&) {
        // When the completion message shows, the window has left its busy state.
        EXPECT_FALSE(Control<QProgressBar>(w, "ProgressBar1")->isVisible());
        EXPECT_TRUE(Control<QLineEdit>(w, "T_EnCode")->isEnabled());
        EXPECT_EQ(Control<QLabel>(w, "L_SourceFile")->text(), QStringLiteral("源文件名"));
        EXPECT_EQ(Control<QLabel>(w, "L_TargetFile")->text(), QStringLiteral("目标文件名"));
        // The boxes show the files, the last one at the end.
        EXPECT_TRUE(Control<QLineEdit>(w, "T_SourceFile")->text().startsWith(q(source) + "/"));
        EXPECT_TRUE(Control<QLineEdit>(w, "T_TargetFile")->text().startsWith(q(target) + "/"));
        EXPECT_EQ(Record().TargetFolder, q(target)) << "without its trailing separator";
    };
    Control<QPushButton>(w, "Command3")->click();
    // The click returns at once: the job runs on the worker while the window takes no input.
    EXPECT_TRUE(w.Busy());
    EXPECT_FALSE(Control<QLineEdit>(w, "T_EnCode")->isEnabled());
    EXPECT_FALSE(Control<QPushButton>(w, "Command3")->isEnabled());
    EXPECT_TRUE(Control<QProgressBar>(w, "ProgressBar1")->isVisible());
    QPointer<Form1> alive(&w);
    ASSERT_TRUE(QTest::qWaitFor([&] { return alive.isNull(); }, 10000));

    ASSERT_EQ(platform.Messages().size(), 1);
    const RecordedCall done = platform.Messages()[0];
    EXPECT_EQ(done.text, QStringLiteral("加密/解密完毕！"));
    EXPECT_EQ(done.title, QStringLiteral("注意："));
    EXPECT_EQ(done.icon, MessageIcon::None);
    EXPECT_EQ(platform.BeepCount(), 0);
    EXPECT_TRUE(values.count() > 0);
    EXPECT_EQ(values.last().at(0).toInt(), 100);
    EXPECT_TRUE(Windows().Find(QStringLiteral("Form3"))->isVisible());

    EXPECT_FALSE(fs::exists(source)) << "emptied by the deletion, then removed";
    EXPECT_EQ(ReadBytes(target / "A.TXT.ZR"), Transformed(PatternBytes(300000, 1), "key"));
    EXPECT_EQ(ReadBytes(target / "B.DOC"), Transformed(PatternBytes(10, 2), "key"));
}

TEST_F(FolderJobWindow, FromTheMainMenusFolderViewToTheCompletionAndBack) {
    fs::remove(target); // the menu makes it
    WriteBytes(source / "a.txt", PatternBytes(1000, 1));
    WriteBytes(source / ".hidden", PatternBytes(10, 2));
    fs::create_directory(source / "sub");
    auto& menu = Windows().Get(QStringLiteral("Form3"));
    menu.show();
    QTest::mouseClick(Control<QLabel>(menu, "Label4"), Qt::LeftButton);
    ASSERT_TRUE(Control<zr::platform::DirListBox>(menu, "Dir1")->SetPath(q(source)));
    QTest::mouseClick(Control<QPushButton>(menu, "Command1"), Qt::LeftButton);
    ASSERT_FALSE(Windows().IsLoaded(QStringLiteral("Form3")));

    auto& w = static_cast<Form1&>(Windows().Get(QStringLiteral("Form1")));
    QTest::keyClicks(Control<QLineEdit>(w, "T_EnCode"), QStringLiteral("pass"));
    QTest::keyClicks(Control<QLineEdit>(w, "T_ConfirmEnCode"), QStringLiteral("pass"));
    Control<QCheckBox>(w, "CB_Del")->setChecked(true);
    QPointer<Form1> alive(&w);
    // Enter presses the folder mode's default button.
    QTest::keyClick(Control<QLineEdit>(w, "T_ConfirmEnCode"), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return alive.isNull(); }, 10000));

    ASSERT_EQ(platform.Messages().size(), 1);
    EXPECT_EQ(platform.Messages()[0].text, QStringLiteral("加密/解密完毕！"));
    auto* back = Windows().Find(QStringLiteral("Form3"));
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->isVisible());
    EXPECT_TRUE(Control<QLabel>(*back, "Label4")->isVisible()) << "the menu's normal view";
    EXPECT_EQ(Record().TargetFolder, q(target));
    EXPECT_EQ(ReadBytes(target / "A.TXT.ZR"), Transformed(PatternBytes(1000, 1), "pass"));
    EXPECT_EQ(ReadBytes(target / ".HIDDEN.ZR"), Transformed(PatternBytes(10, 2), "pass"));
    // The subfolder keeps the source folder, which now holds nothing else.
    EXPECT_EQ(std::distance(fs::directory_iterator(source), fs::directory_iterator()), 1);
    EXPECT_TRUE(fs::is_directory(source / "sub"));
}

TEST_F(FolderJobWindow, DifferentKeysOnlyAsk) {
    WriteBytes(source / "a", PatternBytes(10));
    Form1& w = OpenInFolderMode("one", "two", true);
    Control<QPushButton>(w, "Command3")->click();
    EXPECT_FALSE(w.Busy());
    ASSERT_EQ(platform.Messages().size(), 1);
    EXPECT_EQ(platform.Messages()[0].text, QStringLiteral("确认密钥不对！"));
    EXPECT_EQ(platform.Messages()[0].title, QStringLiteral("注意："));
    EXPECT_EQ(platform.Messages()[0].icon, MessageIcon::Question);
    EXPECT_EQ(platform.BeepCount(), 1);
    EXPECT_EQ(w.focusWidget(), Control<QLineEdit>(w, "T_EnCode"));
    EXPECT_EQ(Control<QLabel>(w, "L_SourceFile")->text(), QStringLiteral("源文件夹"));
    EXPECT_TRUE(Windows().IsLoaded(QStringLiteral("Form1")));
    EXPECT_EQ(root.Names(), (std::vector<std::string>{"data", "dataZR"}));
    EXPECT_TRUE(fs::is_empty(target));
    EXPECT_TRUE(fs::exists(source / "a"));
}

TEST_F(FolderJobWindow, AKeyOutsideTheLimitsIsRefusedOnceBeforeTheListing) {
    for (int i = 0; i < 3; ++i)
        WriteBytes(source / ("f" + std::to_string(i)), PatternBytes(10));
    Form1& w = OpenInFolderMode("密钥", "密钥", true);
    Control<QPushButton>(w, "Command3")->click();
    EXPECT_FALSE(w.Busy());
    ASSERT_EQ(platform.Messages().size(), 1) << "one message, not one per file";
    EXPECT_NE(platform.Messages()[0].text.indexOf(QStringLiteral("密钥")), -1);
    EXPECT_EQ(w.focusWidget(), Control<QLineEdit>(w, "T_EnCode"));
    EXPECT_EQ(Control<QLabel>(w, "L_SourceFile")->text(), QStringLiteral("源文件夹"));
    EXPECT_TRUE(fs::is_empty(target));
    EXPECT_EQ(std::distance(fs::directory_iterator(source), fs::directory_iterator()), 3);
}

TEST_F(FolderJobWindow, FailuresFollowTheCompletionMessageWithTheFirstTwenty) {
    for (int i = 0; i < 25; ++i)
        WriteBytes(source / ("f" + std::to_string(i)), PatternBytes(10));
    fs::remove(target); // every file fails to be written
    Form1& w = OpenInFolderMode("", "", true);
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
    EXPECT_EQ(std::distance(fs::directory_iterator(source), fs::directory_iterator()), 25)
        << "no source of a failed file is deleted";
}

TEST_F(FolderJobWindow, ANameThatIsNoUtf8IsShownAndDone) {
    WriteBytes(source / "caf\xe9.txt", PatternBytes(10));
    Form1& w = OpenInFolderMode("k", "k", false);
    RunToTheEnd(w);
    ASSERT_EQ(platform.Messages().size(), 1);
    EXPECT_TRUE(fs::exists(target / "CAF\xe9.TXT.ZR"));
}

TEST_F(FolderJobWindow, AnEmptyFolderStillCompletes) {
    Form1& w = OpenInFolderMode("k", "k", true);
    RunToTheEnd(w);
    ASSERT_EQ(platform.Messages().size(), 1);
    EXPECT_EQ(platform.Messages()[0].text, QStringLiteral("加密/解密完毕！"));
    EXPECT_TRUE(fs::is_directory(source));
}
