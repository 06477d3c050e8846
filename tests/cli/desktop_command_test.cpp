// zr-cli desktop: the user's way to install, inspect and remove zr's desktop integration.
#include "run_process.h"
#include "temp_dir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using zr::test::RunProcess;

TEST(DesktopCommand, InstallsReportsAndRemovesForTheZrInPath) {
    zr::test::TempDir tmp;
    fs::create_directories(tmp / "bin");
    std::ofstream(tmp / "bin/zr") << "#!/bin/sh\n";
    fs::permissions(tmp / "bin/zr", fs::perms::owner_all);
    const std::vector<std::string> env = {"HOME=" + (tmp / "home").string(),
                                          "XDG_DATA_HOME=",
                                          "XDG_CONFIG_HOME=",
                                          "XDG_DATA_DIRS=" + (tmp / "none").string(),
                                          "XDG_CONFIG_DIRS=" + (tmp / "none").string(),
                                          "XDG_CURRENT_DESKTOP=",
                                          "PATH=" + (tmp / "bin").string() + ":/usr/bin:/bin"};
    const auto cli = [&](const std::string& action) {
        return RunProcess({ZR_CLI_PATH, "desktop", action}, {}, env);
    };
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

} // namespace
