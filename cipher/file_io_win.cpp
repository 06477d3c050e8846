#include "file_io.h"

#include "file_io_detail.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <random>

namespace zr::io {

namespace fs = std::filesystem;

namespace {

constexpr std::intptr_t kNoHandle = -1;    // INVALID_HANDLE_VALUE
constexpr DWORD kDiskQuotaExceeded = 1295; // ERROR_DISK_QUOTA_EXCEEDED, missing from some SDKs

HANDLE toHandle(std::intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}
std::intptr_t fromHandle(HANDLE h) {
    return reinterpret_cast<std::intptr_t>(h);
}

IoError errorOf(DWORD code) {
    return {static_cast<int>(code), ReasonText(static_cast<int>(code))};
}
IoError lastError() {
    return errorOf(::GetLastError());
}

// The wide path the calls receive. A long absolute path gets the \\?\ prefix, which lifts the
// 260-character limit; that form takes no "." or ".." and no forward slashes, hence the
// normalisation.
std::wstring native(const fs::path& path) {
    std::wstring w = path.native();
    if (w.size() < 240)
        return w;
    fs::path full = path.is_absolute() ? path : fs::absolute(path);
    w = full.lexically_normal().make_preferred().native();
    if (w.rfind(L"\\\\?\\", 0) == 0)
        return w;
    if (w.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + w.substr(2);
    return L"\\\\?\\" + w;
}

bool missing(DWORD code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

// A symbolic link or a junction; other reparse points (deduplicated or cloud files) are
// ordinary files to the user.
bool isLink(HANDLE h, DWORD attributes) {
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag))
        return true;
    return tag.ReparseTag == IO_REPARSE_TAG_SYMLINK || tag.ReparseTag == IO_REPARSE_TAG_MOUNT_POINT;
}

FileId idOf(const BY_HANDLE_FILE_INFORMATION& info) {
    return {info.dwVolumeSerialNumber,
            (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// What the handle information tells besides the kind.
void fillFrom(const BY_HANDLE_FILE_INFORMATION& info, EntryInfo& entry) {
    entry.id = idOf(info);
    entry.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) |
                                           info.nFileSizeLow);
    // 100-nanosecond steps since 1601.
    const std::uint64_t t =
        (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
        info.ftLastWriteTime.dwLowDateTime;
    entry.modified = (static_cast<std::int64_t>(t) - 116444736000000000) * 100;
    entry.links = info.nNumberOfLinks;
    entry.mode = info.dwFileAttributes;
}

EntryInfo statWith(const fs::path& path, bool followLinks, IoError& error) {
    const DWORD flags =
        FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    HANDLE h = ::CreateFileW(native(path).c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        if (!missing(code) && code != ERROR_INVALID_NAME)
            error = errorOf(code);
        return {};
    }
    EntryInfo entry;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(h, &info)) {
        // Devices such as NUL or CON have no file information: they are not files.
        entry.kind = EntryKind::Other;
        ::CloseHandle(h);
        return entry;
    }
    fillFrom(info, entry);
    if (!followLinks && isLink(h, info.dwFileAttributes)) {
        entry.kind = EntryKind::Other;
        entry.link = true;
    } else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        entry.kind = EntryKind::Directory;
    else if (::GetFileType(h) == FILE_TYPE_DISK)
        entry.kind = EntryKind::Regular;
    else
        entry.kind = EntryKind::Other;
    ::CloseHandle(h);
    return entry;
}

// Opens a regular file; a folder, a device or a pipe is refused before anything reads or
// writes it.
HANDLE openRegular(const fs::path& path, DWORD access, DWORD share, DWORD flags, IoError& error) {
    const std::wstring name = native(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        error = {ERROR_DIRECTORY, "这是一个文件夹，不是文件"};
        return INVALID_HANDLE_VALUE;
    }
    HANDLE h = ::CreateFileW(name.c_str(), access, share, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL | flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = lastError();
        return h;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(h, &info) != 0;
    if ((flags & FILE_FLAG_OPEN_REPARSE_POINT) && known && isLink(h, info.dwFileAttributes)) {
        error = {ERROR_CANT_ACCESS_FILE, "这是一个符号链接"};
    } else if (known && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = {ERROR_DIRECTORY, "这是一个文件夹，不是文件"};
    } else if (!known || ::GetFileType(h) != FILE_TYPE_DISK) {
        error = {ERROR_BAD_FILE_TYPE, "不是普通文件"};
    } else {
        return h;
    }
    ::CloseHandle(h);
    return INVALID_HANDLE_VALUE;
}

std::wstring randomSuffix() {
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    static const wchar_t digits[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
    std::wstring s(8, L'x');
    for (wchar_t& c : s)
        c = digits[rng() % (sizeof digits / sizeof digits[0] - 1)];
    return s;
}

// ReadFile and WriteFile take 32-bit counts.
constexpr std::size_t kMaxIo = 1u << 30;

OVERLAPPED at(std::int64_t offset) {
    OVERLAPPED o{};
    o.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xffffffffu);
    o.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    return o;
}

std::string utf8(const wchar_t* w, int n) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, w, n, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, w, n, s.data(), size, nullptr, nullptr);
    return s;
}

} // namespace

EntryInfo Stat(const fs::path& path, IoError& error) {
    return statWith(path, true, error);
}
EntryInfo LinkStat(const fs::path& path, IoError& error) {
    return statWith(path, false, error);
}

File File::OpenRead(const fs::path& path, IoError& error, EntryInfo* info) {
    // Others may go on reading and writing, as with a POSIX descriptor.
    File f(fromHandle(openRegular(path, GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  FILE_FLAG_SEQUENTIAL_SCAN, error)));
    if (info && f.IsOpen())
        *info = f.Info(error);
    return f;
}

File File::OpenWriteExisting(const fs::path& path, IoError& error) {
    return File(fromHandle(openRegular(path, GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       FILE_FLAG_OPEN_REPARSE_POINT, error)));
}

bool File::IsOpen() const {
    return handle_ != kNoHandle && handle_ != 0;
}

void File::Close() {
    if (IsOpen())
        ::CloseHandle(toHandle(handle_));
    handle_ = kNoHandle;
}

std::int64_t File::Size(IoError& error) const {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(toHandle(handle_), &size)) {
        error = lastError();
        return -1;
    }
    return size.QuadPart;
}

EntryInfo File::Info(IoError& error) const {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(toHandle(handle_), &info)) {
        error = lastError();
        return {};
    }
    EntryInfo entry;
    entry.kind = EntryKind::Regular; // only regular files are opened
    fillFrom(info, entry);
    return entry;
}

FileId File::Id(IoError& error) const {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(toHandle(handle_), &info)) {
        error = lastError();
        return {};
    }
    return idOf(info);
}

std::size_t File::Read(void* buffer, std::size_t size, IoError& error) {
    auto* p = static_cast<char*>(buffer);
    std::size_t got = 0;
    while (got < size) {
        DWORD n = 0;
        if (!::ReadFile(toHandle(handle_), p + got,
                        static_cast<DWORD>(std::min(size - got, kMaxIo)), &n, nullptr)) {
            error = lastError();
            break;
        }
        if (n == 0)
            break;
        got += n;
    }
    return got;
}

// The positioned calls move the file pointer as a side effect (POSIX pread does not); the
// engine never mixes them with Read and Write on one handle in a way that depends on it.
bool File::ReadAt(std::int64_t offset, void* buffer, std::size_t size, std::size_t& got,
                  IoError& error) {
    auto* p = static_cast<char*>(buffer);
    got = 0;
    while (got < size) {
        OVERLAPPED o = at(offset + static_cast<std::int64_t>(got));
        DWORD n = 0;
        if (!::ReadFile(toHandle(handle_), p + got,
                        static_cast<DWORD>(std::min(size - got, kMaxIo)), &n, &o)) {
            const DWORD code = ::GetLastError();
            if (code == ERROR_HANDLE_EOF)
                break;
            error = errorOf(code);
            return false;
        }
        if (n == 0)
            break;
        got += n;
    }
    return true;
}

bool File::ReadOnceAt(std::int64_t offset, void* buffer, std::size_t size, std::size_t& got,
                      IoError& error) {
    OVERLAPPED o = at(offset);
    DWORD n = 0;
    got = 0;
    if (!::ReadFile(toHandle(handle_), buffer, static_cast<DWORD>(std::min(size, kMaxIo)), &n,
                    &o)) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_HANDLE_EOF)
            return true;
        error = errorOf(code);
        return false;
    }
    got = n;
    return true;
}

bool File::Write(const void* buffer, std::size_t size, IoError& error) {
    const auto* p = static_cast<const char*>(buffer);
    for (std::size_t put = 0; put < size;) {
        DWORD n = 0;
        if (!::WriteFile(toHandle(handle_), p + put,
                         static_cast<DWORD>(std::min(size - put, kMaxIo)), &n, nullptr)) {
            error = lastError();
            return false;
        }
        put += n;
    }
    return true;
}

bool File::WriteAt(std::int64_t offset, const void* buffer, std::size_t size, IoError& error) {
    const auto* p = static_cast<const char*>(buffer);
    for (std::size_t put = 0; put < size;) {
        OVERLAPPED o = at(offset + static_cast<std::int64_t>(put));
        DWORD n = 0;
        if (!::WriteFile(toHandle(handle_), p + put,
                         static_cast<DWORD>(std::min(size - put, kMaxIo)), &n, &o)) {
            error = lastError();
            return false;
        }
        put += n;
    }
    return true;
}

bool File::Truncate(std::int64_t length, IoError& error) {
    // SetEndOfFile cuts at the file pointer; the pointer is put back afterwards, so that the
    // call behaves like ftruncate.
    const HANDLE h = toHandle(handle_);
    LARGE_INTEGER zero{}, current{}, target{};
    target.QuadPart = length;
    if (!::SetFilePointerEx(h, zero, &current, FILE_CURRENT) ||
        !::SetFilePointerEx(h, target, nullptr, FILE_BEGIN) || !::SetEndOfFile(h)) {
        error = lastError();
        ::SetFilePointerEx(h, current, nullptr, FILE_BEGIN);
        return false;
    }
    ::SetFilePointerEx(h, current, nullptr, FILE_BEGIN);
    return true;
}

bool File::Sync(IoError& error) {
    if (!::FlushFileBuffers(toHandle(handle_))) {
        error = lastError();
        return false;
    }
    return true;
}

// Windows offers no way to drop one file's cached pages through an open handle; after
// FlushFileBuffers the read-back compares with what the system holds for the device.
void File::DropCache() {}
void File::Refetch() {}

TargetInfo InspectTarget(const fs::path& target, IoError& error) {
    TargetInfo t;
    t.name = target;
    t.real = target;
    const EntryInfo self = statWith(target, false, error);
    if (!self.link) {
        t.earlier = self;
        return t;
    }
    t.link = true;
    // The file at the end of the link, by the name the system gives it; a link that leads
    // nowhere keeps earlier Missing.
    HANDLE h = ::CreateFileW(native(target).c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (!missing(::GetLastError()))
            error = lastError();
        return t;
    }
    std::wstring real(32768, L'\0');
    const DWORD n = ::GetFinalPathNameByHandleW(h, real.data(), static_cast<DWORD>(real.size()),
                                                FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    ::CloseHandle(h);
    if (n == 0 || n >= real.size()) {
        error = lastError();
        return t;
    }
    real.resize(n);
    t.real = real;
    t.earlier = statWith(t.real, true, error);
    return t;
}

namespace detail {

bool UserMayWrite(const TargetInfo& t, IoError& error) {
    if (t.earlier.mode & FILE_ATTRIBUTE_READONLY) {
        error = errorOf(ERROR_ACCESS_DENIED);
        return false;
    }
    // The access rights of the file itself; a file that another program holds open is a
    // matter for the replacement, which reports it.
    HANDLE h = ::CreateFileW(native(t.real).c_str(), FILE_WRITE_DATA,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        ::CloseHandle(h);
        return true;
    }
    if (::GetLastError() != ERROR_ACCESS_DENIED)
        return true;
    error = errorOf(ERROR_ACCESS_DENIED);
    return false;
}

namespace {

std::string decimalOf(const FILETIME& t) {
    return std::to_string((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

} // namespace

// The creation time of a process is absolute, to 100 nanoseconds: it tells processes apart
// across restarts, so the boot part stays constant here.
const Writer& OwnWriter() {
    static const Writer own = [] {
        Writer w;
        wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
        DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
        if (::GetComputerNameW(name, &size)) {
            std::uint32_t h = 2166136261u;
            for (DWORD i = 0; i < size; ++i)
                h = (h ^ static_cast<std::uint32_t>(name[i])) * 16777619u;
            do {
                w.host += "0123456789abcdefghijklmnopqrstuvwxyz"[h % 36];
                h /= 36;
            } while (h);
        }
        w.boot = "w";
        w.pid = ::GetCurrentProcessId();
        FILETIME created{}, exited{}, kernel{}, user{};
        if (::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user))
            w.start = decimalOf(created);
        else
            w.boot.clear();
        return w;
    }();
    return own;
}

std::optional<Writer> RunningProcess(std::uint64_t pid) {
    if (pid > 0xffffffffu)
        return std::nullopt;
    HANDLE h = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!h) {
        if (::GetLastError() == ERROR_INVALID_PARAMETER)
            return std::nullopt;
        Writer w = OwnWriter(); // there, but not ours to look at: counts as running
        w.pid = pid;
        w.start.clear();
        return w;
    }
    DWORD code = 0;
    FILETIME created{}, exited{}, kernel{}, user{};
    const bool ended = ::GetExitCodeProcess(h, &code) && code != STILL_ACTIVE;
    const bool timed = ::GetProcessTimes(h, &created, &exited, &kernel, &user) != 0;
    ::CloseHandle(h);
    if (ended)
        return std::nullopt;
    Writer w = OwnWriter();
    w.pid = pid;
    w.start = timed ? decimalOf(created) : std::string();
    return w;
}

// The writer is known to the 100 nanoseconds, so any file of a process that is gone may go.
void RemoveIfOwnFile(const fs::path& path) {
    const std::wstring name = native(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        ::DeleteFileW(name.c_str());
}

} // namespace detail

TempFile TempFile::Create(TargetInfo given, IoError& error, std::uint32_t, bool) {
    if (!detail::Replaceable(given, error))
        return {};
    TempFile t;
    t.target_ = std::move(given);
    const TargetInfo& target = t.target_;
    t.dir_ = target.real.parent_path();
    if (t.dir_.empty())
        t.dir_ = L".";
    RemoveLeftoverTempFiles(t.dir_);
    // A long target name is cut (never inside a surrogate pair) so that the temporary name
    // stays within the 255-character limit on one name.
    std::wstring kept = target.real.filename().wstring();
    if (kept.size() > 190) {
        std::size_t cut = 190;
        while (cut > 0 && kept[cut] >= 0xDC00 && kept[cut] <= 0xDFFF)
            --cut;
        kept.resize(cut);
    }
    const std::string writer = detail::WriterPart(detail::OwnWriter());
    const std::wstring stem = L"." + kept + L".zr-" + std::wstring(writer.begin(), writer.end());
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path name = t.dir_ / (stem + randomSuffix());
        // CREATE_NEW fails on any existing entry, a link included, so nothing else is opened.
        HANDLE h = ::CreateFileW(native(name).c_str(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            t.file_ = File(fromHandle(h));
            t.name_ = std::move(name);
            t.committed_ = false;
            return t;
        }
        const DWORD code = ::GetLastError();
        if (code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) {
            error = errorOf(code);
            return {};
        }
    }
    error = errorOf(ERROR_FILE_EXISTS);
    return {};
}

bool TempFile::Commit(IoError& error) {
    if (failed_) {
        error = failed_;
        return false;
    }
    const bool replaces = target_.earlier.kind == EntryKind::Regular;
    // An earlier file is replaced only by complete content on the disk, so a crash leaves the
    // old target or the whole new one.
    if (replaces && !synced_ && !Sync(error))
        return false;
    file_.Close();
    const std::wstring from = native(name_);
    const std::wstring to = native(target_.real);
    bool moved = false;
    if (replaces) {
        // ReplaceFileW keeps the earlier file's attributes, access rights and streams.
        moved = ::ReplaceFileW(to.c_str(), from.c_str(), nullptr,
                               REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS,
                               nullptr, nullptr) != 0;
    }
    // A new name is taken only if nothing has taken it meanwhile (NameTaken then).
    if (!moved && !::MoveFileExW(from.c_str(), to.c_str(),
                                 (replaces ? MOVEFILE_REPLACE_EXISTING : 0) |
                                     MOVEFILE_WRITE_THROUGH)) {
        error = lastError();
        return false;
    }
    name_.clear();
    committed_ = true;
    return true;
}

bool NameTaken(const IoError& error) {
    return error.code == ERROR_ALREADY_EXISTS || error.code == ERROR_FILE_EXISTS;
}

void TempFile::Discard() {
    file_.Close();
    if (!committed_ && !name_.empty())
        ::DeleteFileW(native(name_).c_str());
    name_.clear();
    committed_ = true;
}

bool RemoveFile(const fs::path& path, IoError& error) {
    const std::wstring name = native(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    // A link to a folder is removed as a folder entry; what it points to stays.
    const bool folderLink = attributes != INVALID_FILE_ATTRIBUTES &&
                            (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                            (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    if (folderLink ? !::RemoveDirectoryW(name.c_str()) : !::DeleteFileW(name.c_str())) {
        error = lastError();
        return false;
    }
    return true;
}

bool MakeWritable(const fs::path& path, IoError& error) {
    const std::wstring name = native(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = lastError();
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !(attributes & FILE_ATTRIBUTE_READONLY))
        return true;
    DWORD cleared = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    if (cleared == 0)
        cleared = FILE_ATTRIBUTE_NORMAL;
    if (!::SetFileAttributesW(name.c_str(), cleared)) {
        error = lastError();
        return false;
    }
    return true;
}

// Renames are written through (MOVEFILE_WRITE_THROUGH) and deletes are durable once the call
// returns on NTFS; a folder handle cannot be flushed without administrator rights.
void SyncParentFolder(const fs::path&) {}

// A volume can be flushed only by an administrator; each file is flushed on its own.
bool FlushFileSystems(const std::vector<fs::path>&) {
    return false;
}

// NTFS and FAT compare names ignoring case; a folder marked case-sensitive for the Linux
// subsystem is rare enough to be treated the same, which can only refuse more.
bool FolderIgnoresCase(const fs::path&) {
    return true;
}

std::string ReasonText(int code) {
    switch (code) {
    case 0:
        return {};
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
        return "文件或文件夹不存在";
    case ERROR_ACCESS_DENIED:
        return "没有访问权限";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return "文件正在被另一个程序使用";
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
        return "磁盘空间不足";
    case kDiskQuotaExceeded:
        return "超出磁盘配额";
    case ERROR_WRITE_PROTECT:
        return "磁盘处于写保护状态";
    case ERROR_NOT_READY:
        return "设备未就绪";
    case ERROR_FILE_TOO_LARGE:
        return "文件太大";
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_IO_DEVICE:
        return "输入/输出错误";
    case ERROR_DIRECTORY:
        return "这是一个文件夹，不是文件";
    case ERROR_INVALID_NAME:
        return "文件名、文件夹名或卷标语法不正确";
    case ERROR_FILENAME_EXCED_RANGE:
        return "文件名太长";
    case ERROR_TOO_MANY_OPEN_FILES:
        return "打开的文件太多";
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return "文件已经存在";
    case ERROR_NOT_SAME_DEVICE:
        return "不能跨磁盘移动";
    case ERROR_CANT_RESOLVE_FILENAME:
        return "符号链接层次太多";
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return "找不到网络路径";
    case ERROR_NETNAME_DELETED:
    case ERROR_UNEXP_NET_ERR:
        return "网络连接已断开";
    case ERROR_BAD_FILE_TYPE:
        return "不是普通文件";
    default:
        break;
    }
    // Anything else in the system's own words (in Chinese on a Chinese system).
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason = n ? utf8(text, static_cast<int>(n)) : std::string();
    if (text)
        ::LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == ' ' || reason.back() == '.'))
        reason.pop_back();
    return reason.empty() ? "错误代码 " + std::to_string(code) : reason;
}

} // namespace zr::io
