#include "cli_support.h"
#include "commands.h"

#include "plan.h"
#include "target_name.h"

#include <filesystem>
#include <optional>

namespace zr::cli {

namespace fs = std::filesystem;

namespace {

// Adds one source with its target, as the multi-file window lists it: beside the source, or
// in the folder (given as its text with a separator at the end) under the source's bare name;
// then the ".ZR" rule.
void add(jobs::Plan& plan, const fs::path& source, const std::string& text,
         const std::optional<fs::path::string_type>& folder) {
    if (!folder)
        return plan.Add(source, PathFromUtf8(TargetNameFor(text)));
    plan.Add(source, *folder, NativeFromUtf8(TargetNameFor(Utf8Path(source.filename()))));
}

} // namespace

int RunBatch(int argc, char** argv, int first) {
    const Args args = ParseArgs(argc, argv, first, {"--key-stdin", "--delete-source"}, {"--to"});
    if (!args.error.empty()) {
        PrintUsageError(args.error);
        return kExitUsage;
    }
    const std::optional<std::string> folder = args.Value("--to");
    if (args.positional.empty() || (folder && folder->empty())) {
        PrintUsageError("batch 需要至少一个源文件；--to 需要一个文件夹");
        return kExitUsage;
    }
    jobs::Plan plan;
    plan.deleteSources = args.Has("--delete-source");
    plan.Reserve(args.positional.size());
    std::optional<fs::path::string_type> into;
    if (folder)
        into = (PathFromUtf8(*folder) / "").native();
    for (const std::string& source : args.positional) {
        const fs::path path = PathFromUtf8(source);
        if (source.empty() || !path.has_filename()) {
            PrintUsageError("不是文件名：" + source);
            return kExitUsage;
        }
        add(plan, path, source, into);
    }
    // Before the key is asked for: a list that cannot run needs none.
    const jobs::PlanCheck check = jobs::CheckPlan(plan);
    if (!check.ok()) {
        PrintError(jobs::kConflictHeading);
        for (std::size_t i : check.Entries())
            PrintError(Utf8Path(plan.Source(i)) + " → " + Utf8Path(plan.Target(i)) + "（" +
                       jobs::ConflictReason(check.FirstOf(i).kind) + "）");
        return kExitFailed;
    }

    int failureExit = kExitFailed;
    const std::optional<std::int32_t> seed = ReadSeed(args.Has("--key-stdin"), failureExit);
    if (!seed)
        return failureExit;

    InterruptGuard interrupt;
    std::optional<ProgressBar> bar;
    jobs::PlanEvents events;
    events.fileStarted = [&](std::size_t i) {
        if (ProgressBar::Drawn())
            bar.emplace(Utf8Path(plan.Target(i)));
    };
    events.progress = [&](std::int64_t done, std::int64_t length) {
        if (bar)
            bar->Update(ProgressPercent(done, length));
    };
    events.fileDone = [&](const jobs::FileOutcome& out) {
        bar.reset();
        if (!out.ok())
            PrintError(jobs::FailureText(out, plan.Entry(out.entry)));
        else if (!out.suspicion.empty())
            PrintError(jobs::SuspicionText(out, plan.Entry(out.entry)));
    };
    const jobs::PlanResult result = jobs::RunPlan(plan, *seed, events, interrupt.Flag());
    if (result.refused) {
        // The disk changed since the first check.
        PrintError(jobs::kConflictHeading);
        return kExitFailed;
    }
    if (result.cancelled)
        return interrupt.ExitCode();
    return result.failed == 0 ? kExitDone : kExitFailed;
}

} // namespace zr::cli
