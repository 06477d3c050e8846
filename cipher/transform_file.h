#pragma once
// One source file through the keystream into one target file, block by block, with progress.

#include "file_io.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace zr {

// Progress is reported after every block of this many bytes (the last one may be shorter).
inline constexpr std::int64_t kTransformBlock = 32768;

// floor(done / length * 100), computed in double precision as the progress bars show it.
int ProgressPercent(std::int64_t done, std::int64_t length);

// Called after every block with the bytes done so far and the source length.
using TransformProgress = std::function<void(std::int64_t done, std::int64_t length)>;

enum class TransformStep {
    None,       // success
    OpenSource, // the source could not be opened, or is not a regular file
    OpenTarget, // the target could not be created (or its folder is missing)
    SameFile,   // source and target are one file under two names
    Read,       // reading the source failed, or it shrank during the job
    Write,      // writing the target failed (a full disk, a size limit)
    Verify,     // the target read back differs from the source transformed
    Commit,     // the finished target could not replace the earlier one
    Cancelled,  // the caller's cancellation flag was set
};

struct TransformResult {
    TransformStep step = TransformStep::None;
    std::filesystem::path path; // the file the failure concerns
    int code = 0;               // the system's error code, 0 where none applies
    std::string reason;         // the system's reason, Simplified Chinese, UTF-8
    std::int64_t length = 0;    // bytes of the source
    io::FileId source;          // the file that was read, whatever its name now leads to
    bool ok() const { return step == TransformStep::None; }
    // True when the failure concerns the source (reading) rather than the target (writing).
    bool SourceSide() const;
};

struct TransformOptions {
    // For callers that delete the source afterwards: flush the target to the disk, read it
    // back and compare it with the source transformed before reporting success.
    bool verify = false;
    // Checked between blocks; when set, the job stops and leaves the target as it was.
    const std::atomic<bool>* cancel = nullptr;
    // Called once the last block is written, when the read-back check of verify begins (it may
    // take as long as the job itself).
    std::function<void()> verifying;
    // The caller has found no file at the target (a plan checked as a whole): it is not looked
    // up again. Nothing is replaced on that word: a file that appears there meanwhile is found
    // when the new file takes the name, and the job then starts again as for an existing target.
    bool targetMissing = false;
};

// Transforms source into target with the keystream of seed. The target is written to a
// temporary file beside it and renamed over it only after the last byte, so a failure at any
// point leaves any earlier target unchanged and no partial or temporary file behind.
TransformResult TransformFile(const std::filesystem::path& source,
                              const std::filesystem::path& target, std::int32_t seed,
                              const TransformProgress& progress = {},
                              const TransformOptions& options = {});

// A brief job prepared ahead of its turn, on another thread: the source read and transformed,
// the new file created beside the target. Finish writes and names it in the caller's order.
// Only for a target found missing (see TransformOptions::targetMissing); until Finish the new
// file has no name (or a hidden temporary one), so a job that never finishes leaves nothing.
// One object may be prepared again and again (it keeps its buffer).
class PreparedJob {
public:
    // Sources of at most this many bytes are prepared.
    static constexpr std::int64_t kLimit = 64 * 1024;

    // Opens source and, when it holds at most kLimit bytes, reads and transforms it and creates
    // the new file for target. A larger source is left for TransformFile: Prepared() is then
    // false. A job prepared before and not finished is discarded.
    void Prepare(const std::filesystem::path& source, const std::filesystem::path& target,
                 std::int32_t seed);
    bool Prepared() const { return prepared_; }
    // The job's result as TransformFile gives it for the same paths and options: the content is
    // written and its blocks reported to progress, then the file takes target's name; a failure
    // found while preparing is returned as it stands. A file that took the name meanwhile is
    // looked at, and the job runs again. Not prepared, or asked to verify, it is TransformFile.
    TransformResult Finish(const std::filesystem::path& source,
                           const std::filesystem::path& target, std::int32_t seed,
                           const TransformProgress& progress, const TransformOptions& options);

private:
    io::TempFile out_;
    TransformResult result_; // a failure, or the length and identity of what was read
    std::unique_ptr<std::uint8_t[]> data_; // the content transformed, kLimit bytes
    bool prepared_ = false;
};

// Checks a target that a job has already put in place, for callers that decide on deleting the
// source only when the job has ended: flushes the target to the device, reads it back and
// compares it with the source transformed afresh. done is that job's result; a source that is
// no longer the file the job read, or has another length now, fails the check. flushed: the
// caller has flushed the target's file system since the job (io::FlushFileSystems) and asked
// for its content from the device again (io::File::Refetch).
TransformResult VerifyTarget(const std::filesystem::path& source,
                             const std::filesystem::path& target, std::int32_t seed,
                             const TransformResult& done, const std::atomic<bool>* cancel = nullptr,
                             bool flushed = false);

// The user-facing text of a failure: "无法读取源文件：…" or "无法写入目标文件：…" with the
// path and the reason (the same file under two names too). Empty for success.
std::string FailureText(const TransformResult& result);

// Deletes a source after its verified job done; the caller makes the deletion durable
// (io::SyncParentFolder), once for many. Returns false with the reason when it stays;
// it stays too when its name now leads to another file than the one that was read (one saved
// over it meanwhile), whose content the target does not have.
bool DeleteSource(const std::filesystem::path& source, const TransformResult& done,
                  std::string& reason);

} // namespace zr
