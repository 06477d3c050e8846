#include "folder_job.h"
#include "keystream_cipher.h"
#include "keystream_expect.h"
#include "temp_dir.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace fs = std::filesystem;
using zr::FolderJob;
using zr::FolderJobResult;
using zr::test::PatternBytes;
using zr::test::ReadBytes;
using zr::test::TempDir;
using zr::test::Transformed;
using zr::test::WriteBytes;

namespace {

std::vector<std::string> NamesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A source folder "data" and its target "dataZR" inside a fresh temporary folder.
struct Folders {
    TempDir root;
    fs::path source = root / "data";
    fs::path target = root / "dataZR";
    Folders() {
        fs::create_directory(source);
        fs::create_directory(target);
    }
    FolderJobResult Run(std::string_view key, bool deleteSource,
                        const std::function<void(FolderJob&)>& setUp = {}) {
        FolderJob job(source.string() + "/", target.string() + "/");
        job.SetKey(key);
        job.SetDeleteSource(deleteSource);
        if (setUp)
            setUp(job);
        return job.Run();
    }
};

} // namespace

TEST(ListedFileName, TrimsBlanksAndUpperCasesAsciiOnly) {
    EXPECT_EQ(zr::ListedFileName("  report.doc "), "REPORT.DOC");
    EXPECT_EQ(zr::ListedFileName("b.doc.zr"), "B.DOC.ZR");
    EXPECT_EQ(zr::ListedFileName("   "), "");
    EXPECT_EQ(zr::ListedFileName("été 报告.txt"), "éTé 报告.TXT");
    EXPECT_EQ(zr::ListedFileName("a\tb"), "A\tB") << "only blanks are trimmed";
    EXPECT_EQ(zr::ListedFileName(" \xB0\x61.txt"), "\xB0\x61.TXT") << "GBK B0 61 stays itself";
}

TEST(FolderJob, UpperCaseTargetsWithTheZrRuleAndTheEnginesBytes) {
    Folders f;
    const auto a = PatternBytes(70000, 1);
    const auto b = PatternBytes(5, 2);
    const auto hidden = PatternBytes(300, 3);
    WriteBytes(f.source / "a.txt", a);
    WriteBytes(f.source / "b.doc.zr", b);
    WriteBytes(f.source / ".hidden", hidden);
    WriteBytes(f.source / "empty", {});

    const FolderJobResult r = f.Run("key", false);
    EXPECT_EQ(r.doneCount, 4);
    EXPECT_EQ(r.failedCount, 0);
    EXPECT_EQ(NamesIn(f.target),
              (std::vector<std::string>{".HIDDEN.ZR", "A.TXT.ZR", "B.DOC", "EMPTY.ZR"}));
    EXPECT_EQ(ReadBytes(f.target / "A.TXT.ZR"), Transformed(a, "key"));
    EXPECT_EQ(ReadBytes(f.target / "B.DOC"), Transformed(b, "key"))
        << "the generator restarts for every file";
    EXPECT_EQ(ReadBytes(f.target / ".HIDDEN.ZR"), Transformed(hidden, "key"));
    EXPECT_TRUE(ReadBytes(f.target / "EMPTY.ZR").empty());
    EXPECT_EQ(ReadBytes(f.source / "a.txt"), a) << "sources stay without deletion";
    EXPECT_FALSE(r.sourceFolderRemoved);
}

TEST(FolderJob, DeletionEmptiesAndRemovesTheSourceFolder) {
    Folders f;
    WriteBytes(f.source / "one", PatternBytes(10));
    WriteBytes(f.source / "two", PatternBytes(40000));
    const FolderJobResult r = f.Run("", true);
    EXPECT_EQ(r.doneCount, 2);
    EXPECT_TRUE(r.sourceFolderRemoved);
    EXPECT_FALSE(fs::exists(f.source));
    EXPECT_EQ(ReadBytes(f.target / "TWO.ZR"), Transformed(PatternBytes(40000), ""));
}

TEST(FolderJob, SubfoldersAreUntouchedAndKeepTheSourceFolder) {
    Folders f;
    fs::create_directory(f.source / "sub");
    WriteBytes(f.source / "sub" / "inner", PatternBytes(10));
    WriteBytes(f.source / "top", PatternBytes(10));
    const FolderJobResult r = f.Run("k", true);
    EXPECT_EQ(r.doneCount, 1);
    EXPECT_EQ(NamesIn(f.target), (std::vector<std::string>{"TOP.ZR"}));
    EXPECT_EQ(NamesIn(f.source), (std::vector<std::string>{"sub"}));
    EXPECT_EQ(ReadBytes(f.source / "sub" / "inner"), PatternBytes(10));
}

TEST(FolderJob, AnEmptyFolderIsNotRemoved) {
    Folders f;
    const FolderJobResult r = f.Run("k", true);
    EXPECT_EQ(r.doneCount + r.failedCount, 0);
    EXPECT_TRUE(r.listingError.empty());
    EXPECT_TRUE(fs::is_directory(f.source));
}

TEST(FolderJob, AFailingFileIsSkippedWhileTheRestAreDone) {
    Folders f;
    WriteBytes(f.source / "unreadable", PatternBytes(10));
    WriteBytes(f.source / "blocked", PatternBytes(10));
    WriteBytes(f.source / "fine", PatternBytes(10));
    fs::create_directory(f.target / "BLOCKED.ZR"); // the target name is taken by a folder
    // A source replaced by a folder once the job has begun: whether its content was read
    // before (jobs are prepared a few files ahead) or not, it is not done and its name stays.
    const FolderJobResult r = f.Run("k", true, [&](FolderJob& job) {
        job.onFileStart = [&](const zr::FolderFileOutcome&, int, int) {
            if (fs::is_regular_file(f.source / "unreadable")) {
                fs::remove(f.source / "unreadable");
                fs::create_directory(f.source / "unreadable");
            }
        };
    });
    EXPECT_EQ(r.doneCount, 1);
    EXPECT_EQ(r.failedCount, 2);
    ASSERT_EQ(r.failures.size(), 2u);
    for (const auto& failure : r.failures) {
        EXPECT_FALSE(failure.transformed);
        EXPECT_FALSE(failure.reason.empty());
    }
    EXPECT_TRUE(fs::exists(f.source / "blocked")) << "a failed file's source stays";
    EXPECT_FALSE(fs::exists(f.source / "fine"));
    EXPECT_TRUE(fs::exists(f.target / "FINE.ZR"));
    EXPECT_TRUE(fs::is_directory(f.source / "unreadable"));
    EXPECT_TRUE(fs::is_directory(f.source));
}

TEST(FolderJob, NamesDifferingOnlyInCaseNeverOverwriteEachOther) {
    Folders f;
    WriteBytes(f.source / "a.txt", PatternBytes(100, 1));
    WriteBytes(f.source / "A.TXT", PatternBytes(100, 2));
    const FolderJobResult r = f.Run("k", true);
    EXPECT_EQ(r.doneCount, 1);
    ASSERT_EQ(r.failedCount, 1);
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_NE(r.failures[0].reason.find("A.TXT.ZR"), std::string::npos) << r.failures[0].reason;

    // The source that lost stays, and the target holds the other one's bytes: each source was
    // opened under its real name.
    const auto left = NamesIn(f.source);
    ASSERT_EQ(left.size(), 1u);
    const std::uint32_t loser = left[0] == "a.txt" ? 1 : 2;
    EXPECT_EQ(ReadBytes(f.source / left[0]), PatternBytes(100, loser));
    EXPECT_EQ(ReadBytes(f.target / "A.TXT.ZR"), Transformed(PatternBytes(100, 3 - loser), "k"));
    EXPECT_EQ(r.failures[0].source, f.source / left[0]);
}

TEST(FolderJob, OnlyRegularFilesAreWorkedOnAndFifosNeverBlock) {
    Folders f;
    TempDir outside;
    WriteBytes(outside / "real", PatternBytes(500, 7));
    fs::create_directory(outside / "dir");
    ASSERT_EQ(::mkfifo((f.source / "fifo").c_str(), 0600), 0);
    fs::create_symlink(outside / "dir", f.source / "dirlink");
    fs::create_symlink(outside / "nothing", f.source / "dangling");
    fs::create_symlink(outside / "real", f.source / "filelink");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sockPath = (f.source / "sock").string();
    ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
    std::copy(sockPath.begin(), sockPath.end(), addr.sun_path);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

    const FolderJobResult r = f.Run("k", true);
    ::close(sock);
    EXPECT_EQ(r.doneCount, 1);
    EXPECT_EQ(r.failedCount, 0) << "what is no file is skipped, not failed";
    EXPECT_EQ(NamesIn(f.target), (std::vector<std::string>{"FILELINK.ZR"}));
    EXPECT_EQ(ReadBytes(f.target / "FILELINK.ZR"), Transformed(PatternBytes(500, 7), "k"));
    // Deletion removed the link, not the file it leads to.
    EXPECT_FALSE(fs::exists(fs::symlink_status(f.source / "filelink")));
    EXPECT_EQ(ReadBytes(outside / "real"), PatternBytes(500, 7));
    EXPECT_TRUE(fs::is_directory(outside / "dir"));
    EXPECT_EQ(NamesIn(f.source), (std::vector<std::string>{"dangling", "dirlink", "fifo", "sock"}));
}

TEST(FolderJob, ARefusedKeyTouchesNoFileOrFolder) {
    for (const std::string& key : {std::string("密钥"), std::string(371, 'z')}) {
        Folders f;
        WriteBytes(f.source / "a", PatternBytes(10));
        int started = 0;
        const FolderJobResult r = f.Run(key, true, [&](FolderJob& job) {
            job.onFileStart = [&](const zr::FolderFileOutcome&, int, int) { ++started; };
        });
        EXPECT_NE(r.keyError, zr::KeyError::None);
        EXPECT_EQ(started, 0);
        EXPECT_EQ(r.doneCount + r.failedCount, 0);
        EXPECT_TRUE(NamesIn(f.target).empty());
        EXPECT_EQ(ReadBytes(f.source / "a"), PatternBytes(10));
    }
    Folders f;
    WriteBytes(f.source / "a", PatternBytes(10));
    EXPECT_EQ(f.Run(std::string(370, 'z'), false).doneCount, 1) << "the longest accepted key";
}

TEST(FolderJob, RoundTripThroughTheZrFolder) {
    Folders f;
    WriteBytes(f.source / "Report.dat", PatternBytes(100000, 4));
    WriteBytes(f.source / "notes.dat.zr", PatternBytes(33, 5));
    ASSERT_EQ(f.Run("pass word", true).doneCount, 2);
    ASSERT_FALSE(fs::exists(f.source));

    // The target folder's name leads back: "dataZR" gives "data".
    FolderJob back(f.target.string() + "/", f.source.string() + "/");
    back.SetKey(std::string_view("pass word"));
    back.SetDeleteSource(true);
    fs::create_directory(f.source);
    ASSERT_EQ(back.Run().doneCount, 2);
    EXPECT_FALSE(fs::exists(f.target));
    EXPECT_EQ(NamesIn(f.source), (std::vector<std::string>{"NOTES.DAT.ZR", "REPORT.DAT"}));
    EXPECT_EQ(ReadBytes(f.source / "REPORT.DAT"), PatternBytes(100000, 4));
    EXPECT_EQ(ReadBytes(f.source / "NOTES.DAT.ZR"), PatternBytes(33, 5));
}

TEST(FolderJob, TheSameFolderAsTargetIsRefused) {
    Folders f;
    WriteBytes(f.source / "a", PatternBytes(10));
    FolderJob job(f.source, f.root / "alias");
    fs::create_directory_symlink(f.source, f.root / "alias");
    job.SetKey(std::string_view("k"));
    const FolderJobResult r = job.Run();
    EXPECT_FALSE(r.folderError.empty());
    EXPECT_EQ(NamesIn(f.source), (std::vector<std::string>{"a"}));
}

TEST(FolderJob, AMissingTargetFolderFailsEveryFileAndAMissingSourceIsAListingError) {
    Folders f;
    WriteBytes(f.source / "a", PatternBytes(10));
    fs::remove(f.target);
    FolderJobResult r = f.Run("k", true);
    EXPECT_EQ(r.failedCount, 1);
    EXPECT_TRUE(fs::exists(f.source / "a"));

    fs::remove_all(f.source);
    r = f.Run("k", false);
    EXPECT_FALSE(r.listingError.empty());
}

TEST(FolderJob, NamesThatGiveNoTargetNameFailWithTheirSourceKept) {
    Folders f;
    // Blanks only list as an empty name; the ".ZR" rule leaves the target folder itself, or ".".
    for (const char* name : {"  ", ".zr", "..ZR"})
        WriteBytes(f.source / name, PatternBytes(10));
    WriteBytes(f.source / "ok", PatternBytes(10));
    const FolderJobResult r = f.Run("k", true);
    EXPECT_EQ(r.doneCount, 1);
    EXPECT_EQ(r.failedCount, 3);
    std::vector<std::string> reasons;
    for (const auto& failure : r.failures)
        reasons.push_back(failure.reason);
    std::sort(reasons.begin(), reasons.end());
    const std::string in = f.source.string() + "/";
    EXPECT_EQ(reasons, (std::vector<std::string>{"未处理 " + in + "  ：得不出目标文件名",
                                                 "未处理 " + in + "..ZR：得不出目标文件名",
                                                 "未处理 " + in + ".zr：得不出目标文件名"}));
    EXPECT_EQ(NamesIn(f.source), (std::vector<std::string>{"  ", "..ZR", ".zr"}));
    EXPECT_EQ(NamesIn(f.target), (std::vector<std::string>{"OK.ZR"}));
}

TEST(TryRemoveFolder, RemovesOnlyARealEmptyFolder) {
    TempDir root;
    fs::create_directory(root / "empty");
    fs::create_directory(root / "full");
    WriteBytes(root / "full" / "x", PatternBytes(1));
    fs::create_directory(root / "target");
    fs::create_directory_symlink(root / "target", root / "link");
    zr::TryRemoveFolder(root / "full");
    zr::TryRemoveFolder((root / "link").string() + "/");
    zr::TryRemoveFolder((root / "empty").string() + "/");
    EXPECT_EQ(root.Names(), (std::vector<std::string>{"full", "link", "target"}));
}
