#include "plan.h"

#include "key_recovery.h"
#include "target_name.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__)
#include <immintrin.h>
#endif
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace zr {

namespace fs = std::filesystem;

std::string Utf8Path(const fs::path& path) {
    // On POSIX the bytes pass through as they are; a Windows name with a lone surrogate cannot
    // be converted and is shown by a stand-in rather than ending the job.
    try {
        const auto u8 = path.u8string();
        return std::string(reinterpret_cast<const char*>(u8.data()), u8.size());
    } catch (const std::exception&) {
        return "（无法显示的文件名）";
    }
}

fs::path PathFromUtf8(std::string_view text) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

fs::path::string_type NativeFromUtf8(std::string_view text) {
#ifdef _WIN32
    return PathFromUtf8(text).native();
#else
    return fs::path::string_type(text);
#endif
}

namespace jobs {

Plan::Plan(std::initializer_list<PlanEntry> entries, bool deleteSources_)
    : deleteSources(deleteSources_) {
    Reserve(entries.size());
    for (const PlanEntry& e : entries)
        Add(e.source, e.target);
}

std::uint32_t Plan::folderIndex(Text folder) {
    // Most entries share the folder of the one before.
    if (!at_.empty() && folders_[at_.back().targetFolder] == folder)
        return at_.back().targetFolder;
    if (!at_.empty() && folders_[at_.back().sourceFolder] == folder)
        return at_.back().sourceFolder;
    const auto [it, added] = folderIndex_.try_emplace(std::basic_string<Char>(folder),
                                                      static_cast<std::uint32_t>(folders_.size()));
    if (added)
        folders_.emplace_back(folder);
    return it->second;
}

namespace {
// Where the name of a path's text begins: after its last separator (and root name).
std::size_t nameStart(const fs::path& path) {
    return path.native().size() - path.filename().native().size();
}
} // namespace

void Plan::Add(const fs::path& source, const fs::path& target) {
    const Plan::Text s = source.native(), t = target.native();
    const std::size_t sn = nameStart(source), tn = nameStart(target);
    Add(s.substr(0, sn), s.substr(sn), t.substr(0, tn), t.substr(tn));
}

void Plan::Add(const fs::path& source, Text targetFolder, Text targetName) {
    const Plan::Text s = source.native();
    const std::size_t sn = nameStart(source);
    Add(s.substr(0, sn), s.substr(sn), targetFolder, targetName);
}

void Plan::Add(Text sourceFolder, Text sourceName, Text targetFolder, Text targetName) {
    At at{};
    at.sourceFolder = folderIndex(sourceFolder);
    at.targetFolder = folderIndex(targetFolder);
    at.sourceName = names_.size();
    names_.append(sourceName);
    at.targetName = names_.size();
    names_.append(targetName);
    at_.push_back(at);
}

void Plan::Reserve(std::size_t entries) {
    at_.reserve(entries);
}

Plan::Text Plan::SourceName(std::size_t i) const {
    return Text(names_).substr(at_[i].sourceName, at_[i].targetName - at_[i].sourceName);
}

Plan::Text Plan::TargetName(std::size_t i) const {
    const std::size_t end = i + 1 < at_.size() ? at_[i + 1].sourceName : names_.size();
    return Text(names_).substr(at_[i].targetName, end - at_[i].targetName);
}

fs::path Plan::Source(std::size_t i) const {
    std::basic_string<Char> text(SourceFolder(i));
    text.append(SourceName(i));
    return fs::path(std::move(text));
}

fs::path Plan::Target(std::size_t i) const {
    std::basic_string<Char> text(TargetFolder(i));
    text.append(TargetName(i));
    return fs::path(std::move(text));
}

PlanEntry Plan::Entry(std::size_t i) const {
    return {Source(i), Target(i)};
}

namespace {

bool stopped(const std::atomic<bool>* cancel) {
    return cancel && cancel->load(std::memory_order_relaxed);
}

// Sources wait for their deletion until this many are written, or this many bytes: then one
// flush of the file systems covers all their targets, which are read back and compared one by
// one before each source goes. Flushing after every file would wait for the device once per
// file; the bounds keep the memory of a long list flat and the deletions close behind the work.
constexpr std::size_t kFlushFiles = 1024;
constexpr std::int64_t kFlushBytes = 256ll << 20;

// One entry's job. Its source is to be deleted when the result says so (remove); that happens
// in Pending::Flush, never before the target is on the device and read back equal, and never
// after a decryption whose result does not look like its type: the key was probably wrong,
// and the source is the only copy the right key opens.
FileOutcome runEntry(const Plan& plan, std::size_t i, std::int32_t seed, const PlanEvents& events,
                     const std::atomic<bool>* cancel, bool targetMissing, PreparedJob& prepared,
                     bool& remove) {
    const PlanEntry entry = plan.Entry(i);
    FileOutcome out;
    out.entry = i;
    remove = false;
    TransformOptions options;
    options.cancel = cancel;
    options.targetMissing = targetMissing;
    out.result = prepared.Finish(entry.source, entry.target, seed, events.progress, options);
    if (!out.result.ok())
        return out;
    if (HasZrSuffix(Utf8Path(entry.source.filename())))
        out.suspicion = WrongKeySuspicion(entry.target).value_or(std::string());
    if (!(events.deleteSource ? events.deleteSource(i) : plan.deleteSources))
        return out;
    if (!out.suspicion.empty()) {
        out.sourceKept = true;
        return out;
    }
    remove = true;
    return out;
}

// A hint to the processor that this thread is waiting for another (and lends the core's
// resources to a sibling hardware thread meanwhile).
inline void pause() {
#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__)
    _mm_pause();
#else
    std::this_thread::yield();
#endif
}

// Prepares the brief jobs of the entries after the one at work, on a second thread: opening,
// reading and writing the next small files overlaps naming and reporting this one. Only entries
// whose target the check found missing are prepared (nothing there to look at or replace);
// every event still comes from the caller's thread, in plan order.
class Ahead {
public:
    Ahead(const Plan& plan, std::int32_t seed, std::vector<bool> eligible,
          const std::atomic<bool>* cancel)
        : plan_(plan), seed_(seed), eligible_(std::move(eligible)), cancel_(cancel) {
        try {
            worker_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            // Without a second thread every job simply runs in its turn.
        }
    }
    ~Ahead() {
        stop_ = true;
        wake();
        if (worker_.joinable())
            worker_.join();
    }
    Ahead(const Ahead&) = delete;
    Ahead& operator=(const Ahead&) = delete;

    // The job of entry i, prepared or not (null when the thread stopped before it); entries are
    // asked for in order, each once, and each is given back by Release before the next.
    PreparedJob* Take(std::size_t i) {
        if (!worker_.joinable())
            return nullptr;
        await([&] { return produced_.load() > i || finished_.load(); });
        return produced_.load() > i ? &ring_[i % kDepth] : nullptr;
    }
    // The job of entry i is done with. What is left of it is freed by the thread that made it,
    // when it reuses the place: memory handed between threads and freed by the other one costs
    // a contended lock in the allocator per block.
    void Release(std::size_t i) {
        if (!worker_.joinable())
            return;
        consumed_.store(i + 1);
        wake();
    }

private:
    // A few files ahead are enough to keep both threads busy; each holds an open file.
    static constexpr std::size_t kDepth = 32;

    void run() {
        try {
            prepare();
        } catch (const std::exception&) {
            // Out of memory, most likely: the rest of the entries run in their turn.
        }
        finished_ = true;
        wake();
    }

    void prepare() {
        for (std::size_t j = 0; j < plan_.Size(); ++j) {
            await([&] { return j - consumed_.load() < kDepth || stop_.load(); });
            if (stop_.load() || stopped(cancel_))
                break;
            // The place's earlier job is done with; what is left of it goes now, on this thread.
            PreparedJob& job = ring_[j % kDepth];
            if (eligible_[j])
                job.Prepare(plan_.Source(j), plan_.Target(j), seed_);
            else
                job = PreparedJob();
            produced_.store(j + 1);
            wake();
        }
    }

    // The two threads mostly wait for each other for a few microseconds: they ask again for a
    // while (a sleep and a wake-up per file would cost more than the file) before they sleep.
    template <class Ready>
    void await(Ready ready) {
        for (int spin = 0; spin < 20000; ++spin) {
            if (ready())
                return;
            pause();
        }
        std::unique_lock<std::mutex> lock(mutex_);
        ++sleepers_;
        changed_.wait(lock, ready);
        --sleepers_;
    }
    // After a change of the counts: wakes a thread that sleeps on them (sequentially consistent
    // with its going to sleep, so that no wake-up is lost).
    void wake() {
        if (sleepers_.load() == 0)
            return;
        { const std::lock_guard<std::mutex> lock(mutex_); }
        changed_.notify_all();
    }

    const Plan& plan_;
    const std::int32_t seed_;
    const std::vector<bool> eligible_;
    const std::atomic<bool>* cancel_;
    PreparedJob ring_[kDepth];           // entry j in ring_[j % kDepth]
    std::atomic<std::size_t> produced_{0}; // entries prepared (or passed over)
    std::atomic<std::size_t> consumed_{0}; // entries taken
    std::atomic<bool> finished_{false};
    std::atomic<bool> stop_{false};
    std::atomic<int> sleepers_{0};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread worker_;
};

// The outcomes not yet reported, in plan order: those whose sources wait for the flush, and
// every one after the first of them, so that the events keep the plan's order.
class Pending {
public:
    Pending(const Plan& plan, std::int32_t seed, const PlanEvents& events,
            const std::atomic<bool>* cancel, PlanResult& result)
        : plan_(plan), seed_(seed), events_(events), cancel_(cancel), result_(result) {}

    // Reports out at once, or after the sources before it were dealt with.
    void Add(FileOutcome out, bool remove) {
        if (!remove && items_.empty())
            return Report(out);
        if (remove)
            bytes_ += out.result.length;
        items_.push_back({std::move(out), remove});
        if (items_.size() >= kFlushFiles || bytes_ >= kFlushBytes)
            Flush();
    }

    void Flush() {
        std::vector<fs::path> targets;
        for (const Item& item : items_)
            if (item.remove)
                targets.push_back(plan_.Target(item.out.entry));
        // One flush for many files; a single one is flushed on its own in VerifyTarget.
        const bool flushed = targets.size() > 1 && io::FlushFileSystems(targets);
        if (flushed) {
            // All of them are asked of the device at once, then compared one by one.
            for (const fs::path& target : targets) {
                io::IoError e;
                io::File f = io::File::OpenRead(target, e);
                if (f.IsOpen())
                    f.Refetch();
            }
        }
        std::vector<fs::path> deleted; // one deleted source of each folder
        for (Item& item : items_) {
            if (item.remove)
                Delete(item.out, flushed, deleted);
            Report(item.out);
        }
        // The deletions are made durable too, once per folder.
        for (const fs::path& source : deleted)
            io::SyncParentFolder(source);
        items_.clear();
        bytes_ = 0;
    }

private:
    struct Item {
        FileOutcome out;
        bool remove = false;
    };

    void Delete(FileOutcome& out, bool flushed, std::vector<fs::path>& deleted) {
        const PlanEntry entry = plan_.Entry(out.entry);
        if (events_.verifying)
            events_.verifying(out.entry);
        TransformResult checked =
            VerifyTarget(entry.source, entry.target, seed_, out.result, cancel_, flushed);
        if (!checked.ok()) {
            out.result = std::move(checked);
            return;
        }
        // The target's name must be on the device before the source goes.
        if (!flushed)
            io::SyncParentFolder(entry.target);
        std::string reason;
        if (!DeleteSource(entry.source, out.result, reason)) {
            out.deleteError = reason.empty() ? std::string("未知原因") : reason;
            return;
        }
        out.sourceDeleted = true;
        const fs::path folder = entry.source.parent_path();
        if (std::none_of(deleted.begin(), deleted.end(),
                         [&](const fs::path& p) { return p.parent_path() == folder; }))
            deleted.push_back(entry.source);
    }

    void Report(const FileOutcome& out) {
        if (out.result.step == TransformStep::Cancelled)
            result_.cancelled = true;
        else if (out.ok())
            ++result_.done;
        else
            ++result_.failed;
        if (events_.fileDone)
            events_.fileDone(out);
    }

    const Plan& plan_;
    std::int32_t seed_;
    const PlanEvents& events_;
    const std::atomic<bool>* cancel_;
    PlanResult& result_;
    std::vector<Item> items_;
    std::int64_t bytes_ = 0;
};

} // namespace

std::string FailureText(const FileOutcome& outcome, const PlanEntry& entry) {
    if (outcome.heldBack)
        return "未处理 " + Utf8Path(entry.source) + "：" + ConflictReason(outcome.heldBack->kind);
    if (!outcome.result.ok())
        return zr::FailureText(outcome.result);
    if (!outcome.deleteError.empty())
        return "无法删除源文件：" + Utf8Path(entry.source) + "（" + outcome.deleteError + "）";
    if (outcome.sourceKept)
        return "未删除源文件 " + Utf8Path(entry.source) + "：" + outcome.suspicion;
    return {};
}

std::string SuspicionText(const FileOutcome& outcome, const PlanEntry& entry) {
    if (!outcome.ok() || outcome.suspicion.empty())
        return {};
    return Utf8Path(entry.target) + "：" + outcome.suspicion;
}

PlanResult RunPlan(const Plan& plan, std::int32_t seed, const PlanEvents& events,
                   const std::atomic<bool>* cancel) {
    PlanResult result;
    result.check = CheckPlan(plan);
    std::vector<const Conflict*> held(plan.Size(), nullptr);
    if (!result.check.ok()) {
        if (plan.onConflict == Plan::OnConflict::Refuse) {
            result.refused = true;
            return result;
        }
        for (const Conflict& c : result.check.conflicts) {
            const bool firstOfShared = c.kind == ConflictKind::SharedTarget && c.other > c.entry;
            if (!firstOfShared && !held[c.entry])
                held[c.entry] = &c;
        }
    }
    const std::vector<bool>& targetMissing = result.check.targetMissing; // one per entry
    // Jobs of new targets run ahead where there are several.
    std::optional<Ahead> ahead;
    if (plan.Size() > 1) {
        std::vector<bool> eligible(plan.Size());
        bool any = false;
        for (std::size_t i = 0; i < plan.Size(); ++i)
            any |= eligible[i] = !held[i] && targetMissing[i];
        if (any)
            ahead.emplace(plan, seed, std::move(eligible), cancel);
    }
    Pending pending(plan, seed, events, cancel, result);
    PreparedJob notPrepared;
    for (std::size_t i = 0; i < plan.Size(); ++i) {
        if (stopped(cancel)) {
            result.cancelled = true;
            break;
        }
        if (events.fileStarted)
            events.fileStarted(i);
        FileOutcome out;
        bool remove = false;
        PreparedJob* prepared = ahead ? ahead->Take(i) : nullptr;
        if (held[i]) {
            out.entry = i;
            out.heldBack = *held[i];
        } else {
            out = runEntry(plan, i, seed, events, cancel, targetMissing[i],
                           prepared ? *prepared : notPrepared, remove);
        }
        if (ahead)
            ahead->Release(i);
        const bool cancelledHere = out.result.step == TransformStep::Cancelled;
        pending.Add(std::move(out), remove);
        if (cancelledHere)
            break;
    }
    // What was prepared and not run goes before the flush, which may take a while.
    ahead.reset();
    // Jobs already done keep their promise: their targets are checked and their sources go
    // (unless the cancellation stops the check too, which then keeps them).
    pending.Flush();
    return result;
}

} // namespace jobs

} // namespace zr
