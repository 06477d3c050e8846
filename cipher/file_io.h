#pragma once
// The few file operations the engine needs, behind one interface so that the transform job and
// the shredder stay platform-neutral. The POSIX and Win32 implementations live in
// file_io_posix.cpp and file_io_win.cpp.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

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
    std::int64_t modified = 0; // last change of the content, nanoseconds since 1970
    std::uint64_t links = 1;   // names that lead to the file (hard links)
    std::uint32_t mode = 0;    // POSIX mode bits; the attribute word on Windows
    std::uint32_t owner = 0;   // POSIX user and group ids; 0 on Windows
    std::uint32_t group = 0;
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
    // without blocking. info, when given, receives what Info() would tell of the open file.
    static File OpenRead(const std::filesystem::path& path, IoError& error,
                         EntryInfo* info = nullptr);
    // Opens an existing regular file for writing without cutting it, never following a final
    // symbolic link. Refuses anything but a regular file without blocking.
    static File OpenWriteExisting(const std::filesystem::path& path, IoError& error);

    bool IsOpen() const;
    std::int64_t Size(IoError& error) const;
    FileId Id(IoError& error) const;
    // Identity, size and times of the open file in one call.
    EntryInfo Info(IoError& error) const;
    // Reads up to size bytes, fewer only at the end of the file; returns the count.
    std::size_t Read(void* buffer, std::size_t size, IoError& error);
    bool ReadAt(std::int64_t offset, void* buffer, std::size_t size, std::size_t& got,
                IoError& error);
    // One read request: got may be short anywhere, though for a regular file a short count
    // means the end of the file as the system knew it then.
    bool ReadOnceAt(std::int64_t offset, void* buffer, std::size_t size, std::size_t& got,
                    IoError& error);
    bool Write(const void* buffer, std::size_t size, IoError& error);
    bool WriteAt(std::int64_t offset, const void* buffer, std::size_t size, IoError& error);
    bool Truncate(std::int64_t length, IoError& error);
    // Flushes the data (and what is needed to read it back) to the device.
    bool Sync(IoError& error);
    // Asks the system to drop its cached pages, so that a read-back comes from the device.
    void DropCache();
    // The same, and asks the device for the content again in the background: many files read
    // back one after the other then come from the device in parallel.
    void Refetch();
    void Close();

    std::intptr_t Native() const { return handle_; }

private:
    explicit File(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t handle_ = -1;
    friend class TempFile;
};

// The file that writing a target would replace, looked up once before anything is written.
struct TargetInfo {
    std::filesystem::path name; // as the caller gave it
    // Where the new file goes: name itself, or the file a symbolic link at name leads to (the
    // link stays a link and leads to the new content).
    std::filesystem::path real;
    EntryInfo earlier; // what is at real now; Missing when nothing is (or a link leads nowhere)
    bool link = false; // name is a symbolic link
    // False for a link that the system would not follow for this user either: one in a
    // shared sticky folder (/tmp) that belongs neither to the user nor to the folder's owner.
    bool linkTrusted = true;
};

TargetInfo InspectTarget(const std::filesystem::path& target, IoError& error);

// A new file that replaces a target only once it is complete, the way its owner expects:
// created exclusively beside the file it replaces and, unless it is new and brief, readable
// only by its owner while it is written; Commit gives it the rights, owner and group (where the
// user may set them), access control lists and extended attributes of the earlier file, or those of
// a newly created file, and renames it over that file. Destruction without Commit removes it.
//
// Refused before anything is written: a target that is a folder or not a regular file, an
// earlier file the user may not write, one with other hard links (replacing it would leave
// them with the old content), a link that leads nowhere or that the system would not follow.
//
// What reaches the device before the rename is the same on every system: the new content and
// the rename when it replaces an earlier file (a crash then leaves the old file or the whole
// new one), nothing more for a new name (a crash may leave it short or missing, but nothing
// that existed is lost). Callers that delete a source afterwards flush first (Sync, or
// FlushFileSystems for many files). A write that failed is remembered, and Commit then fails
// with its reason.
//
// Where the file system has no unnamed files (FAT, NFS, most FUSE drivers; always on Windows),
// the temporary name tells which process writes it, so that a later job into the same folder
// can remove what a killed process of the same user left behind.
class TempFile {
public:
    TempFile() = default;
    ~TempFile();
    TempFile(TempFile&&) noexcept;
    TempFile& operator=(TempFile&&) noexcept;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // newRights: the POSIX rights a new file gets, less the umask (a private source makes a
    // private target); the earlier file's, when one is replaced. Ignored on Windows. brief: the
    // file is small and written at once; where the system's unnamed files cost more than that
    // (ext4), a named one is taken, which a kill may leave behind for the next job to remove.
    static TempFile Create(TargetInfo target, IoError& error, std::uint32_t newRights = 0666,
                           bool brief = false);
    static TempFile CreateBeside(const std::filesystem::path& target, IoError& error);
    // For reading back; writes go through Write, which remembers a failure.
    File& Handle() { return file_; }
    bool Write(const void* buffer, std::size_t size, IoError& error);
    bool Sync(IoError& error);
    bool Commit(IoError& error);
    void Discard();

private:
    File file_;
    TargetInfo target_;
    std::filesystem::path name_; // empty while the file has no name yet
    std::filesystem::path dir_;
    IoError failed_; // the first failed write
    std::uint32_t newRights_ = 0666;
    bool rightsAtCommit_ = true; // a named file was made private and gets its rights at Commit
    bool synced_ = false;
    bool committed_ = false;
};

// Whether Commit failed because a file took the name of a target that was missing when it was
// looked up: nothing was replaced, and the caller may look again and start over.
bool NameTaken(const IoError& error);

// The name part that marks a temporary file of a job (".report.doc.ZR" + this + the writer's
// identity); exposed for tests.
inline constexpr char kTempMarker[] = ".zr-";

// Removes, once per folder and process, the temporary files that jobs of this user left in
// folder when their process was killed or the machine lost power: those whose writer was
// started on this machine and no longer runs. Called by TempFile where files must be named.
void RemoveLeftoverTempFiles(const std::filesystem::path& folder);

// Deletes a file (a link itself, never what it points to). Returns false with the reason.
bool RemoveFile(const std::filesystem::path& path, IoError& error);
// Gives the owner write permission (clears the read-only attribute on Windows). A symbolic
// link is left alone, and so is the file it points to.
bool MakeWritable(const std::filesystem::path& path, IoError& error);
// Flushes the folder entry of path to the device, so that a rename or delete is durable.
void SyncParentFolder(const std::filesystem::path& path);
// Flushes everything written so far to the file systems that hold these files, contents and
// names, with one request per file system: many small files flushed one by one would wait for
// the device once each. Returns false where the system offers no such request (Windows); the
// caller then flushes each file itself.
bool FlushFileSystems(const std::vector<std::filesystem::path>& files);

// Whether two paths lead to one file. Besides the identity of the file (links, hard links,
// ".."), names that differ only in letter case are one file in a folder that ignores case,
// whatever the driver says of their identities.
bool SameFile(const std::filesystem::path& a, const EntryInfo& aInfo,
              const std::filesystem::path& b, const EntryInfo& bInfo);

// Whether the file system compares the names in folder ignoring letter case (FAT, exFAT, SMB,
// NTFS, a case-folding ext4 folder). Found by a probe in that folder, never guessed from its
// name: some such drivers give each spelling of one name its own inode number, so comparing
// file identities alone does not show that two names lead to one file.
bool FolderIgnoresCase(const std::filesystem::path& folder);

// The system's reason for an error code, in Simplified Chinese where we know it.
std::string ReasonText(int code);

} // namespace zr::io
