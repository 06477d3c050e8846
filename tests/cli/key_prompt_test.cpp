// The key prompt on a real terminal (a pseudo-terminal): whatever ends or stops zr-cli while
// echo is off must give the terminal back with echo on.

#include "keystream_cipher.h"
#include "run_process.h"
#include "temp_dir.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace fs = std::filesystem;
using zr::test::PatternBytes;
using zr::test::ReadBytes;
using zr::test::TempDir;
using zr::test::WriteBytes;

namespace {

// zr-cli in a session of its own whose controlling terminal is a fresh pseudo-terminal.
class PromptSession {
public:
    explicit PromptSession(const std::vector<std::string>& args) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            return;
        const std::string slaveName = ::ptsname(master_);
        // Kept open here to look at the terminal's settings as the child leaves them.
        slave_ = ::open(slaveName.c_str(), O_RDWR | O_NOCTTY);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setsid();
            const int tty = ::open(slaveName.c_str(), O_RDWR); // becomes the controlling tty
            if (tty < 0)
                ::_exit(126);
            ::dup2(tty, 0);
            ::dup2(tty, 1);
            ::dup2(tty, 2);
            const rlimit noCore{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore);
            std::vector<char*> argv;
            std::string program = ZR_CLI_PATH;
            argv.push_back(program.data());
            std::vector<std::string> copy = args;
            for (auto& a : copy)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~PromptSession() {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (slave_ >= 0)
            ::close(slave_);
        if (master_ >= 0)
            ::close(master_);
    }

    bool Started() const { return pid_ > 0 && slave_ >= 0; }

    // Reads the terminal until text has appeared (anywhere in what was shown so far).
    bool WaitFor(const std::string& text) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (shown_.find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 100) > 0) {
                char buf[256];
                const ssize_t n = ::read(master_, buf, sizeof buf);
                if (n <= 0)
                    return false;
                shown_.append(buf, static_cast<std::size_t>(n));
            }
        }
        return true;
    }

    // Waits until echo is off: the prompt has set up the terminal and is reading.
    bool WaitForQuiet() {
        for (int i = 0; i < 1000; ++i) {
            if (!Echo())
                return true;
            ::usleep(10000);
        }
        return false;
    }

    // Takes in whatever the terminal still shows.
    void Drain() {
        pollfd p{master_, POLLIN, 0};
        char buf[256];
        while (::poll(&p, 1, 200) > 0) {
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0)
                break;
            shown_.append(buf, static_cast<std::size_t>(n));
        }
    }

    void Type(const std::string& text) { (void)!::write(master_, text.data(), text.size()); }

    bool Echo() const {
        termios t{};
        ::tcgetattr(slave_, &t);
        return (t.c_lflag & ECHO) != 0;
    }

    // The status once the child has ended or stopped; none when it did neither within 10 s.
    std::optional<int> Wait() {
        for (int i = 0; i < 1000; ++i) {
            int status = 0;
            if (::waitpid(pid_, &status, WUNTRACED | WNOHANG) == pid_) {
                if (!WIFSTOPPED(status))
                    reaped_ = true;
                return status;
            }
            ::usleep(10000);
        }
        return std::nullopt;
    }

    pid_t Pid() const { return pid_; }
    const std::string& Shown() const { return shown_; }

private:
    int master_ = -1;
    int slave_ = -1;
    pid_t pid_ = -1;
    bool reaped_ = false;
    std::string shown_;
};

} // namespace

TEST(CliKeyPrompt, EndingSignalsAtThePromptLeaveEchoOn) {
    // Ctrl-C, Ctrl-\ and a hang-up or kill request while the key is half typed.
    const std::pair<int, const char*> cases[] = {
        {SIGINT, "\x03"}, {SIGQUIT, "\x1c"}, {SIGTERM, nullptr}, {SIGHUP, nullptr}};
    for (const auto& [sig, key] : cases) {
        TempDir dir;
        WriteBytes(dir / "a", PatternBytes(100));
        PromptSession s({"transform", (dir / "a").string()});
        ASSERT_TRUE(s.Started());
        ASSERT_TRUE(s.WaitFor("请输入密钥：")) << s.Shown();
        ASSERT_TRUE(s.WaitForQuiet());
        s.Type("sec");
        if (key)
            s.Type(key);
        else
            ::kill(s.Pid(), sig);
        const auto status = s.Wait();
        ASSERT_TRUE(status && WIFSIGNALED(*status)) << "signal " << sig;
        EXPECT_EQ(WTERMSIG(*status), sig);
        EXPECT_TRUE(s.Echo()) << "signal " << sig;
        EXPECT_FALSE(fs::exists(dir / "a.ZR"));
    }
}

TEST(CliKeyPrompt, StopAtThePromptGivesEchoBackAndContinuingHidesTheKeyAgain) {
    TempDir dir;
    WriteBytes(dir / "a", PatternBytes(100));
    PromptSession s({"transform", (dir / "a").string()});
    ASSERT_TRUE(s.Started());
    ASSERT_TRUE(s.WaitFor("请输入密钥：")) << s.Shown();
    ASSERT_TRUE(s.WaitForQuiet());
    s.Type("\x1a"); // Ctrl-Z
    auto status = s.Wait();
    ASSERT_TRUE(status && WIFSTOPPED(*status)) << "Ctrl-Z stops the prompt";
    EXPECT_TRUE(s.Echo()) << "the shell gets its terminal back with echo";

    ::kill(s.Pid(), SIGCONT);
    ASSERT_TRUE(s.WaitForQuiet()) << "echo is off again before the rest of the key is typed";
    s.Type("key\n");
    ASSERT_TRUE(s.WaitFor("请确认密钥：")) << s.Shown();
    ASSERT_TRUE(s.WaitForQuiet());
    s.Type("key\n");
    status = s.Wait();
    ASSERT_TRUE(status && WIFEXITED(*status)) << s.Shown();
    EXPECT_EQ(WEXITSTATUS(*status), 0) << s.Shown();
    s.Drain();
    EXPECT_EQ(s.Shown().find("key"), std::string::npos) << "the key never shows";
    EXPECT_TRUE(s.Echo());

    auto expected = PatternBytes(100);
    zr::KeystreamCipher c;
    c.Reseed(-256 * (107 * 1 + 101 * 2 + 121 * 3));
    c.Apply(expected);
    EXPECT_EQ(ReadBytes(dir / "a.ZR"), expected);
}
