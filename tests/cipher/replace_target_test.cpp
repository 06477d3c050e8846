// How a finished target replaces the file that was there: links, rights, owner, attributes,
// flushing, and the temporary files that killed jobs leave behind. POSIX only.

#include "fat_image.h"
#include "file_io.h"
#include "file_io_detail.h"
#include "fsync_hook.h"
#include "keystream_expect.h"
#include "temp_dir.h"
#include "transform_file.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;
using zr::TransformFile;
using zr::TransformStep;
using zr::test::PatternBytes;
using zr::test::ReadBytes;
using zr::test::TempDir;
using zr::test::Transformed;
using zr::test::WriteBytes;

namespace {

constexpr std::int32_t kSeed = -256 * 293;
constexpr uid_t kNobody = 65534;

std::string xattr(const fs::path& path, const char* name) {
    char value[256];
    const ssize_t n = ::getxattr(path.c_str(), name, value, sizeof value);
    return n < 0 ? std::string() : std::string(value, static_cast<std::size_t>(n));
}

// An access control list as the kernel stores it in system.posix_acl_access: version 2, then
// (tag, permissions, id) entries in tag order.
std::string aclGrantingRead(uid_t user) {
    struct Entry {
        std::uint16_t tag, perm;
        std::uint32_t id;
    };
    const std::uint32_t version = 2;
    const Entry entries[] = {{0x01, 6, 0xffffffff},
                             {0x02, 4, user},
                             {0x04, 4, 0xffffffff},
                             {0x10, 4, 0xffffffff},
                             {0x20, 0, 0xffffffff}};
    std::string bytes(reinterpret_cast<const char*>(&version), sizeof version);
    bytes.append(reinterpret_cast<const char*>(entries), sizeof entries);
    return bytes;
}

} // namespace

TEST(Replace, LinkTargetReplacesTheFileItLeadsToAndStaysALink) {
    TempDir dir;
    fs::create_directory(dir / "real");
    WriteBytes(dir / "src", PatternBytes(5000));
    WriteBytes(dir / "real" / "old.ZR", PatternBytes(10, 3));
    fs::create_symlink(fs::path("real") / "old.ZR", dir / "link.ZR");
    const auto r = TransformFile(dir / "src", dir / "link.ZR", kSeed);
    ASSERT_TRUE(r.ok()) << zr::FailureText(r);
    EXPECT_TRUE(fs::is_symlink(dir / "link.ZR"));
    EXPECT_EQ(ReadBytes(dir / "real" / "old.ZR"), Transformed(PatternBytes(5000), kSeed));
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"link.ZR", "real", "src"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "real"), fs::directory_iterator()), 1);

    // A link that leads nowhere is not given a file to lead to.
    fs::create_symlink("nowhere", dir / "dangling");
    const auto nowhere = TransformFile(dir / "src", dir / "dangling", kSeed);
    EXPECT_EQ(nowhere.step, TransformStep::OpenTarget);
    EXPECT_EQ(zr::FailureText(nowhere),
              "无法写入目标文件：" + (dir / "dangling").string() + "（符号链接指向的文件不存在）");
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
}

TEST(Replace, AnotherUsersLinkInASharedFolderIsNotFollowed) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give a link to another user";
    TempDir dir;
    fs::create_directory(dir / "shared");
    ::chmod((dir / "shared").c_str(), 01777);
    WriteBytes(dir / "mine", PatternBytes(10, 3));
    WriteBytes(dir / "src", PatternBytes(100));
    fs::create_symlink(dir / "mine", dir / "shared" / "trap.ZR");
    ASSERT_EQ(::lchown((dir / "shared" / "trap.ZR").c_str(), kNobody, kNobody), 0);
    EXPECT_EQ(TransformFile(dir / "src", dir / "shared" / "trap.ZR", kSeed).step,
              TransformStep::OpenTarget);
    EXPECT_EQ(ReadBytes(dir / "mine"), PatternBytes(10, 3));
}

TEST(Replace, KeepsOwnerGroupRightsAccessListAndAttributes) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give the earlier file another owner";
    TempDir dir;
    WriteBytes(dir / "src", PatternBytes(100));
    const fs::path old = dir / "old.ZR";
    WriteBytes(old, PatternBytes(10, 3));
    ASSERT_EQ(::chown(old.c_str(), kNobody, kNobody), 0);
    const std::string acl = aclGrantingRead(1234);
    if (::setxattr(old.c_str(), "user.origin", "camera", 6, 0) != 0 ||
        ::setxattr(old.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0)
        GTEST_SKIP() << "the temporary folder keeps no extended attributes or access lists";
    ::chmod(old.c_str(), 0640);

    const auto r = TransformFile(dir / "src", old, kSeed);
    ASSERT_TRUE(r.ok()) << zr::FailureText(r);
    struct stat st {};
    ASSERT_EQ(::stat(old.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, kNobody);
    EXPECT_EQ(st.st_gid, kNobody);
    EXPECT_EQ(xattr(old, "user.origin"), "camera");
    EXPECT_EQ(xattr(old, "system.posix_acl_access"), acl);
    EXPECT_EQ(ReadBytes(old), Transformed(PatternBytes(100), kSeed));
}

TEST(Replace, TargetWithOtherHardLinksIsRefusedUntouched) {
    TempDir dir;
    WriteBytes(dir / "src", PatternBytes(100));
    WriteBytes(dir / "old.ZR", PatternBytes(10, 3));
    fs::create_hard_link(dir / "old.ZR", dir / "backup.ZR");
    const auto r = TransformFile(dir / "src", dir / "old.ZR", kSeed);
    EXPECT_EQ(r.step, TransformStep::OpenTarget);
    EXPECT_NE(r.reason.find("硬链接"), std::string::npos) << r.reason;
    EXPECT_EQ(fs::hard_link_count(dir / "old.ZR"), 2u);
    EXPECT_EQ(ReadBytes(dir / "backup.ZR"), PatternBytes(10, 3));
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"backup.ZR", "old.ZR", "src"}));
}

TEST(Replace, AFileThatTakesAMissingTargetsNameMeanwhileIsLookedAtNotReplacedBlindly) {
    // A brief job (a named temporary file where unnamed ones are dear) and a long one.
    for (const std::size_t size : {std::size_t{100000}, std::size_t{3} << 20}) {
        TempDir dir;
        WriteBytes(dir / "src", PatternBytes(size));
        zr::TransformOptions told;
        told.targetMissing = true; // as a plan's check found it
        bool once = false;
        const auto r = TransformFile(dir / "src", dir / "dst", kSeed,
                                     [&](std::int64_t, std::int64_t) {
                                         if (std::exchange(once, true))
                                             return;
                                         WriteBytes(dir / "dst", PatternBytes(10, 3));
                                         fs::create_hard_link(dir / "dst", dir / "backup");
                                     },
                                     told);
        EXPECT_EQ(r.step, TransformStep::OpenTarget) << size;
        EXPECT_NE(r.reason.find("硬链接"), std::string::npos) << r.reason;
        EXPECT_EQ(ReadBytes(dir / "dst"), PatternBytes(10, 3));
        EXPECT_EQ(dir.Names(), (std::vector<std::string>{"backup", "dst", "src"}));

        // A plain file is replaced as any earlier file, and the progress never goes back.
        fs::remove(dir / "backup");
        fs::remove(dir / "dst");
        std::vector<std::int64_t> seen;
        const auto again = TransformFile(dir / "src", dir / "dst", kSeed,
                                         [&](std::int64_t done, std::int64_t) {
                                             if (seen.empty())
                                                 WriteBytes(dir / "dst", PatternBytes(10, 3));
                                             seen.push_back(done);
                                         },
                                         told);
        EXPECT_TRUE(again.ok()) << again.reason;
        EXPECT_EQ(ReadBytes(dir / "dst"), Transformed(PatternBytes(size), kSeed));
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()) &&
                    std::adjacent_find(seen.begin(), seen.end()) == seen.end());
        EXPECT_EQ(seen.back(), static_cast<std::int64_t>(size));
    }
}

TEST(Replace, OnlyAnEarlierFileOrAVerifiedJobIsFlushedBeforeTheRename) {
    TempDir dir;
    WriteBytes(dir / "src", PatternBytes(100000));
    auto flushesOf = [&](const zr::TransformOptions& options) {
        const int before = zr::test::RegularFileFlushes();
        EXPECT_TRUE(TransformFile(dir / "src", dir / "dst", kSeed, {}, options).ok());
        return zr::test::RegularFileFlushes() - before;
    };
    EXPECT_EQ(flushesOf({}), 0) << "a new name costs no flush";
    EXPECT_EQ(flushesOf({}), 1) << "the earlier file is replaced only by content on the device";
    zr::TransformOptions verify;
    verify.verify = true;
    EXPECT_EQ(flushesOf(verify), 1) << "flushed once, before the read-back";
}

TEST(Replace, FailedWriteIsRememberedAndCommitFails) {
    TempDir dir;
    WriteBytes(dir / "t", PatternBytes(10, 3));
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{100000, 100000};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        zr::io::IoError e;
        zr::io::TempFile t = zr::io::TempFile::CreateBeside(dir / "t", e);
        const auto big = PatternBytes(200000);
        const bool first = t.Write(big.data(), big.size(), e);
        zr::io::IoError later;
        const bool small = t.Write("x", 1, later);
        zr::io::IoError commit;
        const bool committed = t.Commit(commit);
        ::_exit(!first && !small && !committed && commit.code == EFBIG ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadBytes(dir / "t"), PatternBytes(10, 3));
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"t"});
}

TEST(Leftovers, OnlyThoseOfThisUsersEndedProcessesOnThisMachineAreRemoved) {
    namespace d = zr::io::detail;
    const d::Writer& me = d::OwnWriter();
    if (me.boot.empty())
        GTEST_SKIP() << "the system tells neither its start nor the processes' start times";
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);

    TempDir dir;
    auto leftover = [&](const std::string& target, d::Writer w) {
        const std::string name = "." + target + zr::io::kTempMarker + d::WriterPart(w) + "k2x9";
        WriteBytes(dir / name, PatternBytes(10));
        return name;
    };
    d::Writer ended = me, restarted = me, reused = me, elsewhere = me;
    ended.pid = static_cast<std::uint64_t>(child);
    restarted.boot = "00000000";
    reused.start = "1"; // this process's id, but another process's start
    elsewhere.host = "x1";
    const std::string kept[] = {leftover("running", me), leftover("remote", elsewhere),
                                leftover("theirs", restarted), ".plain.zr-notours"};
    const bool given = ::chown((dir / kept[2]).c_str(), kNobody, kNobody) == 0;
    WriteBytes(dir / kept[3], {});
    leftover("ended", ended);
    leftover("restarted", restarted);
    leftover("reused", reused);

    zr::io::RemoveLeftoverTempFiles(dir.path());
    std::vector<std::string> expected(std::begin(kept), std::end(kept));
    if (!given)
        expected.erase(expected.begin() + 2); // still this user's: an own leftover, removed
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dir.Names(), expected);
}

TEST(Leftovers, NamesTellTheWriterEvenBehindALongTarget) {
    namespace d = zr::io::detail;
    const d::Writer w{"abc", "0f3e", 4321, "987"};
    const std::string name =
        "." + std::string(190, 'n') + ".zr-x.ZR" + zr::io::kTempMarker + d::WriterPart(w) + "z9";
    EXPECT_EQ(d::WriterOfTempName(name), w);
    for (const char* other : {".a.zr-abc-0f3e-4321-987", ".a.zr-abc-0f3e-43x1-987-z9",
                              "a.zr-abc-0f3e-4321-987-z9", ".a.zr-abc-0F3E-4321-987-z9"})
        EXPECT_FALSE(d::WriterOfTempName(other)) << other;
}

TEST(FatFolder, SpellingsOfOneNameAreOneFileWhateverTheInodesSay) {
    zr::test::FatImage fat;
    if (!fat.ok())
        GTEST_SKIP() << fat.why();
    fs::create_directory(fat / "Sub");
    WriteBytes(fat / "abc.txt", PatternBytes(5000));
    EXPECT_TRUE(zr::io::FolderIgnoresCase(fat.path())); // told by the listing
    EXPECT_TRUE(zr::io::FolderIgnoresCase(fat / "Sub")); // empty: told by a probe file
    EXPECT_TRUE(fs::is_empty(fat / "Sub"));
    for (const fs::path& other : {fat / "ABC.TXT", fat / "SUB" / ".." / "Abc.Txt"}) {
        SCOPED_TRACE(other);
        EXPECT_EQ(TransformFile(fat / "abc.txt", other, kSeed).step, TransformStep::SameFile);
        EXPECT_EQ(TransformFile(other, fat / "abc.txt", kSeed).step, TransformStep::SameFile);
    }
    WriteBytes(fat / "Sub" / "x", PatternBytes(70));
    EXPECT_EQ(TransformFile(fat / "sub" / "X", fat / "SUB" / "x", kSeed).step,
              TransformStep::SameFile);
    EXPECT_EQ(ReadBytes(fat / "abc.txt"), PatternBytes(5000));

    // Another file of the same size is still another file.
    WriteBytes(fat / "abd.txt", PatternBytes(5000, 2));
    EXPECT_TRUE(TransformFile(fat / "abc.txt", fat / "ABD.TXT", kSeed).ok());
    EXPECT_EQ(ReadBytes(fat / "abd.txt"), Transformed(PatternBytes(5000), kSeed));
}
