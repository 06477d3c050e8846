#include "plan.h"

#include "key_recovery.h"

#include <exception>
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

namespace jobs {

namespace {

bool stopped(const std::atomic<bool>* cancel) {
    return cancel && cancel->load(std::memory_order_relaxed);
}

// Whether a source name follows the ".ZR" rule for encrypted files (any letter case).
bool encryptedName(const fs::path& source) {
    const std::string name = Utf8Path(source.filename());
    if (name.size() < 3)
        return false;
    const std::string_view tail = std::string_view(name).substr(name.size() - 3);
    return tail[0] == '.' && (tail[1] == 'Z' || tail[1] == 'z') &&
           (tail[2] == 'R' || tail[2] == 'r');
}

// One entry: the engine's job, then, when its source is to go, the check and the deletion. A
// source is deleted only after its own job succeeded and its target was flushed, read back and
// found equal, and never after a decryption whose result does not look like its type: the key
// was probably wrong, and the source is the only copy the right key opens.
FileOutcome runEntry(const Plan& plan, std::size_t i, std::int32_t seed, const PlanEvents& events,
                     const std::atomic<bool>* cancel) {
    const PlanEntry& entry = plan.entries[i];
    const bool askAtEnd = static_cast<bool>(events.deleteSource);
    FileOutcome out;
    out.entry = i;
    TransformOptions options;
    options.cancel = cancel;
    options.verify = !askAtEnd && plan.deleteSources;
    if (events.verifying)
        options.verifying = [&] { events.verifying(i); };
    out.result = TransformFile(entry.source, entry.target, seed, events.progress, options);
    if (!out.result.ok())
        return out;
    if (encryptedName(entry.source))
        out.suspicion = WrongKeySuspicion(entry.target).value_or(std::string());
    if (!(askAtEnd ? events.deleteSource(i) : plan.deleteSources))
        return out;
    if (!out.suspicion.empty()) {
        out.sourceKept = true;
        return out;
    }
    if (askAtEnd) {
        // The job did not read its target back; it is checked where it now stands.
        if (events.verifying)
            events.verifying(i);
        TransformResult checked =
            VerifyTarget(entry.source, entry.target, seed, out.result, cancel);
        if (!checked.ok()) {
            out.result = std::move(checked);
            return out;
        }
    }
    std::string reason;
    if (DeleteSource(entry.source, out.result, reason))
        out.sourceDeleted = true;
    else
        out.deleteError = reason.empty() ? std::string("未知原因") : reason;
    return out;
}

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
    std::vector<const Conflict*> held(plan.entries.size(), nullptr);
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
    for (std::size_t i = 0; i < plan.entries.size(); ++i) {
        if (stopped(cancel)) {
            result.cancelled = true;
            break;
        }
        if (events.fileStarted)
            events.fileStarted(i);
        FileOutcome out;
        if (held[i]) {
            out.entry = i;
            out.heldBack = *held[i];
        } else {
            out = runEntry(plan, i, seed, events, cancel);
        }
        if (out.result.step == TransformStep::Cancelled)
            result.cancelled = true;
        else if (out.ok())
            ++result.done;
        else
            ++result.failed;
        if (events.fileDone)
            events.fileDone(out);
        if (result.cancelled)
            break;
    }
    return result;
}

} // namespace jobs

} // namespace zr
