#pragma once
// The few file operations the engine needs, behind one interface so that the transform job and
// the shredder stay platform-neutral. The POSIX and Win32 implementations live in
// file_io_posix.cpp and file_io_win.cpp.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace zr::io {

struct IoError {
    int code = 0;       // errno, or GetLastError() on Windows
    std::string reason; // the system's reason, in Simplified Chinese where we know the code
    explicit operator bool() const { return code != 0 || !reason.empty(); }
};

// Identifies a file independently of the name it was reached by.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileId&) const = default;
};

enum class EntryKind { Missing, Regular, Directory, Other };

struct EntryInfo {
    EntryKind kind = EntryKind::Missing;
    FileId id;
    std::int64_t size = 0;
    // Set by LinkStat for a symbolic link (a reparse point on Windows), whose kind is Other.
    bool link = false;
};

// Looks a path up, following links. Missing is not an error.
EntryInfo Stat(const std::filesystem::path& path, IoError& error);
// The same without following a final symbolic link; a link reports Other.
EntryInfo LinkStat(const std::filesystem::path& path, IoError& error);

class File {
public:
    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens a regular file for reading; anything else (a folder, FIFO, device) is refused
    // without blocking.
    static File OpenRead(const std::filesystem::path& path, IoError& error);
    // Opens an existing regular file for writing without cutting it, never following a final
    // symbolic link. Refuses anything but a regular file without blocking.
    static File OpenWriteExisting(const std::filesystem::path& path, IoError& error);

    bool IsOpen() const;
    std::int64_t Size(IoError& error) const;
    FileId Id(IoError& error) const;
    // Reads up to size bytes, fewer only at the end of the file; returns the count.
    std::size_t Read(void* buffer, std::size_t size, IoError& error);
    bool ReadAt(std::int64_t offset, void* buffer, std::size_t size, std::size_t& got,
                IoError& error);
    bool Write(const void* buffer, std::size_t size, IoError& error);
    bool WriteAt(std::int64_t offset, const void* buffer, std::size_t size, IoError& error);
    bool Truncate(std::int64_t length, IoError& error);
    // Flushes the data (and what is needed to read it back) to the device.
    bool Sync(IoError& error);
    // Asks the system to drop its cached pages, so that a read-back comes from the device.
    void DropCache();
    void Close();

    std::intptr_t Native() const { return handle_; }

private:
    explicit File(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t handle_ = -1;
    friend class TempFile;
};

// A new file beside a target, created exclusively and readable only by its owner while it is
// written. Commit gives it the rights of the earlier target (or those of a newly created file)
// and renames it over the target; destruction without Commit removes it.
class TempFile {
public:
    TempFile() = default;
    ~TempFile();
    TempFile(TempFile&&) noexcept;
    TempFile& operator=(TempFile&&) noexcept;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    static TempFile CreateBeside(const std::filesystem::path& target, IoError& error);
    File& Handle() { return file_; }
    bool Commit(const std::filesystem::path& target, IoError& error);
    void Discard();

private:
    File file_;
    std::filesystem::path name_; // empty while the file has no name yet
    std::filesystem::path dir_;
    bool committed_ = false;
};

// Deletes a file (a link itself, never what it points to). Returns false with the reason.
bool RemoveFile(const std::filesystem::path& path, IoError& error);
// Gives the owner write permission (clears the read-only attribute on Windows). A symbolic
// link is left alone, and so is the file it points to.
bool MakeWritable(const std::filesystem::path& path, IoError& error);
// Flushes the folder entry of path to the device, so that a rename or delete is durable.
void SyncParentFolder(const std::filesystem::path& path);

// Whether the file system compares the names in folder ignoring letter case (FAT, exFAT, SMB,
// NTFS, a case-folding ext4 folder). Found by a probe in that folder, never guessed from its
// name: some such drivers give each spelling of one name its own inode number, so comparing
// file identities alone does not show that two names lead to one file.
bool FolderIgnoresCase(const std::filesystem::path& folder);

// The system's reason for an error code, in Simplified Chinese where we know it.
std::string ReasonText(int code);

} // namespace zr::io
