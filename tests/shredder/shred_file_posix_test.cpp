// What only a POSIX system can set up: links, FIFOs, sockets, other users, size limits and
// read-only mounts.

#include "shred_file.h"
#include "temp_dir.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Runs fn in a child process; returns what it returned (-1 when the child died).
int inChild(const std::function<int()>& fn) {
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(fn());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Shreds on a thread of its own, so that a call that blocks fails the test instead of
// hanging it (the blocked thread is then left behind).
std::optional<zr::ShredResult> shredWithin(const fs::path& path, ShredMode mode) {
    auto task = std::make_shared<std::packaged_task<zr::ShredResult()>>(
        [path, mode] { return ShredFile(path, mode); });
    auto result = task->get_future();
    std::thread([task] { (*task)(); }).detach();
    if (result.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
        return std::nullopt;
    return result.get();
}

} // namespace

TEST(ShredFilePosix, LinkIsRemovedAndItsTargetKeepsItsContent) {
    for (ShredMode mode : kAllModes) {
        TempDir dir;
        WriteBytes(dir / "target", PatternBytes(40000));
        fs::permissions(dir / "target", fs::perms::owner_read);
        fs::create_symlink(dir / "target", dir / "link");
        fs::create_symlink(dir / "nowhere", dir / "dangling");
        ASSERT_TRUE(ShredFile(dir / "link", mode).ok());
        ASSERT_TRUE(ShredFile(dir / "dangling", mode).ok());
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"target"});
        EXPECT_EQ(ReadBytes(dir / "target"), PatternBytes(40000));
        // Not even the target's rights change.
        EXPECT_EQ(fs::status(dir / "target").permissions(), fs::perms::owner_read);
    }
}

TEST(ShredFilePosix, FifoAndSocketAreRefusedWithoutBlocking) {
    TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sockPath = (dir / "sock").string();
    ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
    sockPath.copy(addr.sun_path, sockPath.size());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    for (ShredMode mode : kAllModes)
        for (const char* name : {"fifo", "sock"}) {
            const auto r = shredWithin(dir / name, mode);
            ASSERT_TRUE(r) << name << " blocked";
            EXPECT_EQ(r->step, ShredStep::NotRegular) << name;
            EXPECT_FALSE(r->reason.empty());
        }
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"fifo", "sock"}));
    ::close(sock);
    // A device is refused too, in place (no copy of /dev/null is made).
    for (ShredMode mode : kAllModes)
        EXPECT_EQ(ShredFile("/dev/null", mode).step, ShredStep::NotRegular);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST(ShredFilePosix, OwnerWithoutWritePermissionStillShreds) {
    // Root may write anything, so the owner here is an ordinary user.
    const uid_t user = ::geteuid() == 0 ? 65534 : ::geteuid();
    for (ShredMode mode : kAllModes) {
        TempDir dir;
        WriteBytes(dir / "a", PatternBytes(5000));
        fs::create_hard_link(dir / "a", dir / "copy");
        ::chmod((dir / "a").c_str(), 0444);
        ASSERT_EQ(::chown(dir.path().c_str(), user, user), 0);
        ASSERT_EQ(::chown((dir / "a").c_str(), user, user), 0);
        const int step = inChild([&] {
            if (::geteuid() == 0 && (::setgid(user) != 0 || ::setuid(user) != 0))
                return 99;
            return static_cast<int>(ShredFile(dir / "a", mode).step);
        });
        ASSERT_EQ(step, static_cast<int>(ShredStep::None)) << static_cast<int>(mode);
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"copy"});
        if (mode != ShredMode::Normal) {
            EXPECT_EQ(ReadBytes(dir / "copy"),
                      std::vector<std::uint8_t>(mode == ShredMode::Quick ? 0 : 5000, 0));
        }
    }
}

TEST(ShredFilePosix, FailedOverwriteIsReportedAndTheNameStays) {
    TempDir dir;
    WriteBytes(dir / "a", PatternBytes(100000));
    // A file-size limit below the length stops the overwrite part-way, as a failing disk would.
    const int step = inChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{40000, 40000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const auto r = ShredFile(dir / "a", ShredMode::Thorough);
        return r.reason.empty() ? 98 : static_cast<int>(r.step);
    });
    EXPECT_EQ(step, static_cast<int>(ShredStep::Write));
    const auto left = ReadBytes(dir / "a");
    ASSERT_EQ(left.size(), 100000u);
    const auto original = PatternBytes(100000);
    EXPECT_EQ(std::vector<std::uint8_t>(left.begin(), left.begin() + 32768),
              std::vector<std::uint8_t>(32768, 0));
    EXPECT_EQ(std::vector<std::uint8_t>(left.begin() + 65536, left.end()),
              std::vector<std::uint8_t>(original.begin() + 65536, original.end()));
}

TEST(ShredFilePosix, ReadOnlyFileSystemIsReportedAndNothingChanges) {
    if (!zr::test::CanMount())
        GTEST_SKIP() << "needs root to mount";
    TempDir dir;
    fs::create_directory(dir / "rw");
    fs::create_directory(dir / "ro");
    WriteBytes(dir / "rw" / "a", PatternBytes(3000));
    ASSERT_EQ(::mount((dir / "rw").c_str(), (dir / "ro").c_str(), nullptr, MS_BIND, nullptr), 0);
    ASSERT_EQ(
        ::mount(nullptr, (dir / "ro").c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr),
        0);
    const auto normal = ShredFile(dir / "ro" / "a", ShredMode::Normal);
    const auto quick = ShredFile(dir / "ro" / "a", ShredMode::Quick);
    const auto thorough = ShredFile(dir / "ro" / "a", ShredMode::Thorough);
    ::umount((dir / "ro").c_str());
    EXPECT_EQ(normal.step, ShredStep::Delete);
    EXPECT_EQ(quick.step, ShredStep::Open);
    EXPECT_EQ(thorough.step, ShredStep::Open);
    EXPECT_EQ(zr::ShredFailureText(normal),
              "无法删除：" + (dir / "ro" / "a").string() + "（只读文件系统）");
    EXPECT_EQ(ReadBytes(dir / "rw" / "a"), PatternBytes(3000));
}

TEST(ShredFilePosix, NameReplacedDuringTheOverwriteStaysWithItsNewFile) {
    // The hook renames "saved" over the name when the overwrite is flushed, as an editor's
    // autosave would while a long overwrite runs.
    for (const ShredMode mode : {ShredMode::Quick, ShredMode::Thorough}) {
        TempDir dir;
        WriteBytes(dir / "doc", PatternBytes(70000));
        WriteBytes(dir / "saved", PatternBytes(500, 7));
        const std::string swap = (dir / "saved").string() + "|" + (dir / "doc").string();
        ::setenv("ZR_TEST_RENAME_ON_FSYNC", swap.c_str(), 1);
        const zr::ShredResult r = ShredFile(dir / "doc", mode);
        ::unsetenv("ZR_TEST_RENAME_ON_FSYNC");
        EXPECT_EQ(r.step, ShredStep::Replaced);
        EXPECT_EQ(zr::ShredFailureText(r),
                  "未删除：" + (dir / "doc").string() + "（文件在粉碎过程中被替换了）");
        EXPECT_EQ(ReadBytes(dir / "doc"), PatternBytes(500, 7));
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"doc"});
    }
}
