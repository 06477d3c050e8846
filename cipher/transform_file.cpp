#include "transform_file.h"

#include "file_io.h"
#include "read_ahead.h"

#include <cmath>
#include <cstring>
#include <memory>

namespace zr {

namespace fs = std::filesystem;

namespace {

// A job that writes at most this much is over in well under a millisecond.
constexpr std::int64_t kBriefJob = 1 << 20;

// Bytes move between the disk and memory in chunks of several blocks (fewer system calls);
// progress is still reported once per 32768-byte block, in order.
static_assert(ReadAhead::kChunk % kTransformBlock == 0);

TransformResult fail(TransformStep step, const fs::path& path, const io::IoError& e) {
    TransformResult r;
    r.step = step;
    r.path = path;
    r.code = e.code;
    r.reason = e.reason;
    return r;
}

TransformResult fail(TransformStep step, const fs::path& path, std::string reason) {
    TransformResult r;
    r.step = step;
    r.path = path;
    r.reason = std::move(reason);
    return r;
}

bool cancelled(const TransformOptions& o) {
    return o.cancel && o.cancel->load(std::memory_order_relaxed);
}

// Whether the source still ends at length: one byte read there must find the end of the file.
bool sourceEndsAt(io::File& source, std::int64_t length, io::IoError& e) {
    char probe = 0;
    std::size_t got = 0;
    if (!source.ReadAt(length, &probe, 1, got, e))
        return false;
    if (got != 0) {
        e = io::IoError{0, kSourceChangedReason};
        return false;
    }
    return true;
}

// Reads the source again, transforms it afresh and compares it with what target holds; the
// caller has flushed target to the device. modified is the source's time when it was read.
TransformResult compareTarget(io::File& target, const fs::path& targetPath, io::File& source,
                              const fs::path& sourcePath, std::int32_t seed, std::int64_t length,
                              std::int64_t modified, const TransformOptions& options,
                              bool refetched = false) {
    io::IoError e;
    if (!refetched)
        target.DropCache();
    auto actual = std::make_unique<std::uint8_t[]>(ReadAhead::kChunk);
    {
        ReadAhead expected(source, seed, length);
        for (std::int64_t done = 0; done < length;) {
            if (cancelled(options))
                return fail(TransformStep::Cancelled, targetPath, "已取消");
            ReadAhead::Chunk chunk;
            if (!expected.Next(chunk, e))
                return fail(TransformStep::Read, sourcePath, e);
            std::size_t got = 0;
            if (!target.ReadAt(done, actual.get(), chunk.size, got, e))
                return fail(TransformStep::Verify, targetPath, e);
            if (got != chunk.size || std::memcmp(chunk.data, actual.get(), got) != 0) {
                // A source written to since it was read explains the difference; the target
                // is blamed only when the source is as it was.
                const io::EntryInfo now = source.Info(e);
                if (!e && (now.modified != modified || now.size != length))
                    return fail(TransformStep::Read, sourcePath, kSourceChangedReason);
                return fail(TransformStep::Verify, targetPath, "写入的内容校验不一致");
            }
            done += static_cast<std::int64_t>(got);
        }
    }
    // Bytes appended while the target was read back are not in it either.
    if (!sourceEndsAt(source, length, e))
        return fail(TransformStep::Read, sourcePath, e);
    return {};
}

// The same, after flushing target: what the device holds is what is compared.
TransformResult verifyTarget(io::TempFile& out, const fs::path& targetPath, io::File& source,
                             const fs::path& sourcePath, std::int32_t seed,
                             const io::EntryInfo& read, const TransformOptions& options) {
    io::IoError e;
    if (!out.Sync(e))
        return fail(TransformStep::Write, targetPath, e);
    return compareTarget(out.Handle(), targetPath, source, sourcePath, seed, read.size,
                         read.modified, options);
}

} // namespace

int ProgressPercent(std::int64_t done, std::int64_t length) {
    if (length <= 0)
        return 0;
    return static_cast<int>(
        std::floor(static_cast<double>(done) / static_cast<double>(length) * 100.0));
}

bool TransformResult::SourceSide() const {
    return step == TransformStep::OpenSource || step == TransformStep::Read;
}

namespace {

// Reports the blocks from done up to end.
void reportBlocks(const TransformProgress& progress, std::int64_t done, std::int64_t end,
                  std::int64_t length) {
    if (!progress)
        return;
    for (std::int64_t d = done; d < end;) {
        d = std::min(d + kTransformBlock, end);
        progress(d, length);
    }
}

// progress, passing on only values beyond reported (which it keeps up to date): a job started
// again after a first attempt does not report its blocks twice. Empty when progress is.
TransformProgress onlyFurther(const TransformProgress& progress, std::int64_t& reported) {
    if (!progress)
        return {};
    return [&progress, &reported](std::int64_t done, std::int64_t length) {
        if (done > reported) {
            reported = done;
            progress(done, length);
        }
    };
}

// Reads the length bytes of in through the keystream and hands them to put chunk by chunk
// (put(data, size, error) is false when it could not take them: a write failure), reporting
// every block, and makes sure the source ended there.
template <class Put>
TransformResult transformInto(io::File& in, const Put& put, const fs::path& source,
                              const fs::path& target, std::int32_t seed, std::int64_t length,
                              const TransformProgress& progress, const TransformOptions& options) {
    io::IoError e;
    bool endSeen = false;
    {
        // The next chunks are read and transformed on the second core while this one is written.
        ReadAhead chunks(in, seed, length);
        for (std::int64_t done = 0; done < length;) {
            if (cancelled(options))
                return fail(TransformStep::Cancelled, target, "已取消");
            ReadAhead::Chunk chunk;
            if (!chunks.Next(chunk, e))
                return fail(TransformStep::Read, source, e);
            if (!put(chunk.data, chunk.size, e))
                return fail(TransformStep::Write, target, e);
            const std::int64_t end = done + static_cast<std::int64_t>(chunk.size);
            reportBlocks(progress, done, end, length);
            done = end;
        }
        endSeen = chunks.EndSeen();
    }
    // A source that grew while it was read has bytes the target lacks; reporting success (and
    // then perhaps deleting the source) would lose them.
    if (!endSeen && !sourceEndsAt(in, length, e))
        return fail(TransformStep::Read, source, e);
    return {};
}

// One attempt of TransformFile. lookFirst: the target is looked up before anything is written;
// without, it is taken for missing. taken: a file took the missing target's name during the job,
// and nothing was replaced.
TransformResult transformOnce(const fs::path& source, const fs::path& target, std::int32_t seed,
                              const TransformProgress& progress, const TransformOptions& options,
                              bool lookFirst, bool& taken) {
    io::IoError e;
    io::EntryInfo read;
    io::File in = io::File::OpenRead(source, e, &read);
    if (!in.IsOpen())
        return fail(TransformStep::OpenSource, source, e);
    const std::int64_t length = read.size;

    // The same file under another name (letter case, "..", a link, a hard link) would be
    // destroyed by the rename; refuse before anything is written.
    io::TargetInfo earlier;
    if (lookFirst) {
        earlier = io::InspectTarget(target, e);
        if (e)
            return fail(TransformStep::OpenTarget, target, e);
        if (earlier.earlier.kind == io::EntryKind::Regular &&
            io::SameFile(source, read, earlier.real, earlier.earlier))
            return fail(TransformStep::SameFile, target, "源文件与目标文件是同一个文件");
    } else {
        earlier.name = earlier.real = target;
    }
    const bool replaces = earlier.earlier.kind == io::EntryKind::Regular;

    // A new target gets the source's rights (less the umask), so that a private file stays
    // private; its owner may always write it, so that a later job can replace it.
    io::TempFile out =
        io::TempFile::Create(std::move(earlier), e, (read.mode & 0777) | 0200, length <= kBriefJob);
    if (!out.Handle().IsOpen())
        return fail(TransformStep::OpenTarget, target, e);

    const auto write = [&out](const std::uint8_t* data, std::size_t size, io::IoError& error) {
        return out.Write(data, size, error);
    };
    if (TransformResult w =
            transformInto(in, write, source, target, seed, length, progress, options);
        !w.ok())
        return w;

    if (options.verify) {
        if (options.verifying)
            options.verifying();
        TransformResult v = verifyTarget(out, target, in, source, seed, read, options);
        if (!v.ok())
            return v;
    }
    if (!out.Commit(e)) {
        taken = !replaces && io::NameTaken(e);
        return fail(TransformStep::Commit, target, e);
    }
    TransformResult ok;
    ok.length = length;
    ok.source = read.id;
    return ok;
}

} // namespace

// One chunk: the file is written at once, so that progress reported afterwards tells the same
// as progress reported while writing.
static_assert(PreparedJob::kLimit <= static_cast<std::int64_t>(ReadAhead::kChunk));

void PreparedJob::Prepare(const fs::path& source, const fs::path& target, std::int32_t seed) {
    out_.Discard();
    result_ = {};
    prepared_ = true;
    io::IoError e;
    io::EntryInfo read;
    io::File in = io::File::OpenRead(source, e, &read);
    if (!in.IsOpen()) {
        result_ = fail(TransformStep::OpenSource, source, e);
        return;
    }
    if (read.size > kLimit) {
        prepared_ = false;
        return;
    }
    io::TargetInfo missing; // only its place is needed
    missing.real = target;
    out_ = io::TempFile::Create(std::move(missing), e, (read.mode & 0777) | 0200, true);
    if (!out_.Handle().IsOpen()) {
        result_ = fail(TransformStep::OpenTarget, target, e);
        return;
    }
    // Kept for Finish to write (one chunk at most).
    const auto keep = [this](const std::uint8_t* data, std::size_t size, io::IoError&) {
        if (!data_)
            data_ = std::make_unique_for_overwrite<std::uint8_t[]>(kLimit);
        std::memcpy(data_.get(), data, size);
        return true;
    };
    result_ = transformInto(in, keep, source, target, seed, read.size, {}, {});
    if (!result_.ok()) {
        out_.Discard();
        return;
    }
    result_.length = read.size;
    result_.source = read.id;
}

TransformResult PreparedJob::Finish(const fs::path& source, const fs::path& target,
                                    std::int32_t seed, const TransformProgress& progress,
                                    const TransformOptions& options) {
    if (!prepared_ || options.verify)
        return TransformFile(source, target, seed, progress, options);
    if (!result_.ok())
        return result_;
    // As a job in its turn stops before its first block.
    if (result_.length > 0 && cancelled(options)) {
        out_.Discard();
        return fail(TransformStep::Cancelled, target, "已取消");
    }
    io::IoError e;
    const std::int64_t length = result_.length;
    if (length > 0 && !out_.Write(data_.get(), static_cast<std::size_t>(length), e)) {
        out_.Discard();
        return fail(TransformStep::Write, target, e);
    }
    reportBlocks(progress, 0, length, length);
    if (out_.Commit(e))
        return result_;
    out_.Discard();
    if (!io::NameTaken(e))
        return fail(TransformStep::Commit, target, e);
    // A file took the name meanwhile: it is looked at, and the job runs again, reporting only
    // blocks beyond those reported already.
    TransformOptions again = options;
    again.targetMissing = false;
    std::int64_t reported = length;
    return TransformFile(source, target, seed, onlyFurther(progress, reported), again);
}

TransformResult TransformFile(const fs::path& source, const fs::path& target, std::int32_t seed,
                              const TransformProgress& progress, const TransformOptions& options) {
    // A file that takes a missing target's name while the job runs is looked at, and the job
    // starts again with it as the earlier file (replaced as any earlier file, or refused).
    // The progress of a job started again goes on from where the first attempt got to.
    bool lookFirst = !options.targetMissing;
    std::int64_t reported = 0;
    const TransformProgress further = onlyFurther(progress, reported);
    for (int attempt = 0;; ++attempt) {
        bool taken = false;
        TransformResult r =
            transformOnce(source, target, seed, further, options, lookFirst, taken);
        if (!taken || attempt == 2)
            return r;
        lookFirst = true;
    }
}

TransformResult VerifyTarget(const fs::path& source, const fs::path& target, std::int32_t seed,
                             const TransformResult& done, const std::atomic<bool>* cancel,
                             bool flushed) {
    io::IoError e;
    io::EntryInfo now;
    io::File in = io::File::OpenRead(source, e, &now);
    if (!in.IsOpen())
        return fail(TransformStep::OpenSource, source, e);
    const io::FileId sourceId = now.id;
    const std::int64_t length = now.size;
    if (!(sourceId == done.source) || length != done.length)
        return fail(TransformStep::Read, source, io::IoError{0, kSourceChangedReason});

    io::File out = io::File::OpenRead(target, e);
    if (!out.IsOpen())
        return fail(TransformStep::Verify, target, e);
    // A handle opened for reading flushes on POSIX; Windows flushes only through one that may
    // write.
    if (!flushed && !out.Sync(e)) {
        e = {};
        io::File writer = io::File::OpenWriteExisting(target, e);
        if (!writer.IsOpen() || !writer.Sync(e))
            return fail(TransformStep::Write, target, e);
    }
    TransformOptions options;
    options.cancel = cancel;
    TransformResult r =
        compareTarget(out, target, in, source, seed, length, now.modified, options, flushed);
    if (!r.ok())
        return r;
    r.length = length;
    r.source = sourceId;
    return r;
}

std::string FailureText(const TransformResult& r) {
    if (r.ok())
        return {};
    switch (r.step) {
    case TransformStep::Cancelled:
        return "操作已取消";
    default:
        break;
    }
    std::string text = r.SourceSide() ? "无法读取源文件：" : "无法写入目标文件：";
    const auto u8 = r.path.u8string();
    text.append(reinterpret_cast<const char*>(u8.data()), u8.size());
    if (!r.reason.empty())
        text += "（" + r.reason + "）";
    return text;
}

bool DeleteSource(const fs::path& source, const TransformResult& done, std::string& reason) {
    io::IoError e;
    const io::EntryInfo now = io::Stat(source, e);
    if (now.kind == io::EntryKind::Regular && !(now.id == done.source)) {
        reason = "源文件在处理过程中被另一个文件替换了，未删除";
        return false;
    }
    e = {};
    if (io::RemoveFile(source, e))
        return true;
    reason = e.reason;
    return false;
}

} // namespace zr
