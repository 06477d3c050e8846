// The three modes on real files. A hard link made beforehand keeps the content reachable, so
// it shows what the shredder did to the data while the shredded name itself is gone.

#include "shred_file.h"
#include "temp_dir.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using zr::ShredFile;
using zr::ShredMode;
using zr::ShredStep;
using zr::test::PatternBytes;
using zr::test::ReadBytes;
using zr::test::TempDir;
using zr::test::WriteBytes;

namespace {

const ShredMode kAllModes[] = {ShredMode::Normal, ShredMode::Quick, ShredMode::Thorough};

bool allZero(const std::vector<std::uint8_t>& bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

// Changes the working folder for one test.
class InFolder {
public:
    explicit InFolder(const fs::path& dir) : old_(fs::current_path()) { fs::current_path(dir); }
    ~InFolder() { fs::current_path(old_); }

private:
    fs::path old_;
};

} // namespace

TEST(ShredFile, ThoroughZeroesTheWholeLengthBeforeDeleting) {
    // Empty, exactly one block, one block and one byte, several blocks and a short one.
    for (std::size_t size : {0u, 32768u, 32769u, 100000u}) {
        TempDir dir;
        WriteBytes(dir / "a", PatternBytes(size, 7));
        fs::create_hard_link(dir / "a", dir / "copy");
        const auto r = ShredFile(dir / "a", ShredMode::Thorough);
        ASSERT_TRUE(r.ok()) << size << ": " << zr::ShredFailureText(r);
        EXPECT_FALSE(fs::exists(dir / "a"));
        const auto left = ReadBytes(dir / "copy");
        EXPECT_EQ(left.size(), size);
        EXPECT_TRUE(allZero(left)) << size;
    }
}

TEST(ShredFile, QuickCutsTheFileItselfToZero) {
    for (std::size_t size : {0u, 32769u}) {
        TempDir dir;
        WriteBytes(dir / "a", PatternBytes(size));
        fs::create_hard_link(dir / "a", dir / "copy");
        InFolder here(dir.path());
        const auto r = ShredFile(dir / "a", ShredMode::Quick);
        ASSERT_TRUE(r.ok()) << zr::ShredFailureText(r);
        EXPECT_EQ(fs::file_size(dir / "copy"), 0u);
        // No helper file is made or left in the working folder.
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"copy"});
    }
}

TEST(ShredFile, QuickLeavesTheUsersQvwAlone) {
    TempDir dir;
    WriteBytes(dir / "qvw", PatternBytes(500, 3));
    WriteBytes(dir / "a", PatternBytes(2000));
    fs::create_hard_link(dir / "a", dir / "copy");
    InFolder here(dir.path());
    ASSERT_TRUE(ShredFile("a", ShredMode::Quick).ok());
    EXPECT_EQ(ReadBytes(dir / "qvw"), PatternBytes(500, 3));
    EXPECT_EQ(fs::file_size(dir / "copy"), 0u);
    EXPECT_FALSE(fs::exists(dir / "a"));
    // Shredding the user's qvw itself works like any other file.
    ASSERT_TRUE(ShredFile("qvw", ShredMode::Quick).ok());
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"copy"});
}

TEST(ShredFile, NormalDeletesWithoutTouchingTheContent) {
    TempDir dir;
    WriteBytes(dir / "a", PatternBytes(40000));
    fs::create_hard_link(dir / "a", dir / "copy");
    ASSERT_TRUE(ShredFile(dir / "a", ShredMode::Normal).ok());
    EXPECT_FALSE(fs::exists(dir / "a"));
    EXPECT_EQ(ReadBytes(dir / "copy"), PatternBytes(40000));
}

TEST(ShredFile, ReadOnlyFileIsShreddedInEveryMode) {
    for (ShredMode mode : kAllModes) {
        TempDir dir;
        WriteBytes(dir / "a", PatternBytes(33000));
        fs::create_hard_link(dir / "a", dir / "copy");
        fs::permissions(dir / "a", fs::perms::owner_read | fs::perms::group_read);
        const auto r = ShredFile(dir / "a", mode);
        ASSERT_TRUE(r.ok()) << static_cast<int>(mode) << ": " << zr::ShredFailureText(r);
        EXPECT_FALSE(fs::exists(dir / "a"));
        const auto left = ReadBytes(dir / "copy");
        if (mode == ShredMode::Quick) {
            EXPECT_TRUE(left.empty());
        } else if (mode == ShredMode::Thorough) {
            EXPECT_TRUE(left.size() == 33000 && allZero(left));
        }
    }
}

TEST(ShredFile, RefusesFoldersMissingFilesAndNoName) {
    TempDir dir;
    fs::create_directory(dir / "sub");
    for (ShredMode mode : kAllModes) {
        auto r = ShredFile(dir / "sub", mode);
        EXPECT_EQ(r.step, ShredStep::NotRegular);
        EXPECT_TRUE(fs::is_directory(dir / "sub"));
        r = ShredFile(dir / "missing", mode);
        EXPECT_EQ(r.step, ShredStep::Inspect);
        EXPECT_EQ(zr::ShredFailureText(r), "无法访问：文件不存在");
        EXPECT_EQ(ShredFile("", mode).step, ShredStep::Inspect);
    }
}

TEST(ShredMode, ParsesTheCommandLineNames) {
    EXPECT_EQ(zr::ParseShredMode("normal"), ShredMode::Normal);
    EXPECT_EQ(zr::ParseShredMode("quick"), ShredMode::Quick);
    EXPECT_EQ(zr::ParseShredMode("thorough"), ShredMode::Thorough);
    EXPECT_FALSE(zr::ParseShredMode("Quick"));
    EXPECT_FALSE(zr::ParseShredMode(""));
}
