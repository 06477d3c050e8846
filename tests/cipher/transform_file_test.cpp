#include "keystream_cipher.h"
#include "keystream_expect.h"
#include "read_ahead.h"
#include "temp_dir.h"
#include "transform_file.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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

std::vector<int> progressOf(std::size_t size) {
    TempDir dir;
    WriteBytes(dir / "src", PatternBytes(size));
    std::vector<int> seen;
    const auto r =
        TransformFile(dir / "src", dir / "dst", kSeed, [&](std::int64_t d, std::int64_t l) {
            seen.push_back(zr::ProgressPercent(d, l));
        });
    EXPECT_TRUE(r.ok()) << zr::FailureText(r);
    return seen;
}

} // namespace

TEST(Transform, ProgressFollowsEveryBlock) {
    EXPECT_TRUE(progressOf(0).empty());
    EXPECT_EQ(progressOf(32768), std::vector<int>({100}));
    EXPECT_EQ(progressOf(32769), std::vector<int>({99, 100}));
    EXPECT_EQ(progressOf(100000), std::vector<int>({32, 65, 98, 100}));
    const auto million = progressOf(1000000);
    ASSERT_EQ(million.size(), 31u);
    EXPECT_EQ(million.front(), 3);
    EXPECT_EQ(million.back(), 100);
}

TEST(Transform, WritesTheKeystreamAndRoundTrips) {
    TempDir dir;
    const auto plain = PatternBytes(300001);
    WriteBytes(dir / "a.txt", plain);
    ASSERT_TRUE(TransformFile(dir / "a.txt", dir / "a.txt.ZR", kSeed).ok());
    EXPECT_EQ(ReadBytes(dir / "a.txt.ZR"), Transformed(plain, kSeed));
    ASSERT_TRUE(TransformFile(dir / "a.txt.ZR", dir / "back", kSeed).ok());
    EXPECT_EQ(ReadBytes(dir / "back"), plain);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"a.txt", "a.txt.ZR", "back"}));
}

TEST(Transform, EmptySourceGivesAnEmptyTarget) {
    TempDir dir;
    WriteBytes(dir / "empty", {});
    const auto r = TransformFile(dir / "empty", dir / "out", -50);
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(fs::exists(dir / "out"));
    EXPECT_EQ(fs::file_size(dir / "out"), 0u);
}

TEST(Transform, LongerEarlierTargetIsReplacedByExactlyTheSourceLength) {
    TempDir dir;
    WriteBytes(dir / "src", PatternBytes(1000));
    WriteBytes(dir / "dst", PatternBytes(500000, 9));
    ASSERT_TRUE(TransformFile(dir / "src", dir / "dst", kSeed).ok());
    EXPECT_EQ(ReadBytes(dir / "dst"), Transformed(PatternBytes(1000), kSeed));
}

#ifndef _WIN32
// POSIX rights, FIFOs, devices, mounts, rlimits and fork.
TEST(Transform, TargetKeepsEarlierRightsOrGetsTheSourcesLessTheUmask) {
    TempDir dir;
    WriteBytes(dir / "src", PatternBytes(10));
    WriteBytes(dir / "old", PatternBytes(10));
    ::chmod((dir / "old").c_str(), 0640);
    ASSERT_TRUE(TransformFile(dir / "src", dir / "old", kSeed).ok());
    struct stat st {};
    ::stat((dir / "old").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    const mode_t mask = ::umask(027);
    const auto r = TransformFile(dir / "src", dir / "new", kSeed);
    ::umask(mask);
    ASSERT_TRUE(r.ok());
    ::stat((dir / "new").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    // A private source makes a private target; a read-only one a target its owner may replace.
    for (const auto& [source, target] : {std::pair{0600u, 0600u}, std::pair{0444u, 0644u}}) {
        ::chmod((dir / "src").c_str(), source);
        fs::remove(dir / "new");
        ASSERT_TRUE(TransformFile(dir / "src", dir / "new", kSeed).ok());
        ::stat((dir / "new").c_str(), &st);
        EXPECT_EQ(st.st_mode & 07777, target) << std::oct << source;
    }
}

TEST(Transform, RefusesTheSameFileUnderAnotherName) {
    TempDir dir;
    fs::create_directory(dir / "sub");
    const auto plain = PatternBytes(5000);
    WriteBytes(dir / "f", plain);
    fs::create_hard_link(dir / "f", dir / "hard");
    fs::create_symlink(dir / "f", dir / "soft");
    const fs::path names[] = {dir / "f", dir / "sub" / ".." / "f", dir / "hard", dir / "soft",
                              dir.path() / "." / "f"};
    for (const auto& other : names) {
        SCOPED_TRACE(other);
        const auto r = TransformFile(dir / "f", other, kSeed);
        EXPECT_EQ(r.step, TransformStep::SameFile);
        const auto back = TransformFile(other, dir / "f", kSeed);
        EXPECT_EQ(back.step, TransformStep::SameFile);
        EXPECT_EQ(ReadBytes(dir / "f"), plain);
    }
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"f", "hard", "soft", "sub"}));
}

TEST(Transform, RefusesSourcesThatAreNotRegularFilesWithoutBlocking) {
    TempDir dir;
    fs::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    for (const fs::path& src : {dir / "folder", dir / "fifo", fs::path("/dev/zero")}) {
        SCOPED_TRACE(src);
        const auto r = TransformFile(src, dir / "out", kSeed);
        EXPECT_EQ(r.step, TransformStep::OpenSource);
        EXPECT_FALSE(r.reason.empty());
    }
    const auto missing = TransformFile(dir / "missing", dir / "out", kSeed);
    EXPECT_EQ(missing.step, TransformStep::OpenSource);
    EXPECT_NE(zr::FailureText(missing).find("无法读取源文件"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST(Transform, SocketSourceIsRefusedInChinese) {
    // A socket cannot even be opened; the reason must still say what is wrong, in Chinese.
    TempDir dir;
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(s, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string path = (dir / "sock").string();
    ASSERT_LT(path.size(), sizeof addr.sun_path);
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    const auto r = TransformFile(dir / "sock", dir / "out", kSeed);
    ::close(s);
    EXPECT_EQ(r.step, TransformStep::OpenSource);
    EXPECT_EQ(r.reason, "不是普通文件");
    EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST(Transform, RefusesTargetsThatAreNotRegularFiles) {
    TempDir dir;
    WriteBytes(dir / "src", PatternBytes(100));
    fs::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(TransformFile(dir / "src", dir / "folder", kSeed).step, TransformStep::OpenTarget);
    EXPECT_EQ(TransformFile(dir / "src", dir / "fifo", kSeed).step, TransformStep::OpenTarget);
    // A device is never replaced, even for root.
    EXPECT_EQ(TransformFile(dir / "src", "/dev/null", kSeed).step, TransformStep::OpenTarget);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    const auto noFolder = TransformFile(dir / "src", dir / "nowhere" / "x", kSeed);
    EXPECT_EQ(noFolder.step, TransformStep::OpenTarget);
    EXPECT_NE(zr::FailureText(noFolder).find("无法写入目标文件"), std::string::npos);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"fifo", "folder", "src"}));
}

TEST(Transform, FullDiskLeavesTheEarlierTargetAndNoTemporaryFile) {
    if (!zr::test::CanMount())
        GTEST_SKIP() << "needs permission to mount a small tmpfs";
    TempDir dir, small;
    zr::test::SmallTmpfs fs(small.path(), 256 * 1024);
    ASSERT_TRUE(fs.ok());
    WriteBytes(dir / "big", PatternBytes(1 << 20));
    const auto earlier = PatternBytes(1000, 5);
    WriteBytes(small / "out", earlier);
    const auto r = TransformFile(dir / "big", small / "out", kSeed);
    EXPECT_EQ(r.step, TransformStep::Write);
    EXPECT_EQ(r.code, ENOSPC);
    EXPECT_EQ(ReadBytes(small / "out"), earlier);
    EXPECT_EQ(small.Names(), std::vector<std::string>{"out"});
    EXPECT_EQ(ReadBytes(dir / "big"), PatternBytes(1 << 20));
}

TEST(Transform, FileSizeLimitIsAWriteFailure) {
    TempDir dir;
    WriteBytes(dir / "src", PatternBytes(1 << 20));
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{100000, 100000};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        const auto r = TransformFile(dir / "src", dir / "dst", kSeed);
        ::_exit(r.step == TransformStep::Write && r.code == EFBIG ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"src"});
}

TEST(Transform, ProcessKilledMidJobLeavesNoPartialTarget) {
    TempDir dir;
    WriteBytes(dir / "src", PatternBytes(4 << 20));
    const auto earlier = PatternBytes(777, 2);
    WriteBytes(dir / "dst", earlier);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        TransformFile(dir / "src", dir / "dst", kSeed, [](std::int64_t d, std::int64_t l) {
            if (d * 2 >= l)
                ::kill(::getpid(), SIGKILL);
        });
        ::_exit(3);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(ReadBytes(dir / "dst"), earlier);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"dst", "src"}));
}

#endif

TEST(Transform, SourceThatShrinksIsAReadFailure) {
    TempDir dir;
    WriteBytes(dir / "src", PatternBytes(2 << 20));
    bool cut = false;
    const auto r = TransformFile(dir / "src", dir / "dst", kSeed, [&](std::int64_t, std::int64_t) {
        if (!cut)
            fs::resize_file(dir / "src", 100);
        cut = true;
    });
    EXPECT_EQ(r.step, TransformStep::Read);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"src"});
}

// The names are built from UTF-8 bytes and written with the standard streams, which on
// Windows take the narrow code page and the short path limit.
#ifndef _WIN32
TEST(Transform, TargetNameAsLongAsTheSystemAllowsIsWritten) {
    // The temporary name beside the target must not be longer than the target's own name.
    TempDir dir;
    const std::string ascii(251, 'n');
    std::string wide; // 84 three-byte characters: 252 bytes
    for (int i = 0; i < 84; ++i)
        wide += "\xE5\xAD\x97";
    for (const std::string& stem : {ascii, wide}) {
        const fs::path source = dir.path() / fs::path(stem);
        const fs::path target = dir.path() / fs::path(stem + ".ZR");
        WriteBytes(source, PatternBytes(5000));
        WriteBytes(target, PatternBytes(7, 2)); // an earlier target is replaced
        const auto r = TransformFile(source, target, kSeed);
        ASSERT_TRUE(r.ok()) << zr::FailureText(r);
        EXPECT_EQ(ReadBytes(target), Transformed(PatternBytes(5000), kSeed));
        EXPECT_EQ(dir.Names().size(), 2u);
        fs::remove(source);
        fs::remove(target);
    }
}
#endif

TEST(Transform, SourceThatGrowsIsAReadFailureAndKeepsTheEarlierTarget) {
    // The appended bytes would be missing from the target; with a deletion to follow they
    // would be lost. Growth after the first block and after the last one are both caught.
    const int total = (1 << 20) / static_cast<int>(zr::kTransformBlock);
    for (const bool verify : {false, true}) {
        for (const int at : {1, total}) {
            TempDir dir;
            WriteBytes(dir / "src", PatternBytes(1 << 20));
            WriteBytes(dir / "dst", PatternBytes(10, 4));
            zr::TransformOptions options;
            options.verify = verify;
            int blocks = 0;
            auto grow = [&](std::int64_t, std::int64_t) {
                if (++blocks == at) {
                    std::FILE* f = std::fopen((dir / "src").string().c_str(), "ab");
                    std::fputs("tail", f);
                    std::fclose(f);
                }
            };
            const auto r = TransformFile(dir / "src", dir / "dst", kSeed, grow, options);
            EXPECT_EQ(r.step, TransformStep::Read) << "verify " << verify << " at " << at;
            EXPECT_EQ(ReadBytes(dir / "dst"), PatternBytes(10, 4));
            EXPECT_EQ(dir.Names(), (std::vector<std::string>{"dst", "src"}));
        }
    }
}

// Saving over a file that is open for reading is a POSIX habit; Windows refuses the rename.
#ifndef _WIN32
TEST(Transform, SourceSavedOverDuringTheJobIsNotDeleted) {
    // An editor that saves by renaming a new file over the old name: the job read the old
    // file, so deleting the name afterwards would destroy the new content unencrypted.
    TempDir dir;
    WriteBytes(dir / "src", PatternBytes(1 << 20));
    WriteBytes(dir / "saved", PatternBytes(300, 9));
    zr::TransformOptions options;
    options.verify = true;
    bool saved = false;
    const auto r = TransformFile(
        dir / "src", dir / "dst", kSeed,
        [&](std::int64_t, std::int64_t) {
            if (!saved)
                fs::rename(dir / "saved", dir / "src");
            saved = true;
        },
        options);
    ASSERT_TRUE(r.ok()) << zr::FailureText(r);
    EXPECT_EQ(ReadBytes(dir / "dst"), Transformed(PatternBytes(1 << 20), kSeed));
    std::string reason;
    EXPECT_FALSE(zr::DeleteSource(dir / "src", r, reason));
    EXPECT_NE(reason.find("替换"), std::string::npos) << reason;
    EXPECT_EQ(ReadBytes(dir / "src"), PatternBytes(300, 9));

    // The file that was read goes, also when reached through a link.
    WriteBytes(dir / "plain", PatternBytes(100));
    fs::create_symlink(dir / "plain", dir / "link");
    const auto viaLink = TransformFile(dir / "link", dir / "out", kSeed);
    ASSERT_TRUE(viaLink.ok());
    EXPECT_TRUE(zr::DeleteSource(dir / "link", viaLink, reason)) << reason;
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "link")));
}
#endif

TEST(Transform, SourceThatVanishesAfterOpeningIsStillReadWhole) {
    // The open handle keeps the content; the job completes from it.
    TempDir dir;
    WriteBytes(dir / "src", PatternBytes(1 << 20));
    bool gone = false;
    const auto r = TransformFile(dir / "src", dir / "dst", kSeed, [&](std::int64_t, std::int64_t) {
        if (!gone)
            fs::remove(dir / "src");
        gone = true;
    });
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(ReadBytes(dir / "dst"), Transformed(PatternBytes(1 << 20), kSeed));
}

TEST(Transform, CancellationStopsBetweenBlocksAndKeepsTheEarlierTarget) {
    TempDir dir;
    WriteBytes(dir / "src", PatternBytes(2 << 20));
    WriteBytes(dir / "dst", PatternBytes(10, 4));
    std::atomic<bool> cancel{false};
    zr::TransformOptions options;
    options.cancel = &cancel;
    const auto r = TransformFile(
        dir / "src", dir / "dst", kSeed, [&](std::int64_t, std::int64_t) { cancel = true; },
        options);
    EXPECT_EQ(r.step, TransformStep::Cancelled);
    EXPECT_EQ(ReadBytes(dir / "dst"), PatternBytes(10, 4));
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"dst", "src"}));
}

TEST(Transform, VerifiedJobDetectsASourceChangedBehindItsBack) {
    TempDir dir;
    const auto plain = PatternBytes(100000);
    WriteBytes(dir / "src", plain);
    zr::TransformOptions options;
    options.verify = true;
    ASSERT_TRUE(TransformFile(dir / "src", dir / "ok", kSeed, {}, options).ok());
    EXPECT_EQ(ReadBytes(dir / "ok"), Transformed(plain, kSeed));

    // Same length, other bytes, written after the last block: the read-back cannot match, and
    // the source, not the target, is named as the cause.
    const auto r = TransformFile(
        dir / "src", dir / "bad", kSeed,
        [&](std::int64_t d, std::int64_t l) {
            if (d == l) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20)); // a later time
                WriteBytes(dir / "src", PatternBytes(100000, 99));
            }
        },
        options);
    EXPECT_EQ(r.step, TransformStep::Read);
    EXPECT_EQ(r.reason, zr::kSourceChangedReason);
    EXPECT_FALSE(fs::exists(dir / "bad"));
}

#ifndef _WIN32
TEST(SlowTransform, FilesOver2GiBUseSixtyFourBitOffsets) {
    TempDir dir;
    const std::int64_t size = (std::int64_t{1} << 31) + 40000;
    {
        // A sparse source: zeros except a marker at the end.
        const int fd = ::open((dir / "big").c_str(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, size), 0);
        const char tail[4] = {'e', 'n', 'd', '!'};
        ASSERT_EQ(::pwrite(fd, tail, 4, size - 4), 4);
        ::close(fd);
    }
    std::int64_t last = 0;
    const auto r = TransformFile(dir / "big", dir / "big.ZR", kSeed,
                                 [&](std::int64_t d, std::int64_t) { last = d; });
    ASSERT_TRUE(r.ok()) << zr::FailureText(r);
    EXPECT_EQ(last, size);
    EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(dir / "big.ZR")), size);
    // The keystream simply continues past 2 GiB: check the last bytes against the plain loop.
    zr::KeystreamCipher c;
    c.Reseed(kSeed);
    std::uint32_t state = c.State();
    std::vector<std::uint8_t> skip(1 << 20);
    std::int64_t left = size - 4;
    while (left > 0) {
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, skip.size()));
        state = zr::ApplyKeystreamPlain(state, skip.data(), n);
        left -= static_cast<std::int64_t>(n);
    }
    std::uint8_t expected[4] = {'e', 'n', 'd', '!'};
    zr::ApplyKeystreamPlain(state, expected, 4);
    const int fd = ::open((dir / "big.ZR").c_str(), O_RDONLY);
    std::uint8_t got[4] = {};
    ASSERT_EQ(::pread(fd, got, 4, size - 4), 4);
    ::close(fd);
    EXPECT_EQ(std::vector<std::uint8_t>(got, got + 4),
              std::vector<std::uint8_t>(expected, expected + 4));
}
#endif

#ifndef _WIN32
TEST(FolderCase, AnOrdinaryFolderComparesNamesWithCaseAndKeepsNoProbe) {
    TempDir dir;
    EXPECT_FALSE(zr::io::FolderIgnoresCase(dir.path()));
    WriteBytes(dir.path() / "Report.txt", PatternBytes(3));
    EXPECT_FALSE(zr::io::FolderIgnoresCase(dir.path()));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}
#endif
