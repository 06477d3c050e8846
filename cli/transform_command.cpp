#include "cli_support.h"
#include "commands.h"

#include "key_seed.h"
#include "target_name.h"
#include "transform_file.h"

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
    const std::string target =
        args.positional.size() == 2 ? args.positional[1] : TargetNameFor(source);
    if (source.empty() || target.empty()) {
        PrintUsageError("文件名不能为空");
        return kExitUsage;
    }

    int failureExit = kExitFailed;
    const auto key = ReadKey(args.Has("--key-stdin"), failureExit);
    if (!key)
        return failureExit;
    const KeySeed seed = DeriveKeySeed(*key);
    if (!seed.ok()) {
        PrintError(std::string("密钥不可用：") + KeyErrorText(seed.error));
        return kExitFailed;
    }

    const bool deleteSource = args.Has("--delete-source");
    TransformOptions options;
    options.verify = deleteSource;
    InterruptGuard interrupt;
    options.cancel = interrupt.Flag();
    ProgressBar bar(target);
    const TransformResult result = TransformFile(
        source, target, seed.seed,
        [&](std::int64_t done, std::int64_t length) { bar.Update(ProgressPercent(done, length)); },
        options);
    bar.Finish();
    if (result.step == TransformStep::Cancelled) {
        PrintError(FailureText(result));
        return interrupt.ExitCode();
    }
    if (!result.ok()) {
        PrintError(FailureText(result));
        return kExitFailed;
    }
    if (deleteSource) {
        std::string reason;
        if (!DeleteSource(source, result, reason)) {
            PrintError("无法删除源文件：" + source + "（" + reason + "）");
            return kExitFailed;
        }
    }
    return kExitDone;
}

} // namespace zr::cli
