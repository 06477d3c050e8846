// Ctrl-C or a kill request during a job stops it cleanly: the earlier target stays, nothing
// unfinished is left beside it, and the exit status tells which signal came.

#include "run_process.h"
#include "temp_dir.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using zr::test::PatternBytes;
using zr::test::ReadBytes;
using zr::test::TempDir;
using zr::test::WriteBytes;

namespace {

// zr-cli with the key on standard input; its pid.
pid_t startCli(std::vector<std::string> args) {
    int in[2];
    if (::pipe(in) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::close(in[0]);
        ::close(in[1]);
        // Signals the test process ignores must not be ignored by the job.
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        std::vector<char*> argv;
        std::string program = ZR_CLI_PATH;
        argv.push_back(program.data());
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    (void)!::write(in[1], "k\n", 2);
    ::close(in[1]);
    return pid;
}

// Whether the process holds a file open inside folder: its temporary target is being written.
bool writesInto(pid_t pid, const fs::path& folder) {
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        const fs::path to = fs::read_symlink(fd.path(), ec);
        if (!ec && to.string().starts_with(folder.string() + "/") &&
            to.filename().string().find("src") == std::string::npos)
            return true;
    }
    return false;
}

} // namespace

TEST(CliInterrupt, SignalDuringTheJobCancelsItAndKeepsTheEarlierTarget) {
    for (const int sig : {SIGINT, SIGTERM}) {
        TempDir dir;
        // A large sparse source: quick to read, long enough to write to be caught mid-job.
        WriteBytes(dir / "src", {});
        fs::resize_file(dir / "src", std::uintmax_t{300} << 20);
        WriteBytes(dir / "dst", PatternBytes(100, 3));
        const pid_t pid =
            startCli({"transform", "--key-stdin", (dir / "src").string(), (dir / "dst").string()});
        ASSERT_GT(pid, 0);
        bool seen = false;
        for (int i = 0; i < 5000 && !seen; ++i) {
            seen = writesInto(pid, dir.path());
            if (!seen)
                ::usleep(1000);
        }
        ::kill(pid, sig);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(seen) << "the job never started writing";
        ASSERT_TRUE(WIFEXITED(status)) << "signal " << sig << " ended the process";
        EXPECT_EQ(WEXITSTATUS(status), 128 + sig);
        EXPECT_EQ(ReadBytes(dir / "dst"), PatternBytes(100, 3));
        EXPECT_EQ(dir.Names(), (std::vector<std::string>{"dst", "src"}));
    }
}

TEST(CliInterrupt, SignalDuringAFolderJobStopsBeforeAnySourceIsDeleted) {
    TempDir dir;
    fs::create_directory(dir / "in");
    WriteBytes(dir / "in" / "src", {});
    fs::resize_file(dir / "in" / "src", std::uintmax_t{300} << 20);
    const pid_t pid = startCli({"folder", "--key-stdin", "--delete-source", (dir / "in").string()});
    ASSERT_GT(pid, 0);
    bool seen = false;
    for (int i = 0; i < 5000 && !seen; ++i) {
        seen = writesInto(pid, dir / "inZR");
        if (!seen)
            ::usleep(1000);
    }
    ::kill(pid, SIGINT);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(seen) << "the job never started writing";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT);
    EXPECT_EQ(fs::file_size(dir / "in" / "src"), std::uintmax_t{300} << 20);
    EXPECT_TRUE(fs::is_empty(dir / "inZR"));
}
