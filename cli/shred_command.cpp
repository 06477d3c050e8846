#include "cli_support.h"
#include "commands.h"

#include "shred_file.h"

namespace zr::cli {

int RunShred(int argc, char** argv, int first) {
    const Args args = ParseArgs(argc, argv, first, {}, {"--mode"});
    if (!args.error.empty()) {
        PrintUsageError(args.error);
        return kExitUsage;
    }
    const auto modeName = args.Value("--mode");
    if (!modeName) {
        PrintUsageError("shred 需要 --mode normal、quick 或 thorough");
        return kExitUsage;
    }
    const auto mode = ParseShredMode(*modeName);
    if (!mode) {
        PrintUsageError("未知的删除方式：" + *modeName + "（可用 normal、quick、thorough）");
        return kExitUsage;
    }
    if (args.positional.empty()) {
        PrintUsageError("shred 需要至少一个文件");
        return kExitUsage;
    }
    // Every file is tried, in the order given; one that fails does not stop the others.
    bool anyFailed = false;
    for (const std::string& name : args.positional) {
        const ShredResult result = ShredFile(name, *mode);
        if (!result.ok()) {
            PrintError(ShredFailureText(result));
            anyFailed = true;
        }
    }
    return anyFailed ? kExitFailed : kExitDone;
}

} // namespace zr::cli
