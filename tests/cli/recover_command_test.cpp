#include "run_process.h"
#include "temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using zr::test::PatternBytes;
using zr::test::ReadBytes;
using zr::test::RunCli;
using zr::test::TempDir;
using zr::test::WriteBytes;

namespace {

std::vector<std::uint8_t> minutes() {
    std::string text;
    for (int i = 1; i <= 20; ++i)
        text += "Item " + std::to_string(i) + ": the budget for next year was discussed again.\n";
    return {text.begin(), text.end()};
}

} // namespace

TEST(CliRecoverKey, PrintsAKeyThatOpensTheFileByteForByte) {
    TempDir dir;
    WriteBytes(dir / "minutes.txt", minutes());
    ASSERT_EQ(RunCli({"transform", (dir / "minutes.txt").string(), "--key-stdin"},
                     "my long forgotten key\n")
                  .exitCode,
              0);
    fs::remove(dir / "minutes.txt");

    const auto r = RunCli({"recover-key", (dir / "minutes.txt.ZR").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(zr::test::LineCount(r.out), 1) << r.out;
    EXPECT_NE(r.err.find("种子 -"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("纯文本"), std::string::npos) << r.err;
    ASSERT_EQ(
        RunCli({"transform", (dir / "minutes.txt.ZR").string(), "--key-stdin"}, r.out).exitCode, 0);
    EXPECT_EQ(ReadBytes(dir / "minutes.txt"), minutes());
}

TEST(CliRecoverKey, NoKeyFoundExitsOneWithTheReason) {
    TempDir dir;
    WriteBytes(dir / "photo.png.ZR", PatternBytes(5000));
    auto r = RunCli({"recover-key", (dir / "photo.png.ZR").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("没有找到能把它解密成 .png 文件的密钥"), std::string::npos) << r.err;

    // A type we do not know, unless one is named.
    fs::rename(dir / "photo.png.ZR", dir / "photo.xyz.ZR");
    r = RunCli({"recover-key", (dir / "photo.xyz.ZR").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("不认识的文件类型 .xyz"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("pdf"), std::string::npos) << "lists the known types";
    r = RunCli({"recover-key", (dir / "photo.xyz.ZR").string(), "--type", "png"});
    EXPECT_NE(r.err.find("没有找到能把它解密成 .png 文件的密钥"), std::string::npos) << r.err;

    r = RunCli({"recover-key", (dir / "missing.png.ZR").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("无法读取文件"), std::string::npos) << r.err;
    EXPECT_EQ(RunCli({"recover-key"}).exitCode, 2);
}
