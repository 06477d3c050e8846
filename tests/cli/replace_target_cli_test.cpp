// zr-cli replacing a target as its owner expects: rights of an ordinary user, links, a
// case-insensitive FAT folder and the leftovers of killed jobs there.

#include "fat_image.h"
#include "file_io.h"
#include "file_io_detail.h"
#include "keystream_expect.h"
#include "run_process.h"
#include "temp_dir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using zr::test::PatternBytes;
using zr::test::ReadBytes;
using zr::test::RunCli;
using zr::test::RunProcess;
using zr::test::TempDir;
using zr::test::Transformed;
using zr::test::WriteBytes;

namespace {

constexpr std::int32_t kSeedOfK = -256 * 107; // DeriveKeySeed("k")

} // namespace

TEST(CliReplace, ReadOnlyTargetOfAnOrdinaryUserIsRefused) {
    if (::geteuid() != 0 || ::access("/usr/bin/setpriv", X_OK) != 0)
        GTEST_SKIP() << "needs root and setpriv to run zr-cli as the user nobody";
    TempDir dir;
    ::chmod(dir.path().c_str(), 0755);
    fs::create_directory(dir / "w");
    WriteBytes(dir / "src", PatternBytes(1000));
    WriteBytes(dir / "w" / "old.ZR", PatternBytes(10, 3));
    ::chmod((dir / "src").c_str(), 0644);
    ::chmod((dir / "w" / "old.ZR").c_str(), 0444);
    for (const fs::path& p : {dir / "w", dir / "w" / "old.ZR"})
        ASSERT_EQ(::chown(p.c_str(), 65534, 65534), 0);
    const auto r = RunProcess({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                               "--clear-groups", ZR_CLI_PATH, "transform", (dir / "src").string(),
                               (dir / "w" / "old.ZR").string(), "--key-stdin"},
                              "k\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "zr-cli: 无法写入目标文件：" + (dir / "w" / "old.ZR").string() +
                         "（没有访问权限）\n");
    EXPECT_EQ(ReadBytes(dir / "w" / "old.ZR"), PatternBytes(10, 3));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "w"), fs::directory_iterator()), 1);
}

TEST(CliReplace, LinkTargetStaysALinkToTheNewContent) {
    TempDir dir;
    WriteBytes(dir / "src", PatternBytes(1000));
    WriteBytes(dir / "kept.ZR", PatternBytes(10, 3));
    ::chmod((dir / "kept.ZR").c_str(), 0604);
    fs::create_symlink("kept.ZR", dir / "link.ZR");
    const auto r = RunCli(
        {"transform", (dir / "src").string(), (dir / "link.ZR").string(), "--key-stdin"}, "k\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(dir / "link.ZR"));
    EXPECT_EQ(ReadBytes(dir / "kept.ZR"), Transformed(PatternBytes(1000), kSeedOfK));
    struct stat st {};
    ::stat((dir / "kept.ZR").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
}

TEST(CliReplace, FatFolderSameFileIsRefusedAndLeftoversOfEndedJobsGo) {
    zr::test::FatImage fat;
    if (!fat.ok())
        GTEST_SKIP() << fat.why();
    WriteBytes(fat / "abc.txt", PatternBytes(70000));
    auto r = RunCli({"transform", (fat / "abc.txt").string(), (fat / "ABC.TXT").string(),
                     "--key-stdin", "--delete-source"},
                    "k\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find((fat / "ABC.TXT").string()), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(fat / "abc.txt"), PatternBytes(70000));

    // A leftover of a job from before the system's last start goes with the next job into the
    // folder; one of this (running) test process stays.
    namespace d = zr::io::detail;
    if (d::OwnWriter().boot.empty())
        GTEST_SKIP() << "the system tells neither its start nor the processes' start times";
    d::Writer before = d::OwnWriter();
    before.boot = "00000000";
    const std::string stale =
        ".old.ZR" + std::string(zr::io::kTempMarker) + d::WriterPart(before) + "q1";
    const std::string live =
        ".new.ZR" + std::string(zr::io::kTempMarker) + d::WriterPart(d::OwnWriter()) + "q2";
    WriteBytes(fat / stale, PatternBytes(100));
    WriteBytes(fat / live, PatternBytes(100));
    r = RunCli({"transform", (fat / "abc.txt").string(), "--key-stdin"}, "k\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(fs::exists(fat / stale));
    EXPECT_TRUE(fs::exists(fat / live));
    EXPECT_EQ(ReadBytes(fat / "abc.txt.ZR"), Transformed(PatternBytes(70000), kSeedOfK));
}
