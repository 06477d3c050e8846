// The Win32 side of the file layer, run under Wine by the Windows check.
#include "file_io.h"
#include "file_io_detail.h"
#include "temp_dir.h"
#include "transform_file.h"

#include <gtest/gtest.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace fs = std::filesystem;
using zr::TransformFile;
using zr::TransformStep;
using zr::test::PatternBytes;
using zr::test::ReadBytes;
using zr::test::TempDir;
using zr::test::WriteBytes;

namespace {

constexpr std::int32_t kSeed = 12345;

TEST(WinFileIo, ChineseAndLongPathsAreUsedWhole) {
    TempDir dir;
    fs::path deep = dir.path() / L"加密 文件夹";
    // Past the 260 characters of the classic limit.
    while (deep.native().size() < 300)
        deep /= L"一个很长的子文件夹名称abcdefghij";
    ASSERT_TRUE(fs::create_directories(L"\\\\?\\" + deep.native()));
    const fs::path source = deep / L"报告 1.doc";
    const fs::path target = deep / L"报告 1.doc.ZR";
    zr::io::IoError e;
    {
        zr::io::TempFile t = zr::io::TempFile::CreateBeside(source, e);
        ASSERT_TRUE(t.Handle().IsOpen()) << e.reason;
        const auto bytes = PatternBytes(70000);
        ASSERT_TRUE(t.Handle().Write(bytes.data(), bytes.size(), e));
        ASSERT_TRUE(t.Commit(e)) << e.reason;
    }
    const auto r = TransformFile(source, target, kSeed);
    ASSERT_TRUE(r.ok()) << zr::FailureText(r);
    EXPECT_EQ(zr::io::Stat(target, e).size, 70000);
    ASSERT_TRUE(TransformFile(target, deep / L"back", kSeed).ok());
    zr::io::File back = zr::io::File::OpenRead(deep / L"back", e);
    std::vector<std::uint8_t> got(70000);
    EXPECT_EQ(back.Read(got.data(), got.size(), e), 70000u);
    EXPECT_EQ(got, PatternBytes(70000));
}

TEST(WinFileIo, SameFileIsRecognisedUnderOtherNames) {
    TempDir dir;
    fs::create_directory(dir / "sub");
    WriteBytes(dir / "f.txt", PatternBytes(5000));
    ASSERT_TRUE(::CreateHardLinkW((dir / "hard.txt").c_str(), (dir / "f.txt").c_str(), nullptr));
    for (const fs::path& other : {dir / "F.TXT", dir / "sub" / ".." / "f.txt", dir / "hard.txt",
                                  dir.path() / "." / "f.txt"}) {
        SCOPED_TRACE(other.string());
        EXPECT_EQ(TransformFile(dir / "f.txt", other, kSeed).step, TransformStep::SameFile);
    }
    EXPECT_EQ(ReadBytes(dir / "f.txt"), PatternBytes(5000));
}

TEST(WinFileIo, FoldersAndDevicesAreNotFiles) {
    TempDir dir;
    fs::create_directory(dir / "folder");
    WriteBytes(dir / "src", PatternBytes(10));
    zr::io::IoError e;
    EXPECT_FALSE(zr::io::File::OpenRead(dir / "folder", e).IsOpen());
    EXPECT_EQ(e.reason, "这是一个文件夹，不是文件");
    EXPECT_EQ(zr::io::Stat(dir / "folder", e).kind, zr::io::EntryKind::Directory);
    e = {};
    EXPECT_FALSE(zr::io::File::OpenRead("NUL", e).IsOpen());
    EXPECT_TRUE(e);
    EXPECT_EQ(TransformFile(dir / "src", dir / "folder", kSeed).step, TransformStep::OpenTarget);
    const auto missing = TransformFile(dir / "none", dir / "out", kSeed);
    EXPECT_EQ(missing.step, TransformStep::OpenSource);
    EXPECT_EQ(missing.reason, "文件或文件夹不存在");
    e = {};
    EXPECT_EQ(zr::io::Stat(dir / "none", e).kind, zr::io::EntryKind::Missing);
    EXPECT_FALSE(e) << "a missing file is not an error";
}

TEST(WinFileIo, ReadOnlyFilesAreMadeWritableAndRemoved) {
    TempDir dir;
    WriteBytes(dir / "ro", PatternBytes(10));
    ASSERT_TRUE(::SetFileAttributesW((dir / "ro").c_str(), FILE_ATTRIBUTE_READONLY));
    zr::io::IoError e;
    EXPECT_FALSE(zr::io::RemoveFile(dir / "ro", e));
    EXPECT_EQ(e.reason, "没有访问权限");
    e = {};
    ASSERT_TRUE(zr::io::MakeWritable(dir / "ro", e)) << e.reason;
    EXPECT_FALSE(::GetFileAttributesW((dir / "ro").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(zr::io::RemoveFile(dir / "ro", e)) << e.reason;
    EXPECT_FALSE(fs::exists(dir / "ro"));
}

TEST(WinFileIo, CommitReplacesAnEarlierTargetAndDiscardLeavesNothing) {
    TempDir dir;
    WriteBytes(dir / "t", PatternBytes(500000, 3));
    zr::io::IoError e;
    {
        zr::io::TempFile t = zr::io::TempFile::CreateBeside(dir / "t", e);
        ASSERT_TRUE(t.Handle().Write("abc", 3, e));
        ASSERT_TRUE(t.Commit(e)) << e.reason;
    }
    EXPECT_EQ(ReadBytes(dir / "t"), (std::vector<std::uint8_t>{'a', 'b', 'c'}));
    {
        zr::io::TempFile t = zr::io::TempFile::CreateBeside(dir / "t", e);
        ASSERT_TRUE(t.Handle().Write("xyz", 3, e));
    }
    EXPECT_EQ(ReadBytes(dir / "t"), (std::vector<std::uint8_t>{'a', 'b', 'c'}));
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"t"});
}

TEST(WinFileIo, ReadOnlyOrHardLinkedTargetsAreRefusedUntouched) {
    TempDir dir;
    WriteBytes(dir / "src", PatternBytes(100));
    WriteBytes(dir / "ro.ZR", PatternBytes(10, 3));
    ASSERT_TRUE(::SetFileAttributesW((dir / "ro.ZR").c_str(), FILE_ATTRIBUTE_READONLY));
    const auto ro = TransformFile(dir / "src", dir / "ro.ZR", kSeed);
    EXPECT_EQ(ro.step, TransformStep::OpenTarget);
    EXPECT_EQ(ro.reason, "没有访问权限");
    ::SetFileAttributesW((dir / "ro.ZR").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadBytes(dir / "ro.ZR"), PatternBytes(10, 3));

    ASSERT_TRUE(::CreateHardLinkW((dir / "copy.ZR").c_str(), (dir / "ro.ZR").c_str(), nullptr));
    EXPECT_EQ(TransformFile(dir / "src", dir / "ro.ZR", kSeed).step, TransformStep::OpenTarget);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"copy.ZR", "ro.ZR", "src"}));
}

TEST(WinFileIo, LeftoversOfEndedProcessesGoAndThoseOfRunningOnesStay) {
    namespace d = zr::io::detail;
    TempDir dir;
    d::Writer ended = d::OwnWriter();
    ended.start = "1"; // this process's id, another process's start
    const std::string live = ".a.zr-" + d::WriterPart(d::OwnWriter()) + "x1";
    WriteBytes(dir / live, PatternBytes(10));
    WriteBytes(dir / (".b.zr-" + d::WriterPart(ended) + "x2"), PatternBytes(10));
    zr::io::RemoveLeftoverTempFiles(dir.path());
    EXPECT_EQ(dir.Names(), std::vector<std::string>{live});
}

TEST(WinFileIo, PositionedCallsAndTruncateWorkAsOnPosix) {
    TempDir dir;
    WriteBytes(dir / "f", PatternBytes(100));
    zr::io::IoError e;
    zr::io::File f = zr::io::File::OpenWriteExisting(dir / "f", e);
    ASSERT_TRUE(f.IsOpen()) << e.reason;
    const std::uint8_t zeros[10] = {};
    ASSERT_TRUE(f.WriteAt(90, zeros, 10, e));
    std::uint8_t buf[20];
    std::size_t got = 0;
    ASSERT_TRUE(f.ReadAt(95, buf, 20, got, e));
    EXPECT_EQ(got, 5u) << "a read past the end stops there";
    ASSERT_TRUE(f.Truncate(0, e));
    EXPECT_EQ(f.Size(e), 0);
    ASSERT_TRUE(f.Sync(e));
}

TEST(WinFileIo, ReasonsAreInChinese) {
    EXPECT_EQ(zr::io::ReasonText(ERROR_ACCESS_DENIED), "没有访问权限");
    EXPECT_EQ(zr::io::ReasonText(ERROR_DISK_FULL), "磁盘空间不足");
    EXPECT_EQ(zr::io::ReasonText(ERROR_SHARING_VIOLATION), "文件正在被另一个程序使用");
    EXPECT_FALSE(zr::io::ReasonText(ERROR_INVALID_HANDLE).empty());
}

} // namespace
