#include "cli_support.h"
#include "commands.h"

#include "plan.h"
#include "target_name.h"

#include <filesystem>
#include <iostream>

namespace zr::cli {

int RunTransform(int argc, char** argv, int first) {
    const Args args = ParseArgs(argc, argv, first, {"--key-stdin", "--delete-source"});
    if (!args.error.empty()) {
        PrintUsageError(args.error);
        return kExitUsage;
    }
    if (args.positional.empty() || args.positional.size() > 2) {
        PrintUsageError("transform 需要一个源文件，可以再给一个目标文件");
        return kExitUsage;
    }
    const std::string source = args.positional[0];
    const bool targetGiven = args.positional.size() == 2;
    const std::string target = targetGiven ? args.positional[1] : TargetNameFor(source);
    if (source.empty()) {
        PrintUsageError("源文件名不能为空");
        return kExitUsage;
    }
    // ".zr" alone, or "dir/.ZR", loses its whole name by the ".ZR" rule; "dir/..zr" keeps only
    // ".", the folder itself.
    if (!targetGiven && !jobs::NamesAFile(PathFromUtf8(target))) {
        PrintUsageError("由源文件名 " + source + " 得出的目标文件名为空，请给出目标文件");
        return kExitUsage;
    }
    if (target.empty()) {
        PrintUsageError("目标文件名不能为空");
        return kExitUsage;
    }
    if (!jobs::NamesAFile(PathFromUtf8(target))) {
        PrintUsageError("不是文件名：" + target);
        return kExitUsage;
    }

    int failureExit = kExitFailed;
    const std::optional<std::int32_t> seed = ReadSeed(args.Has("--key-stdin"), failureExit);
    if (!seed)
        return failureExit;

    jobs::Plan plan{{{source, target}}, args.Has("--delete-source")};
    InterruptGuard interrupt;
    ProgressBar bar(target);
    jobs::PlanEvents events;
    events.progress = [&](std::int64_t done, std::int64_t length) {
        bar.Update(ProgressPercent(done, length));
    };
    std::string failure, suspicion;
    events.fileDone = [&](const jobs::FileOutcome& out) {
        failure = jobs::FailureText(out, plan.Entry(0));
        suspicion = out.suspicion;
    };
    const jobs::PlanResult result = jobs::RunPlan(plan, *seed, events, interrupt.Flag());
    bar.Finish();
    if (result.refused) {
        // A plan of one can only conflict with itself.
        PrintError(jobs::ConflictReason(jobs::ConflictKind::SameFile) + "：" + target);
        return kExitFailed;
    }
    if (!suspicion.empty())
        PrintError(suspicion);
    if (!failure.empty())
        PrintError(failure);
    if (result.cancelled)
        return interrupt.ExitCode();
    if (!failure.empty())
        return kExitFailed;
    return kExitDone;
}

} // namespace zr::cli
