#include "keystream_expect.h"
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
using zr::test::Transformed;
using zr::test::WriteBytes;

TEST(CliBatch, ConflictingListsAreRefusedWithNothingTouched) {
    TempDir dir;
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    fs::create_directories(dir / "out");
    WriteBytes(dir / "a" / "report.txt", PatternBytes(100, 1));
    WriteBytes(dir / "b" / "report.txt", PatternBytes(100, 2));
    WriteBytes(dir / "doc.txt", PatternBytes(100, 3));
    WriteBytes(dir / "doc.txt.ZR", PatternBytes(100, 4));

    // Two entries with one target; an older result listed beside its source.
    auto r = RunCli({"batch", "--to", (dir / "out").string(), "--key-stdin", "--delete-source",
                     (dir / "a" / "report.txt").string(), (dir / "b" / "report.txt").string()},
                    "k\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(LineCount(r.err), 3) << r.err;
    EXPECT_NE(r.err.find("下列文件的目标有冲突，未做任何处理："), std::string::npos);
    EXPECT_NE(r.err.find((dir / "b" / "report.txt").string()), std::string::npos) << r.err;
    r = RunCli({"batch", "--key-stdin", "--delete-source", (dir / "doc.txt").string(),
                (dir / "doc.txt.ZR").string()},
               "k\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(LineCount(r.err), 3) << r.err;

    EXPECT_TRUE(fs::is_empty(dir / "out"));
    EXPECT_EQ(ReadBytes(dir / "a" / "report.txt"), PatternBytes(100, 1));
    EXPECT_EQ(ReadBytes(dir / "b" / "report.txt"), PatternBytes(100, 2));
    EXPECT_EQ(ReadBytes(dir / "doc.txt"), PatternBytes(100, 3));
    EXPECT_EQ(ReadBytes(dir / "doc.txt.ZR"), PatternBytes(100, 4));
}

TEST(CliBatch, ASourceThatGivesNoTargetNameIsRefused) {
    TempDir dir;
    WriteBytes(dir / ".zr", PatternBytes(10));
    const auto r = RunCli({"batch", "--key-stdin", (dir / ".zr").string()}, "k\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(
        r.err.find((dir / ".zr").string() + " → " + dir.path().string() + "/（得不出目标文件名）"),
        std::string::npos)
        << r.err;
    EXPECT_EQ(dir.Names(), std::vector<std::string>{".zr"});
}

TEST(CliBatch, RunsEveryFileByteExactAndReportsEachFailure) {
    TempDir dir;
    fs::create_directories(dir / "out");
    WriteBytes(dir / "x.bin", PatternBytes(70000, 1));
    WriteBytes(dir / "y.ZR", PatternBytes(5, 2));
    auto r = RunCli({"batch", "--key-stdin", "--delete-source", (dir / "x.bin").string(),
                     (dir / "y.ZR").string()},
                    "key\n");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"out", "x.bin.ZR", "y"}));
    EXPECT_EQ(ReadBytes(dir / "x.bin.ZR"), Transformed(PatternBytes(70000, 1), "key"));
    EXPECT_EQ(ReadBytes(dir / "y"), Transformed(PatternBytes(5, 2), "key"));

    // Into a folder, by the bare name; a missing source fails alone.
    r = RunCli({"batch", "--to=" + (dir / "out").string(), "--key-stdin", (dir / "gone").string(),
                (dir / "x.bin.ZR").string()},
               "key\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(LineCount(r.err), 1) << r.err;
    EXPECT_NE(r.err.find("无法读取源文件"), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(dir / "out" / "x.bin"), PatternBytes(70000, 1));
    EXPECT_NE(RunCli({"--help"}).out.find("zr-cli batch"), std::string::npos);
}
