#include "file_io.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zr::io {

namespace fs = std::filesystem;

namespace {

IoError errorOf(int code) { return {code, ReasonText(code)}; }

bool retryable(int e) { return e == EINTR; }

EntryInfo infoOf(const struct stat& st) {
    EntryInfo info;
    info.id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    info.size = static_cast<std::int64_t>(st.st_size);
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

// The rights a newly created file gets: 0666 less the process's umask. The umask is read from
// /proc where possible, since setting it to read it back races with other threads.
mode_t newFileMode() {
    if (FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            unsigned mask = 0;
            if (std::sscanf(line, "Umask: %o", &mask) == 1) {
                std::fclose(f);
                return 0666 & ~static_cast<mode_t>(mask);
            }
        }
        std::fclose(f);
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

std::string randomSuffix() {
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string s(8, 'x');
    for (char& c : s)
        c = digits[rng() % (sizeof digits - 1)];
    return s;
}

// The start of a temporary file's name beside target: hidden, and recognisably ours. A long
// target name is cut (at a character boundary) so that the temporary name stays within the
// system's limit on one name even where the target's own name uses all of it.
std::string tempStem(const fs::path& target) {
    constexpr std::size_t kMaxKept = 200; // + "." + ".zr-" + 8 characters < 255
    std::string name = target.filename().string();
    if (name.size() > kMaxKept) {
        std::size_t cut = kMaxKept;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut; // never split a UTF-8 sequence
        name.resize(cut);
    }
    return "." + name + ".zr-";
}

// Opens without blocking on a FIFO or device, then makes sure the thing opened is a regular
// file before anything reads or writes it.
int openRegular(const fs::path& path, int flags, IoError& error) {
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
        error = (e == ELOOP && (flags & O_NOFOLLOW)) ? IoError{ELOOP, "这是一个符号链接"}
                                                     : errorOf(e);
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
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0)
        ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    return fd;
}

} // namespace

EntryInfo Stat(const fs::path& path, IoError& error) { return statWith(::stat, path, error); }
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

File File::OpenRead(const fs::path& path, IoError& error) {
    return File(openRegular(path, O_RDONLY, error));
}

File File::OpenWriteExisting(const fs::path& path, IoError& error) {
    return File(openRegular(path, O_WRONLY | O_NOFOLLOW, error));
}

bool File::IsOpen() const { return handle_ >= 0; }

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

TempFile TempFile::CreateBeside(const fs::path& target, IoError& error) {
    TempFile t;
    t.dir_ = target.parent_path();
    if (t.dir_.empty())
        t.dir_ = ".";
#ifdef O_TMPFILE
    // An unnamed file first: if the process dies while writing, nothing is left behind.
    int fd = ::open(t.dir_.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
        t.file_ = File(fd);
        t.committed_ = false;
        return t;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT) {
        error = errorOf(errno);
        return {};
    }
#endif
    const std::string stem = tempStem(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path name = t.dir_ / (stem + randomSuffix());
        int f = ::open(name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0600);
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

bool TempFile::Commit(const fs::path& target, IoError& error) {
    const int fd = static_cast<int>(file_.handle_);
    // The finished target keeps the rights (and, where allowed, the owner) of the earlier one.
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
            // Not permitted for an ordinary user; the file then belongs to whoever wrote it.
        }
        ::fchmod(fd, old.st_mode & 07777);
    } else {
        ::fchmod(fd, newFileMode());
    }
    if (name_.empty()) {
        // Give the unnamed file a name beside the target, then rename that over the target.
        const std::string link = "/proc/self/fd/" + std::to_string(fd);
        const std::string stem = tempStem(target);
        for (int attempt = 0; attempt < 100 && name_.empty(); ++attempt) {
            fs::path name = dir_ / (stem + randomSuffix());
            if (::linkat(AT_FDCWD, link.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
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
    if (::fchmodat(AT_FDCWD, path.c_str(), (st.st_mode & 07777) | S_IWUSR,
                   AT_SYMLINK_NOFOLLOW) != 0) {
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
    // First without writing: in a short listing, an entry whose other spelling is not listed
    // by itself but can be looked up shows a folder that ignores case.
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
        for (const std::string& name : complete ? names : std::vector<std::string>{}) {
            const std::string other = swapCase(name);
            if (other.empty() || std::find(names.begin(), names.end(), other) != names.end())
                continue;
            return nameExists(dir / other);
        }
    }
    // Then with a file of our own, created in lower case and looked up in upper case.
    static std::atomic<unsigned> counter{0};
    const std::string lower = ".zr-case-probe-" + std::to_string(::getpid()) + "-" +
                              std::to_string(counter.fetch_add(1));
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
