#include "key_seed.h"
#include "keystream_cipher.h"
#include "run_process.h"
#include "temp_dir.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using zr::test::LineCount;
using zr::test::PatternBytes;
using zr::test::ReadBytes;
using zr::test::RunCli;
using zr::test::TempDir;
using zr::test::WriteBytes;

TEST(CliFolder, CreatesTheZrFolderAndLeadsBack) {
    TempDir dir;
    fs::create_directory(dir / "data");
    WriteBytes(dir / "data" / "a.txt", PatternBytes(70000));
    WriteBytes(dir / "data" / "b.doc.zr", PatternBytes(10, 2));

    // A trailing separator does not change the target folder's name.
    auto r =
        RunCli({"folder", (dir / "data").string() + "/", "--key-stdin", "--delete-source"}, "k\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.err.empty());
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"dataZR"})) << "the emptied source is gone";
    auto expected = PatternBytes(70000);
    zr::KeystreamCipher c;
    c.Reseed(zr::DeriveKeySeed(std::string_view("k")).seed);
    c.Apply(expected);
    EXPECT_EQ(ReadBytes(dir / "dataZR" / "A.TXT.ZR"), expected);
    ASSERT_TRUE(fs::exists(dir / "dataZR" / "B.DOC"));

    r = RunCli({"folder", (dir / "dataZR").string(), "--key-stdin"}, "k\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadBytes(dir / "data" / "A.TXT"), PatternBytes(70000));
    EXPECT_EQ(ReadBytes(dir / "data" / "B.DOC.ZR"), PatternBytes(10, 2));
    EXPECT_TRUE(fs::exists(dir / "dataZR" / "B.DOC")) << "no deletion unless asked";
}

TEST(CliFolder, APrivateFolderGivesAPrivateFolderOfPrivateFiles) {
    TempDir dir;
    fs::create_directory(dir / "data");
    WriteBytes(dir / "data" / "a.txt", PatternBytes(10));
    fs::permissions(dir / "data", fs::perms::owner_all);
    fs::permissions(dir / "data" / "a.txt", fs::perms::owner_read | fs::perms::owner_write);
    const auto r = RunCli({"folder", (dir / "data").string(), "--key-stdin"}, "k\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(fs::status(dir / "dataZR").permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::status(dir / "dataZR" / "A.TXT.ZR").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST(CliFolder, OneLinePerFailedFileAndExitOne) {
    TempDir dir;
    fs::create_directory(dir / "src");
    WriteBytes(dir / "src" / "a.txt", PatternBytes(10));
    WriteBytes(dir / "src" / "A.TXT", PatternBytes(10, 2));
    WriteBytes(dir / "src" / "x", PatternBytes(10));
    WriteBytes(dir / "src" / "ok", PatternBytes(10));
    fs::create_directories(dir / "srcZR" / "X.ZR"); // a folder stands where a target goes
    const auto r =
        RunCli({"folder", (dir / "src").string(), "--key-stdin", "--delete-source"}, "k\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(LineCount(r.err), 2) << r.err;
    EXPECT_NE(r.err.find("A.TXT.ZR"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("X.ZR"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(dir / "src" / "x"));
    EXPECT_FALSE(fs::exists(dir / "src" / "ok"));
    EXPECT_TRUE(fs::exists(dir / "srcZR" / "OK.ZR"));
}

TEST(CliFolder, NamesThatGiveNoTargetNameAreFailuresNotFolders) {
    TempDir dir;
    fs::create_directory(dir / "src");
    WriteBytes(dir / "src" / ".zr", PatternBytes(10));
    WriteBytes(dir / "src" / " ", PatternBytes(10));
    const auto r = RunCli({"folder", (dir / "src").string(), "--key-stdin"}, "k\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(LineCount(r.err), 2) << r.err;
    EXPECT_NE(r.err.find("未处理 " + (dir / "src" / ".zr").string() + "：得不出目标文件名"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(fs::is_empty(dir / "srcZR"));
}

TEST(CliFolder, RefusedKeyCreatesNoFolder) {
    TempDir dir;
    fs::create_directory(dir / "src");
    WriteBytes(dir / "src" / "a", PatternBytes(10));
    const auto r = RunCli({"folder", (dir / "src").string(), "--key-stdin"}, "密钥\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("密钥"), std::string::npos);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"src"}));
}

TEST(CliFolder, UsageErrors) {
    TempDir dir;
    fs::create_directory(dir / "a");
    EXPECT_EQ(RunCli({"folder", "--key-stdin"}, "k\n").exitCode, 2);
    EXPECT_EQ(RunCli({"folder", (dir / "a").string(), (dir / "a").string(), "--key-stdin"}, "k\n")
                  .exitCode,
              2);
    EXPECT_EQ(RunCli({"folder", (dir / "a").string(), "--force"}, "k\n").exitCode, 2);
    const auto r = RunCli({"folder", (dir / "missing").string(), "--key-stdin"}, "k\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(fs::exists(dir / "missingZR"));
    EXPECT_NE(RunCli({"--help"}).out.find("zr-cli folder"), std::string::npos);
}

TEST(CliFolder, AWrongLookingDecryptionIsNamed) {
    TempDir dir;
    fs::create_directory(dir / "src");
    std::string text;
    for (int i = 1; i <= 20; ++i)
        text += "Item " + std::to_string(i) + ": the budget for next year was discussed again.\n";
    WriteBytes(dir / "src" / "minutes.txt.zr", {text.begin(), text.end()});
    const auto r = RunCli({"folder", (dir / "src").string(), "--key-stdin"}, "k\n");
    EXPECT_EQ(r.exitCode, 0) << "done, only named";
    EXPECT_NE(r.err.find("MINUTES.TXT：解密结果看起来不像 .TXT 文件，密钥可能不对"),
              std::string::npos)
        << r.err;
}
