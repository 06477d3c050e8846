#pragma once
// Encrypts or decrypts every file directly inside one folder into a target folder, with one
// key, each file under its upper-case name with the ".ZR" rule: the listing becomes a plan.
// No window code: Form1 runs it on a worker thread, zr-cli runs it directly.

#include "key_seed.h"
#include "plan.h"
#include "transform_file.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zr {

// Receives one file of a folder listing: the folder joined with the name as it is on the
// disk, and ListedFileName of that name (UTF-8).
using ListedFile = std::function<void(const std::filesystem::path& source, std::string name)>;

// The listed name: blanks trimmed at both ends, ASCII letters in upper case (UpperCaseAscii, so
// a double-byte name keeps its characters). Other characters stay as they are: the target names
// only need to be the same on every system, and a full Unicode case mapping would make them
// depend on the library's tables.
std::string ListedFileName(std::string_view name);

// The regular files directly inside folder, hidden ones included; folders, FIFOs, sockets,
// devices, links to anything but a regular file and (on Windows) system files are left out
// without being opened. A link to a file is listed under the link's own name; a file whose name
// is blanks only is listed with an empty name, which gives no target name. Each is handed to
// add in the order the system lists them. Returns why the listing failed or stopped, empty when
// it ended.
std::string AutoListFiles(const std::filesystem::path& folder, const ListedFile& add);

// The path with trailing separators removed (a root stays as it is).
std::filesystem::path WithoutTrailingSeparator(const std::filesystem::path& folder);

// Removes the folder when it is empty; any failure is ignored. A link to a folder is never
// removed, whatever it points to.
void TryRemoveFolder(const std::filesystem::path& folder);

// What became of one listed file.
struct FolderFileOutcome {
    std::string name;             // the listed (upper-case) name
    std::filesystem::path source; // opened under its real name
    std::filesystem::path target; // TargetFolder + the name, with the ".ZR" rule
    bool transformed = false;     // the target was written completely
    bool sourceDeleted = false;
    std::string reason; // empty when everything asked for was done
    // For a file done whose decrypted result does not look like its type: the target and the
    // suspicion (jobs::SuspicionText). A file whose source stayed for it has a reason instead.
    std::string notice;
    bool ok() const { return reason.empty(); }
};

struct FolderJobResult {
    KeyError keyError = KeyError::None; // a refused key: nothing was listed or touched
    std::string listingError;           // the source folder could not be listed (fully)
    std::string folderError;            // the job was refused before any file (see Run)
    int doneCount = 0;
    int failedCount = 0;
    int suspectCount = 0; // files done, with a notice
    // The files that failed or have a notice, at most kMaxKeptFailures, in order.
    std::vector<FolderFileOutcome> failures;
    bool cancelled = false;
    bool sourceFolderRemoved = false;
};

class FolderJob {
public:
    // How many failures the result keeps with their reasons; the count covers all of them.
    static constexpr std::size_t kMaxKeptFailures = 20;

    // Folders may end in a separator or not.
    FolderJob(std::filesystem::path sourceFolder, std::filesystem::path targetFolder);

    // The key, as the window has it (UTF-16) or as a terminal gives it (UTF-8).
    void SetKey(std::u16string_view key) { seed_ = DeriveKeySeed(key); }
    void SetKey(std::string_view utf8Key) { seed_ = DeriveKeySeed(utf8Key); }
    // Delete each source after its verified job.
    void SetDeleteSource(bool on) { deleteSource_ = on; }
    // Checked before every file and between blocks.
    void SetCancelFlag(const std::atomic<bool>* cancel) { cancel_ = cancel; }

    // Called before each file (index from 0, of total), after each block of the current
    // file, when its target is read back before its source is deleted, and when each file is
    // finished. Files that the plan check holds back come first.
    std::function<void(const FolderFileOutcome& file, int index, int total)> onFileStart;
    TransformProgress onProgress;
    std::function<void()> onVerifying;
    std::function<void(const FolderFileOutcome& file)> onFileDone;

    // Refuses a key outside the limits before listing; refuses source and target folders that
    // are one folder; otherwise runs the listing as one plan, then removes the source folder
    // when the job has emptied it. Files whose targets conflict are held back without being
    // touched, except the first of several upper-case names that share one target ("a.txt"
    // and "A.TXT"): the others fail and keep their sources.
    FolderJobResult Run();

private:
    // The end of one listed file: its outcome counted and reported.
    void ProcessFolderFile(FolderFileOutcome& file, FolderJobResult& result);

    std::filesystem::path sourceFolder_;
    std::filesystem::path targetFolder_;
    KeySeed seed_ = DeriveKeySeed(std::string_view{});
    bool deleteSource_ = false;
    const std::atomic<bool>* cancel_ = nullptr;
};

namespace detail {
// Whether the system marks the file as a system file (Windows); false elsewhere.
bool IsSystemFile(const std::filesystem::path& path);
} // namespace detail

} // namespace zr
