#include "form7.h"

#include "app_record.h"
#include "scripted_platform.h"
#include "temp_dir.h"
#include "window_registry.h"

#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using zr::app::Control;
using zr::app::Windows;
using zr::platform::MessageButtons;
using zr::platform::MessageIcon;
using zr::platform::RecordedCall;
using zr::test::PatternBytes;
using zr::test::ReadBytes;
using zr::test::TempDir;
using zr::test::WriteBytes;
using zr::ui::Form7;

namespace {

const char* const kControls[] = {"Option1",  "Option2",  "Option3",
                                 "Command1", "Command2", "Command3"};

QString q(const fs::path& p) {
    return QString::fromStdString(p.string());
}

class Form7Test : public ::testing::Test {
protected:
    void SetUp() override { zr::app::RegisterWindow<Form7>(); }
    void TearDown() override {
        Windows().UnloadAll();
        zr::app::ResetRecord();
    }
    Form7& Open() {
        auto& w = static_cast<Form7&>(Windows().Get("Form7"));
        w.show();
        return w;
    }
    void Choose(Form7& w, const char* option) {
        Control<QRadioButton>(w, option)->setChecked(true);
    }
    // Clicks OK and waits until the window has gone.
    void RunAndWait(Form7& w) {
        QSignalSpy gone(&w, &QObject::destroyed);
        QTest::mouseClick(Control<QPushButton>(w, "Command1"), Qt::LeftButton);
        ASSERT_TRUE(gone.count() == 1 || gone.wait(10000));
        EXPECT_FALSE(Windows().IsLoaded("Form7"));
    }
    QList<RecordedCall> Calls(RecordedCall::Kind kind) const {
        QList<RecordedCall> out;
        for (const auto& c : platform.calls)
            if (c.kind == kind)
                out << c;
        return out;
    }
    zr::platform::ScriptedPlatform platform;
};

} // namespace

TEST_F(Form7Test, LayoutCaptionsFontsAndTabOrder) {
    Form7& w = Open();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("碎纸机"));
    EXPECT_EQ(w.size(), QSize(253, 121));
    const struct {
        const char* name;
        const char* text;
        QRect place;
    } table[] = {
        {"Option1", "一般删除", {24, 24, 105, 17}},  {"Option2", "快速删除", {24, 48, 105, 17}},
        {"Option3", "彻底删除", {24, 72, 105, 17}},  {"Command1", "确定(&O)", {160, 16, 81, 25}},
        {"Command3", "取消(&C)", {160, 48, 81, 25}}, {"Command2", "帮助(&H)", {160, 80, 81, 25}},
    };
    for (const auto& row : table) {
        auto* c = Control<QAbstractButton>(w, row.name);
        EXPECT_EQ(c->text(), QString::fromUtf8(row.text)) << row.name;
        EXPECT_EQ(c->geometry(), row.place) << row.name;
        EXPECT_EQ(c->font().family(), QStringLiteral("宋体")) << row.name;
        EXPECT_EQ(c->font().pointSize(), 12) << row.name;
    }
    QStringList order;
    QWidget* c = Control<QWidget>(w, "Option1");
    for (int i = 0; i < 6; ++i, c = c->nextInFocusChain())
        order << c->objectName();
    EXPECT_EQ(order.join(' '), "Option1 Option2 Option3 Command1 Command2 Command3");
    EXPECT_EQ(w.DefaultButton(), Control<QPushButton>(w, "Command1"));
    EXPECT_EQ(w.CancelButton(), Control<QPushButton>(w, "Command3"));

    // One group, Option1 chosen at first.
    EXPECT_TRUE(Control<QRadioButton>(w, "Option1")->isChecked());
    Choose(w, "Option3");
    EXPECT_FALSE(Control<QRadioButton>(w, "Option1")->isChecked());
    Choose(w, "Option2");
    EXPECT_FALSE(Control<QRadioButton>(w, "Option3")->isChecked());

    if (const QByteArray dir = qgetenv("ZR_SHOT_DIR"); !dir.isEmpty())
        w.grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/Form7.png"));
}

TEST_F(Form7Test, HelpShowsTheThreeTextsAndKeepsTheWindow) {
    Form7& w = Open();
    QTest::mouseClick(Control<QPushButton>(w, "Command2"), Qt::LeftButton);
    const auto messages = platform.Messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(
        messages[0].text,
        QStringLiteral("一般删除：是指我们平时最常做的删除，与在Windows资源管理器中的删除一样。\n\r"
                       "快速删除：是指将所要删除的文件长度置零，然后删除，给反删除带来难度。\n\r"
                       "彻底删除：是指将要删除的文件区域重写若干次，然后将文件删除，注意，"
                       "删除大文件要耐心等待，这里不再设置进度条。"));
    EXPECT_EQ(messages[0].title, QStringLiteral("帮助"));
    EXPECT_EQ(messages[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(messages[0].icon, MessageIcon::None);
    EXPECT_TRUE(Windows().IsLoaded("Form7"));
    EXPECT_TRUE(Calls(RecordedCall::OpenFile).isEmpty());
}

TEST_F(Form7Test, CancelButtonAndCancelledDialogCloseTouchingNothing) {
    TempDir dir;
    WriteBytes(dir / "a", PatternBytes(100));
    Form7& w = Open();
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_FALSE(Windows().IsLoaded("Form7"));
    EXPECT_TRUE(platform.calls.isEmpty());

    Form7& again = Open();
    Choose(again, "Option3");
    platform.CancelOpen();
    QTest::mouseClick(Control<QPushButton>(again, "Command1"), Qt::LeftButton);
    EXPECT_FALSE(Windows().IsLoaded("Form7"));
    EXPECT_EQ(Calls(RecordedCall::OpenFile).size(), 1);
    EXPECT_TRUE(platform.Messages().isEmpty());
    EXPECT_EQ(ReadBytes(dir / "a"), PatternBytes(100));
}

TEST_F(Form7Test, NoOptionSelectedRunsTheDialogAndTouchesNothing) {
    TempDir dir;
    WriteBytes(dir / "a", PatternBytes(100));
    Form7& w = Open();
    for (const char* name : {"Option1", "Option2", "Option3"}) {
        Control<QRadioButton>(w, name)->setAutoExclusive(false);
        Control<QRadioButton>(w, name)->setChecked(false);
    }
    platform.AnswerOpen({q(dir / "a")});
    QTest::mouseClick(Control<QPushButton>(w, "Command1"), Qt::LeftButton);
    EXPECT_FALSE(Windows().IsLoaded("Form7"));
    EXPECT_EQ(Calls(RecordedCall::OpenFile).size(), 1);
    EXPECT_TRUE(platform.Messages().isEmpty());
    EXPECT_EQ(ReadBytes(dir / "a"), PatternBytes(100));
}

TEST_F(Form7Test, ShredsTheSelectionOffTheUiThreadWithoutTakingInput) {
    TempDir dir;
    WriteBytes(dir / "a", PatternBytes(70000));
    WriteBytes(dir / "b c.txt", PatternBytes(33000, 2));
    fs::create_hard_link(dir / "a", dir / "keep-a");
    fs::create_hard_link(dir / "b c.txt", dir / "keep-b");
    Form7& w = Open();
    Choose(w, "Option3");
    platform.AnswerOpen({q(dir / "a"), q(dir / "b c.txt")});
    QSignalSpy gone(&w, &QObject::destroyed);
    QTest::mouseClick(Control<QPushButton>(w, "Command1"), Qt::LeftButton);

    // Until the job has ended the window refuses every input, closing included.
    ASSERT_TRUE(w.IsShredding());
    for (const char* name : kControls)
        EXPECT_FALSE(Control<QWidget>(w, name)->isEnabled()) << name;
    w.close();
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_TRUE(Windows().IsLoaded("Form7"));

    ASSERT_TRUE(gone.wait(10000));
    EXPECT_FALSE(Windows().IsLoaded("Form7"));
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"keep-a", "keep-b"}));
    EXPECT_EQ(ReadBytes(dir / "keep-a"), std::vector<std::uint8_t>(70000, 0));
    EXPECT_EQ(ReadBytes(dir / "keep-b"), std::vector<std::uint8_t>(33000, 0));

    const auto open = Calls(RecordedCall::OpenFile);
    ASSERT_EQ(open.size(), 1);
    EXPECT_TRUE(open[0].request.multiSelect);
    EXPECT_EQ(open[0].request.filter, QStringLiteral("所有文件(*.*)|*.*"));
    EXPECT_TRUE(open[0].request.title.isEmpty());
    const auto busy = Calls(RecordedCall::Busy);
    ASSERT_EQ(busy.size(), 2);
    EXPECT_TRUE(busy[0].busy);
    EXPECT_FALSE(busy[1].busy);
    EXPECT_TRUE(platform.Messages().isEmpty());
}

TEST_F(Form7Test, FailuresAreListedInOrderAndTheRestIsShredded) {
    TempDir dir;
    WriteBytes(dir / "good", PatternBytes(100));
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    Form7& w = Open();
    Choose(w, "Option2");
    platform.AnswerOpen({q(dir / "missing"), q(dir / "good"), q(dir / "fifo")});
    RunAndWait(w);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"fifo"});
    const auto messages = platform.Messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].title, QStringLiteral("碎纸机"));
    EXPECT_EQ(messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(messages[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(messages[0].window, QStringLiteral("Form7"));
    const QStringList lines = messages[0].text.split('\n');
    ASSERT_EQ(lines.size(), 3) << messages[0].text.toStdString();
    EXPECT_EQ(lines[1],
              QStringLiteral("无法访问：") + q(dir / "missing") + QStringLiteral("（文件不存在）"));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("不能粉碎：") + q(dir / "fifo")));
}

TEST_F(Form7Test, NameReplacedDuringTheOverwriteIsListedAndKept) {
    // The linked-in fsync hook renames "saved" over the name once the overwrite is flushed.
    TempDir dir;
    WriteBytes(dir / "doc", PatternBytes(70000));
    WriteBytes(dir / "saved", PatternBytes(500, 7));
    const std::string swap = (dir / "saved").string() + "|" + (dir / "doc").string();
    ::setenv("ZR_TEST_RENAME_ON_FSYNC", swap.c_str(), 1);
    Form7& w = Open();
    Choose(w, "Option3");
    platform.AnswerOpen({q(dir / "doc")});
    RunAndWait(w);
    ::unsetenv("ZR_TEST_RENAME_ON_FSYNC");
    EXPECT_EQ(ReadBytes(dir / "doc"), PatternBytes(500, 7));
    const auto messages = platform.Messages();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].text, QStringLiteral("下列文件未能粉碎：\n未删除：") + q(dir / "doc") +
                                    QStringLiteral("（文件在粉碎过程中被替换了）"));
}
