#include "app_record.h"
#include "form1.h"
#include "path_text.h"
#include "scripted_platform.h"
#include "startup.h"
#include "temp_dir.h"
#include "window_contracts.h"
#include "window_registry.h"

#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

namespace fs = std::filesystem;
using zr::app::Control;
using zr::app::Record;
using zr::app::RunStartup;
using zr::app::Windows;

namespace {

struct StandInForm3 : zr::app::ZrWindow {
    static constexpr const char* kName = "Form3";
};

struct StandInMfiles : zr::app::ZrWindow, zr::app::MultiFileWindow {
    static constexpr const char* kName = "mfiles";
    void ShowForFiles(const QStringList& f) override {
        show();
        files = f;
    }
    QStringList files;
};

class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        zr::app::RegisterWindow<zr::ui::Form1>();
        zr::app::RegisterWindow<StandInForm3>();
        zr::app::RegisterWindow<StandInMfiles>();
        zr::app::BindWindow<zr::app::SingleFileWindow, zr::ui::Form1>();
        zr::app::BindWindow<zr::app::MultiFileWindow, StandInMfiles>();
        // Every start writes the desktop association: into a throwaway home, never the real
        // one of whoever runs the tests.
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"})
            saved.emplace_back(name, qgetenv(name));
        qputenv("HOME", QByteArray::fromStdString(home.path().string()));
        qunsetenv("XDG_DATA_HOME");
        qunsetenv("XDG_CONFIG_HOME");
    }
    void TearDown() override {
        Windows().UnloadAll();
        zr::app::ResetRecord();
        for (const auto& [name, value] : saved)
            value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }
    zr::platform::ScriptedPlatform platform;
    zr::test::TempDir home;
    std::vector<std::pair<const char*, QByteArray>> saved;
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

TEST_F(Startup, WritesTheAssociationIntoTheHomeItRunsWith) {
    RunStartup(QStringLiteral("/usr/bin/zr"), {});
    EXPECT_FALSE(fs::is_empty(home / ".local" / "share" / "applications"));
}

TEST_F(Startup, ANameThatIsNotUtf8ReachesTheWindowWithItsBytes) {
    const std::string gbk = "/data/\xb2\xe2\xca\xd4.doc"; // "测试.doc" in GBK
    RunStartup(QStringLiteral("/usr/bin/zr"), {zr::platform::TextFromNativeBytes(gbk.c_str())});
    auto& f1 = Windows().Get(QStringLiteral("Form1"));
    const auto bytes = [&](const char* field) {
        return zr::platform::PathFromText(Control<QLineEdit>(f1, field)->text()).native();
    };
    EXPECT_EQ(bytes("T_SourceFile"), gbk);
    EXPECT_EQ(bytes("T_TargetFile"), gbk + ".ZR");
}

TEST_F(Startup, EncryptedFileGetsTheDecryptedName) {
    RunStartup(QStringLiteral("/usr/bin/zr"), {QStringLiteral("/data/plan.zr")});
    EXPECT_EQ(Control<QLineEdit>(Windows().Get(QStringLiteral("Form1")), "T_TargetFile")->text(),
              QStringLiteral("/data/plan"));
}

TEST_F(Startup, SeveralAbsoluteFilesOpenTheMultiFileWindowWithThem) {
    const QStringList files = {QStringLiteral("/data/报告.doc"), QStringLiteral("/data/plan.ZR")};
    RunStartup(QStringLiteral("/usr/bin/zr"), files);
    ASSERT_TRUE(Windows().IsLoaded(QStringLiteral("mfiles")));
    auto& m = static_cast<StandInMfiles&>(Windows().Get(QStringLiteral("mfiles")));
    EXPECT_TRUE(m.isVisible());
    EXPECT_EQ(m.files, files);
    EXPECT_FALSE(Windows().IsLoaded(QStringLiteral("Form1")));
    EXPECT_FALSE(Windows().IsLoaded(QStringLiteral("Form3")));
}

TEST_F(Startup, AnythingElseOpensTheMainMenu) {
    const QList<QStringList> cases = {
        {}, {QStringLiteral("report.doc")}, {QStringLiteral("/a"), QStringLiteral("b")}};
    for (const QStringList& args : cases) {
        RunStartup(QStringLiteral("/usr/bin/zr"), args);
        EXPECT_FALSE(Windows().IsLoaded(QStringLiteral("Form1"))) << args.join(' ').toStdString();
        ASSERT_TRUE(Windows().IsLoaded(QStringLiteral("Form3")));
        EXPECT_TRUE(Windows().Get(QStringLiteral("Form3")).isVisible());
        Windows().UnloadAll();
    }
}

} // namespace
