#include "cli_support.h"

#include "key_seed.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <iterator>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

namespace zr::cli {

bool Args::Has(const std::string& flag) const {
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

std::optional<std::string> Args::Value(const std::string& name) const {
    for (const auto& [k, v] : values)
        if (k == name)
            return v;
    return std::nullopt;
}

Args ParseArgs(int argc, char** argv, int first, const std::vector<std::string>& knownFlags,
               const std::vector<std::string>& valueOptions) {
    Args a;
    bool optionsDone = false;
    for (int i = first; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsDone || arg.size() < 2 || arg[0] != '-') {
            a.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsDone = true;
            continue;
        }
        std::string name = arg, value;
        const auto eq = arg.find('=');
        const bool inlineValue = eq != std::string::npos;
        if (inlineValue) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        // A repeated option is a mistake whose intent cannot be guessed ("--mode normal
        // --mode thorough"): taking either silently could destroy files the other way.
        if (a.Has(name) || a.Value(name)) {
            a.error = "选项 " + name + " 重复了";
            return a;
        }
        if (!inlineValue &&
            std::find(knownFlags.begin(), knownFlags.end(), name) != knownFlags.end()) {
            a.flags.push_back(name);
        } else if (std::find(valueOptions.begin(), valueOptions.end(), name) !=
                   valueOptions.end()) {
            if (!inlineValue) {
                if (i + 1 >= argc) {
                    a.error = "选项 " + name + " 缺少取值";
                    return a;
                }
                value = argv[++i];
            }
            a.values.emplace_back(name, value);
        } else {
            a.error = "未知选项：" + arg;
            return a;
        }
    }
    return a;
}

namespace {

// The terminal's settings while echo is off, for the signal handlers: whatever ends or stops
// the process at the prompt must not leave the terminal without echo.
int g_ttyFd = -1;
termios g_savedTty{};
termios g_quietTty{};

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGQUIT, SIGHUP};
constexpr int kStoppingSignals[] = {SIGTSTP, SIGTTIN, SIGTTOU};

void restoreTtyAndEnd(int sig) {
    ::tcsetattr(g_ttyFd, TCSANOW, &g_savedTty);
    std::signal(sig, SIG_DFL);
    std::raise(sig); // delivered, with the default action, when the handler returns
}

// A stop (Ctrl-Z) gives the shell its terminal back with echo on; on continuing the prompt
// turns echo off again before anything more is typed.
void restoreTtyAndStop(int) {
    const int saved = errno;
    ::tcsetattr(g_ttyFd, TCSANOW, &g_savedTty);
    ::kill(::getpid(), SIGSTOP);
    ::tcsetattr(g_ttyFd, TCSANOW, &g_quietTty);
    errno = saved;
}

// Installs handler for each signal the process does not ignore; keeps the earlier actions.
template <std::size_t N>
void installHandlers(const int (&signals)[N], void (*handler)(int), struct sigaction* old) {
    for (std::size_t i = 0; i < N; ++i) {
        ::sigaction(signals[i], nullptr, &old[i]);
        if (old[i].sa_handler == SIG_IGN)
            continue;
        struct sigaction sa {};
        sa.sa_handler = handler;
        sa.sa_flags = SA_RESTART;
        sigemptyset(&sa.sa_mask);
        for (int s : kEndingSignals)
            sigaddset(&sa.sa_mask, s);
        for (int s : kStoppingSignals)
            sigaddset(&sa.sa_mask, s);
        ::sigaction(signals[i], &sa, nullptr);
    }
}

template <std::size_t N> void restoreHandlers(const int (&signals)[N], struct sigaction* old) {
    for (std::size_t i = 0; i < N; ++i)
        ::sigaction(signals[i], &old[i], nullptr);
}

std::string stripLineEnd(std::string s) {
    if (!s.empty() && s.back() == '\n')
        s.pop_back();
    if (!s.empty() && s.back() == '\r')
        s.pop_back();
    return s;
}

std::optional<std::string> askOnTty(int fd, const char* prompt) {
    (void)!::write(fd, prompt, std::char_traits<char>::length(prompt));
    termios saved{};
    const bool isTty = ::tcgetattr(fd, &saved) == 0;
    struct sigaction oldEnding[std::size(kEndingSignals)];
    struct sigaction oldStopping[std::size(kStoppingSignals)];
    if (isTty) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        g_savedTty = saved;
        g_quietTty = quiet;
        g_ttyFd = fd;
        installHandlers(kEndingSignals, restoreTtyAndEnd, oldEnding);
        installHandlers(kStoppingSignals, restoreTtyAndStop, oldStopping);
        ::tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    std::string line;
    char c;
    bool any = false;
    while (true) {
        const ssize_t n = ::read(fd, &c, 1);
        if (n <= 0)
            break;
        any = true;
        if (c == '\n')
            break;
        line += c;
    }
    if (isTty) {
        ::tcsetattr(fd, TCSAFLUSH, &saved);
        restoreHandlers(kEndingSignals, oldEnding);
        restoreHandlers(kStoppingSignals, oldStopping);
    }
    if (!any)
        return std::nullopt;
    return stripLineEnd(line);
}

} // namespace

std::optional<std::int32_t> ReadSeed(bool fromStdin, int& failureExit) {
    const auto key = ReadKey(fromStdin, failureExit);
    if (!key)
        return std::nullopt;
    const KeySeed seed = DeriveKeySeed(*key);
    if (!seed.ok()) {
        PrintError(std::string("密钥不可用：") + KeyErrorText(seed.error));
        return std::nullopt;
    }
    return seed.seed;
}

std::optional<std::string> ReadKey(bool fromStdin, int& failureExit) {
    failureExit = kExitFailed;
    if (fromStdin) {
        std::string line;
        if (!std::getline(std::cin, line) && line.empty()) {
            PrintError("无法从标准输入读取密钥");
            return std::nullopt;
        }
        // A key file saved by an editor that marks UTF-8 begins with EF BB BF; no key holds
        // that character, so it is the mark, not part of the key.
        if (line.starts_with("\xEF\xBB\xBF"))
            line.erase(0, 3);
        return stripLineEnd(line + "\n");
    }
    const int fd = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        PrintUsageError("没有可以输入密钥的终端；请用 --key-stdin 从标准输入读取密钥");
        failureExit = kExitUsage;
        return std::nullopt;
    }
    auto first = askOnTty(fd, "请输入密钥：");
    std::optional<std::string> second;
    if (first)
        second = askOnTty(fd, "请确认密钥：");
    ::close(fd);
    if (!first || !second) {
        PrintError("没有读到密钥");
        return std::nullopt;
    }
    if (*first != *second) {
        PrintError("两次输入的密钥不一样");
        return std::nullopt;
    }
    return first;
}

namespace {
// Asked once: a folder of many files makes a bar per file.
bool errorIsTerminal() {
    static const bool terminal = ::isatty(STDERR_FILENO) == 1;
    return terminal;
}
} // namespace

bool ProgressBar::Drawn() {
    return errorIsTerminal();
}

ProgressBar::ProgressBar(std::string label)
    : label_(std::move(label)), active_(errorIsTerminal()) {}

ProgressBar::~ProgressBar() {
    Finish();
}

void ProgressBar::Update(int percent) {
    if (!active_ || percent == shown_)
        return;
    shown_ = percent;
    constexpr int width = 30;
    const int filled = std::clamp(percent, 0, 100) * width / 100;
    std::string bar = "\r[" + std::string(filled, '#') + std::string(width - filled, ' ') + "] ";
    char pct[8];
    std::snprintf(pct, sizeof pct, "%3d%% ", percent);
    bar += pct + label_;
    std::fputs(bar.c_str(), stderr);
    std::fflush(stderr);
}

void ProgressBar::Finish() {
    if (active_ && shown_ >= 0)
        std::fputs("\n", stderr);
    active_ = false;
}

void PrintError(const std::string& text) {
    std::cerr << "zr-cli: " << text << '\n';
}

void PrintUsageError(const std::string& text) {
    std::cerr << "zr-cli: " << text << "\n用法见 zr-cli --help\n";
}

namespace {

std::atomic<bool> g_interrupted{false};
volatile std::sig_atomic_t g_interruptSignal = 0;
constexpr int kInterruptSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_oldInterrupt[std::size(kInterruptSignals)];

void noteInterrupt(int sig) {
    g_interruptSignal = sig;
    g_interrupted.store(true);
}

} // namespace

InterruptGuard::InterruptGuard() {
    g_interrupted.store(false);
    g_interruptSignal = 0;
    installHandlers(kInterruptSignals, noteInterrupt, g_oldInterrupt);
}

InterruptGuard::~InterruptGuard() {
    restoreHandlers(kInterruptSignals, g_oldInterrupt);
}

const std::atomic<bool>* InterruptGuard::Flag() const {
    return &g_interrupted;
}

int InterruptGuard::ExitCode() const {
    return 128 + static_cast<int>(g_interruptSignal);
}

void PrepareProcess() {
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace zr::cli
