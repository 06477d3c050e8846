#pragma once
// Every mode of work (one file, a folder, a list, zr-cli) is a plan: (source, target) pairs and
// what the caller asked for. A plan is checked as a whole before anything is opened for
// writing, then run one file at a time through the engine. Whether a source is deleted, and
// what has to be checked before, is decided here and nowhere else.

#include "transform_file.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zr::jobs {

struct PlanEntry {
    std::filesystem::path source;
    std::filesystem::path target;
};

// The entries are kept as text, each path split into its folder part (up to its last
// separator) and its name, every folder once: a list of a hundred thousand files takes a few
// megabytes, where as many path objects would take hundreds. Paths are made when asked for.
class Plan {
public:
    using Char = std::filesystem::path::value_type;
    using Text = std::basic_string_view<Char>;

    Plan(std::initializer_list<PlanEntry> entries = {}, bool deleteSources = false);

    // Adds an entry to run after those added before; paths are kept as they stand.
    void Add(const std::filesystem::path& source, const std::filesystem::path& target);
    // The same from the parts of the paths: each folder part empty or ending in a separator,
    // each name without one.
    void Add(Text sourceFolder, Text sourceName, Text targetFolder, Text targetName);
    // A source path with its target's parts (a folder of many targets given once as text).
    void Add(const std::filesystem::path& source, Text targetFolder, Text targetName);
    void Reserve(std::size_t entries);
    std::size_t Size() const { return at_.size(); }
    bool Empty() const { return at_.empty(); }
    PlanEntry Entry(std::size_t i) const;
    std::filesystem::path Source(std::size_t i) const;
    std::filesystem::path Target(std::size_t i) const;
    // The parts of an entry's paths: the folder part ends in a separator or is empty (a
    // bare name, a root name), and folder part + name is the path as it was added.
    Text SourceFolder(std::size_t i) const { return folders_[at_[i].sourceFolder]; }
    Text SourceName(std::size_t i) const;
    Text TargetFolder(std::size_t i) const { return folders_[at_[i].targetFolder]; }
    Text TargetName(std::size_t i) const;

    bool deleteSources = false; // delete each source after its own verified job
    // What a conflict does: refuses the whole plan (a list the user made), or holds back the
    // entries in conflict while the others run (a folder's listing); of entries that share a
    // target the first still runs.
    enum class OnConflict { Refuse, HoldBack } onConflict = OnConflict::Refuse;

private:
    struct At {
        std::uint32_t sourceFolder, targetFolder; // indices into folders_
        std::size_t sourceName, targetName;       // offsets into names_; each name ends where
                                                  // the next begins
    };
    std::uint32_t folderIndex(Text folder);

    std::vector<std::basic_string<Char>> folders_;
    std::unordered_map<std::basic_string<Char>, std::uint32_t> folderIndex_;
    std::basic_string<Char> names_;
    std::vector<At> at_;
};

enum class ConflictKind {
    NoTargetName, // the target names no file ("…/", "…/.", "…/.."): a ".ZR" rule left nothing
    SameFile,     // the target is the entry's own source, under this or another name
    SharedTarget, // another entry writes the same target
    TargetIsSource, // the target is another entry's source
    SourceIsTarget, // the source is another entry's target
};

struct Conflict {
    std::size_t entry = 0;
    ConflictKind kind = ConflictKind::SameFile;
    std::size_t other = 0; // the entry it conflicts with; entry itself for SameFile
};

struct PlanCheck {
    std::vector<Conflict> conflicts; // ordered by entry; an entry may have several
    // Per entry: no file was at its target (the job need not look again; see TransformOptions).
    std::vector<bool> targetMissing;
    bool ok() const { return conflicts.empty(); }
    // Each conflicting entry once, in plan order.
    std::vector<std::size_t> Entries() const;
    // The first conflict of entry; entry must be one of Entries().
    const Conflict& FirstOf(std::size_t entry) const;
};

// Finds every conflict of the plan without writing anything but, where two names differ only in
// letter case, a probe of their folder (once per folder). Names are compared as the file system
// will resolve them: existing files by identity, others by their folder (links and ".." followed
// as far as it exists, and by identity where it exists) and their name, ignoring letter case
// where the folder does.
PlanCheck CheckPlan(const Plan& plan);

// Whether a target path ends in the name of a file: not empty, no separator at its end, and
// neither "." nor "..", which name folders.
bool NamesAFile(const std::filesystem::path& target);

// What a conflict means for its entry, in Simplified Chinese (UTF-8).
std::string ConflictReason(ConflictKind kind);
// The heading of a refused plan's list of entries.
inline constexpr char kConflictHeading[] = "下列文件的目标有冲突，未做任何处理：";

// What became of one entry.
struct FileOutcome {
    std::size_t entry = 0;
    std::optional<Conflict> heldBack; // set when the entry was not run for this conflict
    TransformResult result; // the engine's result; a failed check after the job replaces it
    bool sourceDeleted = false;
    std::string deleteError; // why a source that was to be deleted stays
    // After a job whose source name ends in ".ZR": the decrypted result does not look like the
    // type its target's name gives (WrongKeyText, "…密钥可能不对"). Empty when it looks right
    // or the type says nothing.
    std::string suspicion;
    // The source was to be deleted but stays because of the suspicion: the job is not done.
    bool sourceKept = false;
    bool ok() const { return !heldBack && result.ok() && deleteError.empty() && !sourceKept; }
};

// "无法读取源文件：…", "无法写入目标文件：…", "无法删除源文件：…", "未删除源文件 …：" and
// the suspicion or, for an entry held back, "未处理 …：" and the conflict; empty when ok.
std::string FailureText(const FileOutcome& outcome, const PlanEntry& entry);
// For an entry done whose result looks wrong: the target, "：" and the suspicion, for the lists
// that follow a batch or a folder job; empty otherwise.
std::string SuspicionText(const FileOutcome& outcome, const PlanEntry& entry);

// Called on the thread that runs the plan, each in plan order. A source to be deleted waits for
// the flush that covers its target, with up to 1024 files or 256 MiB after it: its verifying
// and fileDone, and those of the entries after it, then come after later files have started.
struct PlanEvents {
    std::function<void(std::size_t entry)> fileStarted;
    TransformProgress progress; // after every block of the file at work
    // The written target is being read back and compared before its source is deleted.
    std::function<void(std::size_t entry)> verifying;
    std::function<void(const FileOutcome&)> fileDone;
    // Asked at the end of each job, once its target is in place, whether the source goes (a
    // check box the user may change during the run). When unset, the plan's deleteSources
    // decides. Either way the target is checked in place, after the flush.
    std::function<bool(std::size_t entry)> deleteSource;
};

struct PlanResult {
    PlanCheck check;
    bool refused = false; // the plan had conflicts and refuses them: nothing was touched
    int done = 0;         // entries that were done completely
    int failed = 0;       // held back ones included
    bool cancelled = false;
};

// Checks the plan, then, unless it refuses its conflicts, runs its entries in order with the
// key seed. cancel is looked at before each file and between blocks; the file at work is then
// left as the engine leaves a cancelled job, and no further file starts. Sources whose targets
// were written before are checked and deleted unless the cancellation stops their check too,
// which keeps them.
PlanResult RunPlan(const Plan& plan, std::int32_t seed, const PlanEvents& events = {},
                   const std::atomic<bool>* cancel = nullptr);

} // namespace zr::jobs

namespace zr {

// Text of a path in UTF-8, for messages; never throws. On POSIX the name's bytes as they are,
// valid UTF-8 or not.
std::string Utf8Path(const std::filesystem::path& path);
std::filesystem::path PathFromUtf8(std::string_view text);
// The same as the system's text, without making a path of it (on POSIX the bytes themselves).
std::filesystem::path::string_type NativeFromUtf8(std::string_view text);

} // namespace zr
