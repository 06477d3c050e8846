#include "fsync_hook.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
std::atomic<int> g_flushes{0};
} // namespace

int zr::test::RegularFileFlushes() {
    return g_flushes.load();
}

extern "C" int fsync(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        ++g_flushes;
        if (const char* request = std::getenv("ZR_TEST_RENAME_ON_FSYNC")) {
            const std::string s = request;
            const auto bar = s.find('|');
            if (bar != std::string::npos)
                std::rename(s.substr(0, bar).c_str(), s.substr(bar + 1).c_str());
        }
    }
    return static_cast<int>(::syscall(SYS_fsync, fd));
}
