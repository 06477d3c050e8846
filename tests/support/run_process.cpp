#include "run_process.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zr::test {

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& stdinText,
                         const std::vector<std::string>& extraEnv) {
    // A child that exits before reading its input (a usage error) must not end the test with
    // SIGPIPE; the write then just fails.
    std::signal(SIGPIPE, SIG_IGN);
    int in[2], out[2], err[2];
    if (::pipe(in) || ::pipe(out) || ::pipe(err))
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGPIPE, SIG_DFL); // the parent's choice below is not the program's
        ::setsid(); // no controlling terminal: /dev/tty cannot be opened
        std::signal(SIGPIPE, SIG_DFL); // as a shell would start it
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            ::close(fd);
        for (const auto& e : extraEnv)
            ::putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    // A program that ends without reading its input (a usage error) must not end the test with
    // SIGPIPE; the write then fails with EPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    // Write stdin and read both outputs together, so that a large output cannot deadlock.
    ProcessResult r;
    std::size_t written = 0;
    int inFd = in[1];
    if (stdinText.empty()) {
        ::close(inFd);
        inFd = -1;
    }
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        pollfd fds[3];
        int n = 0;
        if (outOpen)
            fds[n++] = {out[0], POLLIN, 0};
        if (errOpen)
            fds[n++] = {err[0], POLLIN, 0};
        if (inFd >= 0)
            fds[n++] = {inFd, POLLOUT, 0};
        if (::poll(fds, n, 60000) <= 0)
            break;
        for (int i = 0; i < n; ++i) {
            if (!fds[i].revents)
                continue;
            if (fds[i].fd == inFd) {
                const ssize_t w = ::write(inFd, stdinText.data() + written, stdinText.size() - written);
                if (w > 0)
                    written += static_cast<std::size_t>(w);
                if (w < 0 || written == stdinText.size()) {
                    ::close(inFd);
                    inFd = -1;
                }
                continue;
            }
            char buf[4096];
            const ssize_t got = ::read(fds[i].fd, buf, sizeof buf);
            std::string& sink = fds[i].fd == out[0] ? r.out : r.err;
            if (got > 0)
                sink.append(buf, static_cast<std::size_t>(got));
            else if (fds[i].fd == out[0])
                outOpen = false;
            else
                errOpen = false;
        }
    }
    if (inFd >= 0)
        ::close(inFd);
    ::close(out[0]);
    ::close(err[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

} // namespace zr::test
