// zr-cli desktop: the user's way to install, inspect and remove zr's desktop integration.
#include "run_process.h"
#include "temp_dir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using zr::test::RunProcess;

// A home of its own and a zr in PATH, for zr-cli desktop.
struct Desktop {
    Desktop() {
        fs::create_directories(tmp / "bin");
        fs::create_directories(tmp / "home");
        std::ofstream(tmp / "bin/zr") << "#!/bin/sh\n";
        fs::permissions(tmp / "bin/zr", fs::perms::owner_all);
    }
    zr::test::ProcessResult operator()(const std::string& action) const {
        const std::vector<std::string> env = {"HOME=" + (tmp / "home").string(),
                                              "XDG_DATA_HOME=",
                                              "XDG_CONFIG_HOME=",
                                              "XDG_DATA_DIRS=" + (tmp / "none").string(),
                                              "XDG_CONFIG_DIRS=" + (tmp / "none").string(),
                                              "XDG_CURRENT_DESKTOP=",
                                              "PATH=" + (tmp / "bin").string() + ":/usr/bin:/bin"};
        return RunProcess({ZR_CLI_PATH, "desktop", action}, {}, env);
    }
    zr::test::TempDir tmp;
};

TEST(DesktopCommand, InstallsReportsAndRemovesForTheZrInPath) {
    const Desktop cli;
    const zr::test::TempDir& tmp = cli.tmp;
    const auto installed = cli("install");
    EXPECT_EQ(installed.exitCode, 0) << installed.err;
    EXPECT_NE(installed.out.find((tmp / "bin/zr").string()), std::string::npos);
    const fs::path entry = tmp / "home/.local/share/applications/org.zrproject.zr.desktop";
    EXPECT_TRUE(fs::exists(entry));
    const auto status = cli("status");
    EXPECT_NE(status.out.find("开启"), std::string::npos);
    EXPECT_NE(status.out.find("已就位      " + entry.string() + "\n"), std::string::npos)
        << status.out;

    const auto removed = cli("remove");
    EXPECT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_NE(cli("status").out.find("关闭"), std::string::npos);
    EXPECT_EQ(cli("uninstall").exitCode, 2);
}

TEST(DesktopCommand, FailuresAreGivenInChineseAndNeverReportedAsSuccess) {
    if (!zr::test::CanMount())
        GTEST_SKIP() << "needs root to mount";
    const Desktop cli;
    const fs::path home = cli.tmp / "home";
    fs::create_directories(cli.tmp / "empty");
    {
        zr::test::ReadOnlyBind ro(cli.tmp / "empty", home);
        ASSERT_TRUE(ro.ok());
        const auto installed = cli("install");
        EXPECT_EQ(installed.exitCode, 1);
        EXPECT_EQ(installed.out.find("已开启"), std::string::npos) << installed.out;
        EXPECT_NE(installed.err.find("无法写入：" + home.string()), std::string::npos);
        EXPECT_NE(installed.err.find("（只读文件系统）"), std::string::npos) << installed.err;
        EXPECT_NE(installed.err.find("桌面集成未能完全开启"), std::string::npos);
    }

    // The record, which holds the switch, cannot be written: the integration stays on.
    ASSERT_EQ(cli("install").exitCode, 0);
    const fs::path records = home / ".config/zr";
    zr::test::ReadOnlyBind ro(records, records);
    ASSERT_TRUE(ro.ok());
    const auto removed = cli("remove");
    EXPECT_EQ(removed.exitCode, 1);
    EXPECT_EQ(removed.out.find("不再写入"), std::string::npos) << removed.out;
    EXPECT_NE(removed.err.find("未能关闭桌面集成"), std::string::npos) << removed.err;
    EXPECT_NE(cli("status").out.find("桌面集成：开启"), std::string::npos);
}

} // namespace
