#include "run_process.h"
#include "temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using zr::test::LineCount;
using zr::test::PatternBytes;
using zr::test::ReadBytes;
using zr::test::RunCli;
using zr::test::TempDir;
using zr::test::WriteBytes;

TEST(CliShred, EveryModeShredsAllNamedFilesSilently) {
    for (const std::string mode : {"normal", "quick", "thorough"}) {
        TempDir dir;
        WriteBytes(dir / "a", PatternBytes(70000));
        WriteBytes(dir / "-b", PatternBytes(10));
        fs::create_hard_link(dir / "a", dir / "copy");
        const auto r =
            RunCli({"shred", "--mode", mode, (dir / "a").string(), "--", (dir / "-b").string()});
        ASSERT_EQ(r.exitCode, 0) << mode << ": " << r.err;
        EXPECT_TRUE(r.out.empty() && r.err.empty());
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"copy"});
        const auto left = ReadBytes(dir / "copy");
        if (mode == "normal")
            EXPECT_EQ(left, PatternBytes(70000));
        else if (mode == "quick")
            EXPECT_TRUE(left.empty());
        else
            EXPECT_EQ(left, std::vector<std::uint8_t>(70000, 0));
    }
}

TEST(CliShred, OneLinePerFailureAndTheOthersAreStillShredded) {
    TempDir dir;
    WriteBytes(dir / "a", PatternBytes(100));
    WriteBytes(dir / "b", PatternBytes(100));
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const auto r = RunCli({"shred", "--mode=thorough", (dir / "missing").string(),
                           (dir / "a").string(), (dir / "fifo").string(), (dir / "b").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(LineCount(r.err), 2) << r.err;
    // The form of every other command's failures: what failed, the file, why.
    EXPECT_NE(r.err.find("无法访问：" + (dir / "missing").string() + "（文件不存在）"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("不能粉碎：" + (dir / "fifo").string() + "（"), std::string::npos)
        << r.err;
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"fifo"});
}

TEST(CliShred, WrongUsageExitsWithTwoAndTouchesNothing) {
    TempDir dir;
    WriteBytes(dir / "a", PatternBytes(100));
    const std::string a = (dir / "a").string();
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"shred", a},
                                               {"shred", "--mode", "wipe", a},
                                               {"shred", "--mode", "quick"},
                                               {"shred", "--mode"},
                                               {"shred", "--force", "--mode", "quick", a},
                                               {"shred", "--mode", "normal", "--mode=quick", a}}) {
        const auto r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2) << args.size();
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_EQ(ReadBytes(dir / "a"), PatternBytes(100));
    EXPECT_NE(RunCli({"--help"}).out.find("zr-cli shred --mode normal|quick|thorough"),
              std::string::npos);
}

TEST(CliShred, NameReplacedDuringTheOverwriteIsNotDeleted) {
    // The preloaded hook renames "saved" over the name when zr-cli flushes its overwrite.
    TempDir dir;
    WriteBytes(dir / "doc", PatternBytes(70000));
    WriteBytes(dir / "saved", PatternBytes(500, 7));
    const auto r = zr::test::RunProcess(
        {ZR_CLI_PATH, "shred", "--mode", "thorough", (dir / "doc").string()}, {},
        {std::string("LD_PRELOAD=") + ZR_FSYNC_HOOK,
         "ZR_TEST_RENAME_ON_FSYNC=" + (dir / "saved").string() + "|" + (dir / "doc").string(),
         "ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "zr-cli: 未删除：" + (dir / "doc").string() + "（文件在粉碎过程中被替换了）\n");
    EXPECT_EQ(ReadBytes(dir / "doc"), PatternBytes(500, 7));
}
