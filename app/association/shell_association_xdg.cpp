#include "shell_association.h"
#include "xdg_files.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zr::app {

namespace xdg {

namespace fs = std::filesystem;

namespace {

// nullopt when the file does not exist; an unreadable file is reported through readable.
std::optional<std::string> readFile(const fs::path& path, bool& readable) {
    readable = true;
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(path, ec)))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        readable = false;
        return std::nullopt;
    }
    std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        readable = false;
    return content;
}

// Writes beside the target and renames over it, so that a reader (or a crash) never sees half a
// file. The user's own files keep their rights.
bool replaceFile(const fs::path& target, const std::string& content, mode_t mode) {
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    const fs::path temp = target.parent_path() / ("." + target.filename().string() + ".zr-" +
                                                  std::to_string(static_cast<long>(::getpid())));
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0)
        return false;
    bool ok = true;
    for (std::size_t put = 0; ok && put < content.size();) {
        const ssize_t n = ::write(fd, content.data() + put, content.size() - put);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        put += ok ? static_cast<std::size_t>(n) : 0;
    }
    ok = ::fchmod(fd, mode) == 0 && ok; // the umask must not take the executable bit away
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temp.c_str(), target.c_str()) == 0)
        return true;
    ::unlink(temp.c_str());
    return false;
}

void runQuietly(const char* tool, const fs::path& folder) {
    posix_spawn_file_actions_t actions;
    if (::posix_spawn_file_actions_init(&actions) != 0)
        return;
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::string name = tool;
    std::string arg = folder.string();
    char* argv[] = {name.data(), arg.data(), nullptr};
    pid_t pid = 0;
    if (::posix_spawnp(&pid, tool, &actions, nullptr, argv, environ) == 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    ::posix_spawn_file_actions_destroy(&actions);
}

} // namespace

int WriteXdgAssociation(const fs::path& program, const Places& places) {
    if (places.dataHome.empty() || places.configHome.empty())
        return 0;
    int written = 0;
    bool mimeChanged = false;
    bool desktopChanged = false;
    bool desktopEntryReady = false; // the plan puts the desktop entry before what needs it
    for (PlannedFile& file : PlanFiles(program, places)) {
        if (file.needsDesktopEntry && !desktopEntryReady)
            continue;
        std::error_code ec;
        fs::path target = file.path;
        // A file the user keeps elsewhere behind a link (dotfiles) is updated where it lives.
        if (fs::is_symlink(fs::symlink_status(target, ec))) {
            target = fs::canonical(target, ec);
            if (ec)
                continue;
        }
        bool readable = true;
        const std::optional<std::string> existing = readFile(target, readable);
        if (!readable)
            continue;
        std::optional<std::string> content =
            file.merge ? file.merge(existing, file.content) : std::optional(file.content);
        if (!content)
            continue;
        mode_t mode = file.executable ? 0755 : 0644;
        struct stat st {};
        const bool exists = ::stat(target.c_str(), &st) == 0;
        if (exists && file.merge)
            mode = st.st_mode & 07777;
        const bool isDesktopEntry = file.refresh == Refresh::DesktopDatabase;
        if (exists && existing == content && (!file.executable || (st.st_mode & 0111) == 0111)) {
            desktopEntryReady |= isDesktopEntry;
            continue;
        }
        if (!replaceFile(target, *content, mode))
            continue;
        desktopEntryReady |= isDesktopEntry;
        ++written;
        mimeChanged |= file.refresh == Refresh::MimeDatabase;
        desktopChanged |= file.refresh == Refresh::DesktopDatabase;
    }
    if (mimeChanged)
        runQuietly("update-mime-database", places.dataHome / "mime");
    if (desktopChanged)
        runQuietly("update-desktop-database", places.dataHome / "applications");
    return written;
}

} // namespace xdg

void WriteShellAssociation(const std::filesystem::path& programFile) {
    try {
        std::error_code ec;
        const std::filesystem::path program = std::filesystem::absolute(programFile, ec);
        if (!ec)
            xdg::WriteXdgAssociation(program.lexically_normal(), xdg::PlacesFromEnvironment());
    } catch (...) {
        // Tying into the desktop is a convenience: nothing here may keep the program from starting.
    }
}

} // namespace zr::app
