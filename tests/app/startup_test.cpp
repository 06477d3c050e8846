#include "app_record.h"
#include "form1.h"
#include "scripted_platform.h"
#include "startup.h"
#include "window_registry.h"

#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using zr::app::Control;
using zr::app::Record;
using zr::app::RunStartup;
using zr::app::Windows;

namespace {

struct StandInForm3 : zr::app::ZrWindow {
    static constexpr const char* kName = "Form3";
};

class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        zr::app::RegisterWindow<zr::ui::Form1>();
        zr::app::RegisterWindow<StandInForm3>();
    }
    void TearDown() override {
        Windows().UnloadAll();
        zr::app::ResetRecord();
    }
    zr::platform::ScriptedPlatform platform;
};

TEST_F(Startup, OneAbsoluteFileOpensTheSingleFileWindowForIt) {
    RunStartup(QStringLiteral("/opt/zr/bin/zr"), {QStringLiteral("/data/报告.doc")});
    EXPECT_EQ(Record().AppPath, QStringLiteral("/opt/zr/bin"));
    EXPECT_EQ(Record().CmdLine, QStringLiteral("/data/报告.doc"));
    EXPECT_FALSE(Windows().IsLoaded(QStringLiteral("Form3")));
    ASSERT_TRUE(Windows().IsLoaded(QStringLiteral("Form1")));
    auto& f1 = Windows().Get(QStringLiteral("Form1"));
    EXPECT_TRUE(f1.isVisible());
    EXPECT_EQ(Control<QLineEdit>(f1, "T_SourceFile")->text(), QStringLiteral("/data/报告.doc"));
    EXPECT_EQ(Control<QLineEdit>(f1, "T_TargetFile")->text(), QStringLiteral("/data/报告.doc.ZR"));
    EXPECT_TRUE(Control<QPushButton>(f1, "C_Ok")->isVisible());
    EXPECT_FALSE(Control<QPushButton>(f1, "Command3")->isVisible());
    EXPECT_EQ(f1.focusWidget(), Control<QLineEdit>(f1, "T_EnCode"));
    EXPECT_EQ(Record().TitleCount, 50);    // its load ran
    EXPECT_TRUE(platform.calls.isEmpty()); // nothing checked, nothing shown
}

TEST_F(Startup, EncryptedFileGetsTheDecryptedName) {
    RunStartup(QStringLiteral("/usr/bin/zr"), {QStringLiteral("/data/plan.zr")});
    EXPECT_EQ(Control<QLineEdit>(Windows().Get(QStringLiteral("Form1")), "T_TargetFile")->text(),
              QStringLiteral("/data/plan"));
}

TEST_F(Startup, AnythingElseOpensTheMainMenu) {
    const QList<QStringList> cases = {
        {}, {QStringLiteral("report.doc")}, {QStringLiteral("/a"), QStringLiteral("/b")}};
    for (const QStringList& args : cases) {
        RunStartup(QStringLiteral("/usr/bin/zr"), args);
        EXPECT_FALSE(Windows().IsLoaded(QStringLiteral("Form1"))) << args.join(' ').toStdString();
        ASSERT_TRUE(Windows().IsLoaded(QStringLiteral("Form3")));
        EXPECT_TRUE(Windows().Get(QStringLiteral("Form3")).isVisible());
        Windows().UnloadAll();
    }
}

} // namespace
