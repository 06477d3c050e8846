#include "file_io.h"

#include "file_io_detail.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <memory>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace zr::io {

namespace fs = std::filesystem;

namespace {

IoError errorOf(int code) {
    return {code, ReasonText(code)};
}

bool retryable(int e) {
    return e == EINTR;
}

EntryInfo infoOf(const struct stat& st) {
    EntryInfo info;
    info.id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    info.size = static_cast<std::int64_t>(st.st_size);
    info.modified = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    info.links = static_cast<std::uint64_t>(st.st_nlink);
    info.mode = static_cast<std::uint32_t>(st.st_mode);
    info.owner = static_cast<std::uint32_t>(st.st_uid);
    info.group = static_cast<std::uint32_t>(st.st_gid);
    if (S_ISREG(st.st_mode))
        info.kind = EntryKind::Regular;
    else if (S_ISDIR(st.st_mode))
        info.kind = EntryKind::Directory;
    else
        info.kind = EntryKind::Other;
    return info;
}

EntryInfo statWith(int (*fn)(const char*, struct stat*), const fs::path& path, IoError& error) {
    struct stat st {};
    if (fn(path.c_str(), &st) != 0) {
        if (errno != ENOENT && errno != ENOTDIR)
            error = errorOf(errno);
        return {};
    }
    return infoOf(st);
}

// The process's umask, read once: the rights of a new file are given less it. It is read from
// /proc where possible, since setting it to read it back races with other threads.
mode_t processUmask() {
    static const mode_t mask = [] {
        if (FILE* f = std::fopen("/proc/self/status", "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, f)) {
                unsigned m = 0;
                if (std::sscanf(line, "Umask: %o", &m) == 1) {
                    std::fclose(f);
                    return static_cast<mode_t>(m);
                }
            }
            std::fclose(f);
        }
        const mode_t m = ::umask(022);
        ::umask(m);
        return m;
    }();
    return mask;
}

std::string randomSuffix() {
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string s(8, 'x');
    for (char& c : s)
        c = digits[rng() % (sizeof digits - 1)];
    return s;
}

// The start of a temporary file's name beside target: hidden, recognisably ours, and naming
// the process that writes it. A long target name is cut (at a character boundary) so that the
// temporary name stays within the system's limit on one name even where the target's own name
// uses all of it.
std::string tempStem(const fs::path& target) {
    // "." + kept + ".zr-" + host (7) - boot (8) - pid (10) - start (20) - 8 characters < 255
    constexpr std::size_t kMaxKept = 190;
    std::string name = target.filename().string();
    if (name.size() > kMaxKept) {
        std::size_t cut = kMaxKept;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut; // never split a UTF-8 sequence
        name.resize(cut);
    }
    return "." + name + kTempMarker + detail::WriterPart(detail::OwnWriter());
}

// One line of a small file under /proc, or empty.
std::string readSmallFile(const char* path) {
    std::string text;
    if (FILE* f = std::fopen(path, "re")) {
        char buffer[1024];
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, f);
        std::fclose(f);
        text.assign(buffer, n);
    }
    return text;
}

// The start time of a process in clock ticks since the system started: field 22 of its stat
// line, counted after the command name, which may itself hold blanks and parentheses.
std::string startTicks(const std::string& pid) {
    const std::string line = readSmallFile(("/proc/" + pid + "/stat").c_str());
    std::size_t at = line.rfind(')');
    if (at == std::string::npos)
        return {};
    for (int field = 2; field < 22; ++field) {
        at = line.find(' ', at + 1);
        if (at == std::string::npos)
            return {};
    }
    const std::size_t end = line.find(' ', at + 1);
    std::string ticks = line.substr(at + 1, end == std::string::npos ? end : end - at - 1);
    if (ticks.empty() || ticks.find_first_not_of("0123456789") != std::string::npos)
        return {};
    return ticks;
}

// Opens without blocking on a FIFO or device, then makes sure the thing opened is a regular
// file before anything reads or writes it. The non-blocking flag stays: it changes nothing for
// a regular file. st, when given, receives the open file's status.
int openRegular(const fs::path& path, int flags, IoError& error, struct stat* status = nullptr) {
    int fd;
    do
        fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    while (fd < 0 && retryable(errno));
    if (fd < 0) {
        const int e = errno;
        struct stat st {};
        if (e == ENXIO && ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
            // A socket (or a device without a driver) cannot be opened at all.
            error = {EINVAL, "不是普通文件"};
            return -1;
        }
        error =
            (e == ELOOP && (flags & O_NOFOLLOW)) ? IoError{ELOOP, "这是一个符号链接"} : errorOf(e);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = errorOf(errno);
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        error = {S_ISDIR(st.st_mode) ? EISDIR : EINVAL,
                 S_ISDIR(st.st_mode) ? "这是一个文件夹，不是文件" : "不是普通文件"};
        ::close(fd);
        return -1;
    }
    if (status)
        *status = st;
    return fd;
}

} // namespace

EntryInfo Stat(const fs::path& path, IoError& error) {
    return statWith(::stat, path, error);
}
EntryInfo LinkStat(const fs::path& path, IoError& error) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT && errno != ENOTDIR)
            error = errorOf(errno);
        return {};
    }
    EntryInfo info = infoOf(st);
    info.link = S_ISLNK(st.st_mode);
    return info;
}

File File::OpenRead(const fs::path& path, IoError& error, EntryInfo* info) {
    struct stat st {};
    File f(openRegular(path, O_RDONLY, error, &st));
    if (info && f.IsOpen())
        *info = infoOf(st);
    return f;
}

File File::OpenWriteExisting(const fs::path& path, IoError& error) {
    return File(openRegular(path, O_WRONLY | O_NOFOLLOW, error));
}

bool File::IsOpen() const {
    return handle_ >= 0;
}

void File::Close() {
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));
    handle_ = -1;
}

std::int64_t File::Size(IoError& error) const {
    struct stat st {};
    if (::fstat(static_cast<int>(handle_), &st) != 0) {
        error = errorOf(errno);
        return -1;
    }
    return static_cast<std::int64_t>(st.st_size);
}

EntryInfo File::Info(IoError& error) const {
    struct stat st {};
    if (::fstat(static_cast<int>(handle_), &st) != 0) {
        error = errorOf(errno);
        return {};
    }
    return infoOf(st);
}

FileId File::Id(IoError& error) const {
    struct stat st {};
    if (::fstat(static_cast<int>(handle_), &st) != 0) {
        error = errorOf(errno);
        return {};
    }
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::size_t File::Read(void* buffer, std::size_t size, IoError& error) {
    auto* p = static_cast<char*>(buffer);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(static_cast<int>(handle_), p + got, size - got);
        if (n < 0) {
            if (retryable(errno))
                continue;
            error = errorOf(errno);
            break;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

bool File::ReadAt(std::int64_t offset, void* buffer, std::size_t size, std::size_t& got,
                  IoError& error) {
    auto* p = static_cast<char*>(buffer);
    got = 0;
    while (got < size) {
        const ssize_t n = ::pread(static_cast<int>(handle_), p + got, size - got,
                                  static_cast<off_t>(offset + static_cast<std::int64_t>(got)));
        if (n < 0) {
            if (retryable(errno))
                continue;
            error = errorOf(errno);
            return false;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

bool File::ReadOnceAt(std::int64_t offset, void* buffer, std::size_t size, std::size_t& got,
                      IoError& error) {
    ssize_t n;
    do
        n = ::pread(static_cast<int>(handle_), buffer, size, static_cast<off_t>(offset));
    while (n < 0 && retryable(errno));
    if (n < 0) {
        got = 0;
        error = errorOf(errno);
        return false;
    }
    got = static_cast<std::size_t>(n);
    return true;
}

bool File::Write(const void* buffer, std::size_t size, IoError& error) {
    const auto* p = static_cast<const char*>(buffer);
    std::size_t put = 0;
    while (put < size) {
        const ssize_t n = ::write(static_cast<int>(handle_), p + put, size - put);
        if (n < 0) {
            if (retryable(errno))
                continue;
            error = errorOf(errno);
            return false;
        }
        put += static_cast<std::size_t>(n);
    }
    return true;
}

bool File::WriteAt(std::int64_t offset, const void* buffer, std::size_t size, IoError& error) {
    const auto* p = static_cast<const char*>(buffer);
    std::size_t put = 0;
    while (put < size) {
        const ssize_t n = ::pwrite(static_cast<int>(handle_), p + put, size - put,
                                   static_cast<off_t>(offset + static_cast<std::int64_t>(put)));
        if (n < 0) {
            if (retryable(errno))
                continue;
            error = errorOf(errno);
            return false;
        }
        put += static_cast<std::size_t>(n);
    }
    return true;
}

bool File::Truncate(std::int64_t length, IoError& error) {
    if (::ftruncate(static_cast<int>(handle_), static_cast<off_t>(length)) != 0) {
        error = errorOf(errno);
        return false;
    }
    return true;
}

bool File::Sync(IoError& error) {
    if (::fsync(static_cast<int>(handle_)) != 0) {
        error = errorOf(errno);
        return false;
    }
    return true;
}

void File::DropCache() {
#ifdef POSIX_FADV_DONTNEED
    ::posix_fadvise(static_cast<int>(handle_), 0, 0, POSIX_FADV_DONTNEED);
#endif
}

void File::Refetch() {
    DropCache();
    ::posix_fadvise(static_cast<int>(handle_), 0, 0, POSIX_FADV_WILLNEED);
}

namespace {

// The kernel's rule for links in shared folders (protected_symlinks): in a sticky folder that
// everyone may write, follow only a link of this user or of the folder's owner. Otherwise
// another user's link in /tmp could make a job replace a file of ours it names.
bool linkTrusted(const fs::path& link, const struct stat& linkStat) {
    fs::path dir = link.parent_path();
    if (dir.empty())
        dir = ".";
    struct stat ds {};
    if (::stat(dir.c_str(), &ds) != 0)
        return false;
    if (!(ds.st_mode & S_ISVTX) || !(ds.st_mode & S_IWOTH))
        return true;
    return linkStat.st_uid == ::geteuid() || linkStat.st_uid == ds.st_uid;
}

// Whether folder lies on a file system in memory (tmpfs); asked once for a run of files in one
// folder.
bool inMemory(const fs::path& folder) {
    static thread_local fs::path last;
    static thread_local bool answer = false;
    if (folder.native() != last.native()) {
        struct statfs st {};
        answer = ::statfs(folder.c_str(), &st) == 0 && st.f_type == TMPFS_MAGIC;
        last = folder;
    }
    return answer;
}

// Gives the new file what the earlier one had: owner and group (an ordinary user may keep only
// a group of theirs), access control lists and extended attributes, then the rights (after the
// owner: a change of owner clears the set-id bits). Fails only where an attribute that guards
// access would be lost.
bool keepProperties(int fd, const fs::path& earlier, const EntryInfo& old, IoError& error) {
    if (::fchown(fd, old.owner, old.group) != 0)
        (void)!::fchown(fd, static_cast<uid_t>(-1), old.group); // where not, it is the writer's
    ssize_t size = ::listxattr(earlier.c_str(), nullptr, 0);
    if (size > 0) {
        std::string names(static_cast<std::size_t>(size), '\0');
        size = ::listxattr(earlier.c_str(), names.data(), names.size());
        std::string value;
        for (std::size_t at = 0; size > 0 && at < static_cast<std::size_t>(size);) {
            const std::string name = names.c_str() + at;
            at += name.size() + 1;
            ssize_t n = ::getxattr(earlier.c_str(), name.c_str(), nullptr, 0);
            if (n < 0)
                continue;
            value.resize(static_cast<std::size_t>(n));
            n = ::getxattr(earlier.c_str(), name.c_str(), value.data(), value.size());
            if (n < 0 ||
                ::fsetxattr(fd, name.c_str(), value.data(), static_cast<std::size_t>(n), 0) == 0)
                continue;
            // Access control lists ("system.") and the user's own attributes must come along:
            // a lost list could open the file to someone it was closed to. Labels the system
            // sets itself ("security.", "trusted.") are its business.
            if (name.rfind("system.", 0) == 0 || name.rfind("user.", 0) == 0) {
                const int e = errno;
                error = {e, "无法保留原文件的扩展属性 " + name + "：" + ReasonText(e)};
                return false;
            }
        }
    }
    // Where the file system keeps no rights (FAT), the file stays readable by its owner only.
    ::fchmod(fd, static_cast<mode_t>(old.mode & 07777));
    return true;
}

} // namespace

TargetInfo InspectTarget(const fs::path& target, IoError& error) {
    TargetInfo t;
    t.name = target;
    t.real = target;
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0) {
        if (errno != ENOENT && errno != ENOTDIR)
            error = errorOf(errno);
        return t;
    }
    if (!S_ISLNK(st.st_mode)) {
        t.earlier = infoOf(st);
        return t;
    }
    t.link = true;
    t.linkTrusted = linkTrusted(target, st);
    // The file at the end of the link (of a chain of them); a link that leads nowhere keeps
    // earlier Missing.
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(target.c_str(), nullptr),
                                                         &std::free);
    if (!resolved) {
        if (errno != ENOENT && errno != ENOTDIR)
            error = errorOf(errno);
        return t;
    }
    t.real = resolved.get();
    if (::stat(t.real.c_str(), &st) == 0)
        t.earlier = infoOf(st);
    return t;
}

namespace detail {

bool UserMayWrite(const TargetInfo& t, IoError& error) {
    if (::faccessat(AT_FDCWD, t.real.c_str(), W_OK, AT_EACCESS) == 0)
        return true;
    error = errorOf(errno);
    return false;
}

const Writer& OwnWriter() {
    static const Writer own = [] {
        Writer w;
        utsname u{};
        if (::uname(&u) == 0) {
            // FNV-1a of the computer's name, in base 36.
            std::uint32_t h = 2166136261u;
            for (const char* p = u.nodename; *p; ++p)
                h = (h ^ static_cast<unsigned char>(*p)) * 16777619u;
            do {
                w.host += "0123456789abcdefghijklmnopqrstuvwxyz"[h % 36];
                h /= 36;
            } while (h);
        }
        const std::string boot = readSmallFile("/proc/sys/kernel/random/boot_id");
        for (char c : boot) {
            if (w.boot.size() == 8)
                break;
            if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))
                w.boot += c;
        }
        if (w.boot.size() != 8)
            w.boot.clear();
        w.pid = static_cast<std::uint64_t>(::getpid());
        w.start = startTicks("self");
        if (w.start.empty())
            w.boot.clear(); // without the start time a later process is not told from this one
        return w;
    }();
    return own;
}

std::optional<Writer> RunningProcess(std::uint64_t pid) {
    if (pid == 0 || pid > 0x7fffffff)
        return std::nullopt;
    // A process of another user answers "not permitted": it runs, though its start time may
    // be hidden (hidepid), which counts as running too.
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
        return std::nullopt;
    Writer w = OwnWriter();
    w.pid = pid;
    w.start = startTicks(std::to_string(pid));
    return w;
}

void RemoveIfOwnFile(const fs::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
        ::unlink(path.c_str());
}

} // namespace detail

namespace {

// Gives the unnamed file open as fd the name to; fails with EEXIST where the name is taken.
// By its descriptor where the system allows that (Linux 6.10 on for the file's own creator,
// any version with CAP_DAC_READ_SEARCH); else through /proc, which costs a walk of four more
// names, and is then taken at once for the rest of the process.
int linkUnnamed(int fd, const char* to) {
    static std::atomic<bool> byDescriptor{true};
    const bool tried = byDescriptor.load(std::memory_order_relaxed);
    if (tried) {
        if (::linkat(fd, "", AT_FDCWD, to, AT_EMPTY_PATH) == 0)
            return 0;
        if (errno != ENOENT && errno != EPERM)
            return -1;
    }
    char link[32];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    if (::linkat(AT_FDCWD, link, AT_FDCWD, to, AT_SYMLINK_FOLLOW) != 0)
        return -1;
    if (tried)
        byDescriptor.store(false, std::memory_order_relaxed);
    return 0;
}

// Renames from to to unless to exists (EEXIST). Where the file system cannot tell (some network
// and FUSE drivers), a plain rename is the best there is.
bool renameNoReplace(const char* from, const char* to) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return false;
#endif
    return ::rename(from, to) == 0;
}

} // namespace

bool NameTaken(const IoError& error) {
    return error.code == EEXIST;
}

TempFile TempFile::Create(TargetInfo given, IoError& error, std::uint32_t newRights, bool brief) {
    if (!detail::Replaceable(given, error))
        return {};
    TempFile t;
    t.target_ = std::move(given);
    const TargetInfo& target = t.target_;
    t.newRights_ = newRights & 0777;
    const bool replaces = target.earlier.kind == EntryKind::Regular;
    t.dir_ = target.real.parent_path();
    if (t.dir_.empty())
        t.dir_ = ".";
#ifdef O_TMPFILE
    // An unnamed file first: if the process dies while writing, nothing is left behind. No one
    // can open it by a name, so a new one gets its final rights now (less the umask, or as a
    // folder's default access list says); one that replaces gets the earlier file's at Commit.
    // A brief job takes a named file instead: on ext4 an unnamed one costs more (0.23 ms) than
    // writing a small file, and a kill in the microseconds it is written leaves a name that
    // the next job in the folder removes.
    // tmpfs makes unnamed files as cheaply as named ones.
    if (brief && inMemory(t.dir_))
        brief = false;
    int fd = brief ? -1
                   : ::open(t.dir_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC,
                            replaces ? 0600 : static_cast<mode_t>(t.newRights_));
    if (fd >= 0) {
        t.file_ = File(fd);
        t.committed_ = false;
        return t;
    }
    if (!brief && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT) {
        error = errorOf(errno);
        return {};
    }
#endif
    RemoveLeftoverTempFiles(t.dir_);
    // A long job's named file is private while it is written; a brief new one gets its final
    // rights at once, which saves a call per file.
    t.rightsAtCommit_ = replaces || !brief;
    const mode_t rights = t.rightsAtCommit_ ? 0600 : static_cast<mode_t>(t.newRights_);
    const std::string stem = tempStem(target.real);
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path name = t.dir_ / (stem + randomSuffix());
        int f = ::open(name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOFOLLOW, rights);
        if (f >= 0) {
            t.file_ = File(f);
            t.name_ = std::move(name);
            t.committed_ = false;
            return t;
        }
        if (errno != EEXIST) {
            error = errorOf(errno);
            return {};
        }
    }
    error = errorOf(EEXIST);
    return {};
}

bool TempFile::Commit(IoError& error) {
    if (failed_) {
        error = failed_;
        return false;
    }
    const int fd = static_cast<int>(file_.handle_);
    const fs::path& target = target_.real;
    const bool replaces = target_.earlier.kind == EntryKind::Regular;
    if (replaces) {
        // The rename replaces an earlier file: its new content must be on the device first, or
        // a crash right after the rename could leave neither the old nor the new bytes.
        if (!synced_ && !Sync(error))
            return false;
        if (!keepProperties(fd, target, target_.earlier, error))
            return false;
    } else if (!name_.empty() && rightsAtCommit_) {
        // A named temporary file was private while it was written.
        ::fchmod(fd, static_cast<mode_t>(newRights_) & ~processUmask());
    }
    if (!replaces) {
        // Nothing to replace: the file takes the target's name at once, and only if nothing has
        // taken it meanwhile. A file that appeared there is not replaced blindly: Commit fails
        // with EEXIST (NameTaken), and the caller looks at that file and starts again.
        const bool named = name_.empty() ? linkUnnamed(fd, target.c_str()) == 0
                                         : renameNoReplace(name_.c_str(), target.c_str());
        if (!named) {
            error = errorOf(errno);
            return false;
        }
        name_.clear();
        committed_ = true;
        file_.Close();
        return true;
    }
    if (name_.empty()) {
        // Give the unnamed file a name beside the target, then rename that over the target.
        const std::string stem = tempStem(target);
        for (int attempt = 0; attempt < 100 && name_.empty(); ++attempt) {
            fs::path name = dir_ / (stem + randomSuffix());
            if (linkUnnamed(fd, name.c_str()) == 0)
                name_ = std::move(name);
            else if (errno != EEXIST) {
                error = errorOf(errno);
                return false;
            }
        }
        if (name_.empty()) {
            error = errorOf(EEXIST);
            return false;
        }
    }
    if (::rename(name_.c_str(), target.c_str()) != 0) {
        error = errorOf(errno);
        return false;
    }
    name_.clear();
    committed_ = true;
    file_.Close();
    // The replacement is made durable at once; a new name waits for the caller's flush.
    if (replaces)
        SyncParentFolder(target);
    return true;
}

void TempFile::Discard() {
    file_.Close();
    if (!committed_ && !name_.empty())
        ::unlink(name_.c_str());
    name_.clear();
    committed_ = true;
}

bool RemoveFile(const fs::path& path, IoError& error) {
    if (::unlink(path.c_str()) != 0) {
        error = errorOf(errno);
        return false;
    }
    return true;
}

bool MakeWritable(const fs::path& path, IoError& error) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        error = errorOf(errno);
        return false;
    }
    if (S_ISLNK(st.st_mode) || (st.st_mode & S_IWUSR))
        return true;
    // No-follow, so that a link put in the file's place meanwhile lends no rights to its target.
    if (::fchmodat(AT_FDCWD, path.c_str(), (st.st_mode & 07777) | S_IWUSR, AT_SYMLINK_NOFOLLOW) !=
        0) {
        error = errorOf(errno == EOPNOTSUPP ? ELOOP : errno);
        return false;
    }
    return true;
}

void SyncParentFolder(const fs::path& path) {
    fs::path dir = path.parent_path();
    if (dir.empty())
        dir = ".";
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool FlushFileSystems(const std::vector<fs::path>& files) {
    std::vector<dev_t> done;
    std::unordered_set<std::string> seen; // folders already asked for their file system
    for (const fs::path& file : files) {
        fs::path dir = file.parent_path();
        if (dir.empty())
            dir = ".";
        if (!seen.insert(dir.native()).second)
            continue;
        const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && std::find(done.begin(), done.end(), st.st_dev) == done.end()) {
            ::syncfs(fd);
            done.push_back(st.st_dev);
        }
        ::close(fd);
    }
    return true;
}

namespace {

// The name with the case of its ASCII letters swapped; empty when it has no letter.
std::string swapCase(const std::string& name) {
    std::string out = name;
    bool changed = false;
    for (char& c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A'), changed = true;
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a'), changed = true;
    }
    return changed ? out : std::string();
}

bool nameExists(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

} // namespace

bool FolderIgnoresCase(const fs::path& folder) {
    const fs::path dir = folder.empty() ? fs::path(".") : folder;
    // First without writing: an entry whose other spelling cannot be looked up shows a folder
    // that keeps case; one whose other spelling leads to the same inode (a case-folding ext4
    // folder), or to anything while the whole listing does not hold that spelling, shows one
    // that ignores it. Any other answer (a long listing, a driver that numbers each spelling)
    // leaves the question to the probe file.
    if (DIR* d = ::opendir(dir.c_str())) {
        std::vector<std::string> names;
        bool complete = false;
        while (names.size() < 64) {
            const dirent* e = ::readdir(d);
            if (!e) {
                complete = true;
                break;
            }
            names.emplace_back(e->d_name);
        }
        ::closedir(d);
        for (const std::string& name : names) {
            const std::string other = swapCase(name);
            if (other.empty() || std::find(names.begin(), names.end(), other) != names.end())
                continue;
            struct stat mine {};
            struct stat swapped {};
            if (::lstat((dir / name).c_str(), &mine) != 0)
                continue; // gone meanwhile
            if (::lstat((dir / other).c_str(), &swapped) != 0)
                return false;
            if (complete || (mine.st_dev == swapped.st_dev && mine.st_ino == swapped.st_ino))
                return true;
        }
    }
    // Then with a file of our own, created in lower case and looked up in upper case. It bears
    // a temporary file's name, so that a kill right now leaves nothing a later job keeps.
    const std::string lower = ".case" + std::string(kTempMarker) +
                              detail::WriterPart(detail::OwnWriter()) + randomSuffix();
    const fs::path probe = dir / lower;
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false; // a folder we cannot write to receives no target either
    ::close(fd);
    const bool ignores = nameExists(dir / swapCase(lower));
    ::unlink(probe.c_str());
    return ignores;
}

std::string ReasonText(int code) {
    switch (code) {
    case 0:
        return {};
    case ENOENT:
        return "文件或文件夹不存在";
    case EACCES:
    case EPERM:
        return "没有访问权限";
    case ENOSPC:
        return "磁盘空间不足";
    case EDQUOT:
        return "超出磁盘配额";
    case EROFS:
        return "只读文件系统";
    case EFBIG:
        return "文件太大";
    case EIO:
        return "输入/输出错误";
    case EISDIR:
        return "这是一个文件夹，不是文件";
    case ENOTDIR:
        return "路径中有一部分不是文件夹";
    case ENAMETOOLONG:
        return "文件名太长";
    case EMFILE:
    case ENFILE:
        return "打开的文件太多";
    case EBUSY:
    case ETXTBSY:
        return "文件正在使用中";
    case EEXIST:
        return "文件已经存在";
    case ELOOP:
        return "符号链接层次太多";
    case EXDEV:
        return "不能跨文件系统移动";
    case ENXIO:
    case ENODEV:
        return "没有这个设备";
    case EOVERFLOW:
        return "文件太大，无法处理";
    case ESTALE:
        return "文件句柄已失效（网络文件系统）";
    case ETIMEDOUT:
        return "连接超时";
    case ENOMEM:
        return "内存不足";
    case EINVAL:
        return "参数无效";
    case EAGAIN:
        return "资源暂时不可用";
    case EOPNOTSUPP:
        return "文件系统不支持这项操作";
    case EMLINK:
        return "链接太多";
    case ENOTEMPTY:
        return "文件夹不是空的";
    default:
        return std::strerror(code);
    }
}

} // namespace zr::io
