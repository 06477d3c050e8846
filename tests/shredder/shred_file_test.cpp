// The three modes on real files. A hard link made beforehand keeps the content reachable, so
// it shows what the shredder did to the data while the shredded name itself is gone.

#include "shred_file.h"
#include "temp_dir.h"

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

TEST(ShredFile, EachModeOnReadOnlyFilesAroundTheBlockSize) {
    const fs::path home = fs::current_path();
    for (ShredMode mode : {ShredMode::Normal, ShredMode::Quick, ShredMode::Thorough})
        for (std::size_t size : {0u, 32768u, 32769u, 100000u}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(mode)) + "/" + std::to_string(size));
            TempDir dir;
            WriteBytes(dir / "a", PatternBytes(size));
            fs::create_hard_link(dir / "a", dir / "copy");
            fs::permissions(dir / "a", fs::perms::owner_read | fs::perms::group_read);
            // The user's own "qvw" in the working folder is neither used nor consumed.
            WriteBytes(dir / "qvw", PatternBytes(500, 3));
            fs::current_path(dir.path());
            const auto r = ShredFile("a", mode);
            fs::current_path(home);
            ASSERT_TRUE(r.ok()) << zr::ShredFailureText(r);
            EXPECT_EQ(dir.Names(), (std::vector<std::string>{"copy", "qvw"}));
            EXPECT_EQ(ReadBytes(dir / "qvw"), PatternBytes(500, 3));
            const auto left = ReadBytes(dir / "copy");
            if (mode == ShredMode::Normal) {
                EXPECT_EQ(left, PatternBytes(size));
            } else if (mode == ShredMode::Quick) {
                EXPECT_TRUE(left.empty());
            } else {
                EXPECT_EQ(left, std::vector<std::uint8_t>(size, 0));
            }
        }
}

TEST(ShredFile, RefusesFoldersMissingFilesAndNoName) {
    TempDir dir;
    fs::create_directory(dir / "sub");
    for (ShredMode mode : {ShredMode::Normal, ShredMode::Quick, ShredMode::Thorough}) {
        EXPECT_EQ(ShredFile(dir / "sub", mode).step, ShredStep::NotRegular);
        const auto r = ShredFile(dir / "missing", mode);
        const std::string text = zr::ShredFailureText(r);
        EXPECT_TRUE(text.starts_with("无法访问：") && text.ends_with("missing（文件不存在）"))
            << text;
        EXPECT_EQ(ShredFile("", mode).step, ShredStep::Inspect);
    }
    EXPECT_TRUE(fs::is_directory(dir / "sub"));
}
