#include "keystream_cipher.h"
#include "run_process.h"
#include "temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using zr::test::LineCount;
using zr::test::PatternBytes;
using zr::test::ReadBytes;
using zr::test::RunCli;
using zr::test::TempDir;
using zr::test::WriteBytes;

TEST(CliTransform, DefaultTargetFollowsTheNameRuleAndRoundTrips) {
    TempDir dir;
    const auto plain = PatternBytes(70000);
    WriteBytes(dir / "report.doc", plain);
    auto r = RunCli({"transform", (dir / "report.doc").string(), "--key-stdin"}, "secret\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << "no progress bar when standard error is not a terminal";
    ASSERT_TRUE(fs::exists(dir / "report.doc.ZR"));

    auto expected = plain;
    zr::KeystreamCipher c;
    c.Reseed(-256 * (115 * 1 + 101 * 2 + 99 * 3 + 114 * 4 + 101 * 5 + 116 * 6));
    c.Apply(expected);
    EXPECT_EQ(ReadBytes(dir / "report.doc.ZR"), expected);

    fs::remove(dir / "report.doc");
    // A key file from a Windows editor: its byte-order mark and line ending are not the key.
    r = RunCli({"transform", "--key-stdin", (dir / "report.doc.ZR").string()},
               "\xEF\xBB\xBFsecret\r\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadBytes(dir / "report.doc"), plain);
}

TEST(CliTransform, EmptyLineIsTheEmptyKey) {
    TempDir dir;
    WriteBytes(dir / "a", PatternBytes(100));
    ASSERT_EQ(RunCli({"transform", (dir / "a").string(), (dir / "b").string(), "--key-stdin"}, "\n")
                  .exitCode,
              0);
    auto expected = PatternBytes(100);
    zr::KeystreamCipher c;
    c.Reseed(-50);
    c.Apply(expected);
    EXPECT_EQ(ReadBytes(dir / "b"), expected);
}

TEST(CliTransform, DeleteSourceOnlyAfterASuccessfulJob) {
    TempDir dir;
    WriteBytes(dir / "a", PatternBytes(1000));
    auto r = RunCli({"transform", (dir / "a").string(), (dir / "no" / "b").string(), "--key-stdin",
                     "--delete-source"},
                    "k\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("无法写入目标文件"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(dir / "a"));

    r = RunCli({"transform", (dir / "a").string(), "--key-stdin", "--delete-source"}, "k\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(fs::exists(dir / "a"));
    EXPECT_TRUE(fs::exists(dir / "a.ZR"));
}

TEST(CliTransform, AWrongKeyIsNoticedAndKeepsTheSourceARightOneSaysNothing) {
    TempDir dir;
    std::string text;
    for (int i = 1; i <= 20; ++i)
        text += "Item " + std::to_string(i) + ": the budget for next year was discussed again.\n";
    WriteBytes(dir / "minutes.txt", {text.begin(), text.end()});
    ASSERT_EQ(
        RunCli({"transform", (dir / "minutes.txt").string(), "--key-stdin", "--delete-source"},
               "right\n")
            .exitCode,
        0);
    const std::string encrypted = (dir / "minutes.txt.ZR").string();
    const std::string warning = "解密结果看起来不像 .txt 文件，密钥可能不对";

    auto r = RunCli({"transform", encrypted, "--key-stdin"}, "wrong\n");
    EXPECT_EQ(r.exitCode, 0) << "done, only with a warning";
    EXPECT_NE(r.err.find(warning), std::string::npos) << r.err;
    r = RunCli({"transform", encrypted, "--key-stdin", "--delete-source"}, "wrong\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(warning), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("未删除源文件"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(encrypted));

    r = RunCli({"transform", encrypted, "--key-stdin", "--delete-source"}, "right\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    EXPECT_FALSE(fs::exists(encrypted));
    EXPECT_EQ(ReadBytes(dir / "minutes.txt"), std::vector<std::uint8_t>(text.begin(), text.end()));
}

TEST(CliTransform, RefusedKeysTouchNothing) {
    TempDir dir;
    WriteBytes(dir / "a", PatternBytes(10));
    for (const std::string& key : {std::string("密钥\n"), std::string(371, 'z') + "\n"}) {
        const auto r = RunCli({"transform", (dir / "a").string(), "--key-stdin"}, key);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find("密钥"), std::string::npos);
    }
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"a"});
}

TEST(CliTransform, MissingKeyAndWrongUsage) {
    TempDir dir;
    WriteBytes(dir / "a", PatternBytes(10));
    // No terminal and no --key-stdin: the key is never guessed or taken from elsewhere.
    EXPECT_EQ(RunCli({"transform", (dir / "a").string()}).exitCode, 2);
    EXPECT_EQ(RunCli({"transform", (dir / "a").string(), "--key-stdin"}).exitCode,
              1); // empty stdin
    EXPECT_EQ(RunCli({"transform"}).exitCode, 2);
    EXPECT_EQ(RunCli({"transform", "a", "b", "c", "--key-stdin"}).exitCode, 2);
    EXPECT_EQ(RunCli({"transform", "a", "--key=abc"}).exitCode, 2);
    const auto twice = RunCli({"transform", "a", "--key-stdin", "--key-stdin"}, "k\n");
    EXPECT_EQ(twice.exitCode, 2);
    EXPECT_NE(twice.err.find("--key-stdin 重复了"), std::string::npos) << twice.err;
    EXPECT_EQ(RunCli({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"a"});
    // A name that the ".ZR" rule empties is not an empty name.
    WriteBytes(dir / ".zr", PatternBytes(10));
    const auto bare = RunCli({"transform", (dir / ".zr").string(), "--key-stdin"}, "k\n");
    EXPECT_EQ(bare.exitCode, 2);
    EXPECT_NE(bare.err.find("得出的目标文件名为空"), std::string::npos) << bare.err;
    WriteBytes(dir / "..zr", PatternBytes(10)); // would leave ".", the folder itself
    EXPECT_EQ(RunCli({"transform", (dir / "..zr").string(), "--key-stdin"}, "k\n").exitCode, 2);
    const auto folder = RunCli(
        {"transform", (dir / "a").string(), dir.path().string() + "/", "--key-stdin"}, "k\n");
    EXPECT_EQ(folder.exitCode, 2);
    EXPECT_NE(folder.err.find("不是文件名"), std::string::npos) << folder.err;
}

TEST(CliTransform, MissingSourceFailsWithTheReason) {
    TempDir dir;
    const auto r = RunCli({"transform", (dir / "none").string(), "--key-stdin"}, "k\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("无法读取源文件"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("不存在"), std::string::npos) << r.err;
}

TEST(Cli, HelpAndVersion) {
    auto r = RunCli({"--version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("1.00"), std::string::npos);
    r = RunCli({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("transform"), std::string::npos);
}
