#include "cli_support.h"
#include "commands.h"

#include "folder_job.h"
#include "target_name.h"

#include <filesystem>
#include <iostream>
#include <optional>
#include <system_error>

namespace zr::cli {

namespace fs = std::filesystem;

int RunFolder(int argc, char** argv, int first) {
    const Args args = ParseArgs(argc, argv, first, {"--key-stdin", "--delete-source"});
    if (!args.error.empty()) {
        PrintUsageError(args.error);
        return kExitUsage;
    }
    if (args.positional.size() != 1 || args.positional[0].empty()) {
        PrintUsageError("folder 需要一个文件夹");
        return kExitUsage;
    }
    // The target folder's name comes from the source path without its trailing separators, as
    // the main menu forms it ("abc" gives "abcZR", "abcZR" gives "abc").
    std::error_code ec;
    std::string source = fs::absolute(args.positional[0], ec).string();
    for (;;) {
        if (source.size() > 1 && source.back() == '/')
            source.pop_back();
        else if (source.size() > 2 && source.ends_with("/."))
            source.resize(source.size() - 2);
        else
            break;
    }
    if (!fs::is_directory(source, ec)) {
        PrintError("源文件夹不存在：" + source);
        return kExitFailed;
    }
    const std::string target = FolderTargetFor(source);

    int failureExit = kExitFailed;
    const auto key = ReadKey(args.Has("--key-stdin"), failureExit);
    if (!key)
        return failureExit;

    FolderJob job{fs::path(source), fs::path(target)};
    job.SetKey(std::string_view(*key));
    job.SetDeleteSource(args.Has("--delete-source"));
    // Checked by the job before it lists anything, so that a refused key creates no folder.
    if (const KeySeed seed = DeriveKeySeed(std::string_view(*key)); !seed.ok()) {
        PrintError(std::string("密钥不可用：") + KeyErrorText(seed.error));
        return kExitFailed;
    }
    // An existing folder is reused; a new one gets the source folder's rights (less the umask),
    // so that a private folder's files do not land in a folder others may list.
    fs::create_directory(target, source, ec);
    if (!fs::is_directory(target, ec)) {
        PrintError("无法创建目标文件夹：" + target);
        return kExitFailed;
    }

    InterruptGuard interrupt;
    job.SetCancelFlag(interrupt.Flag());
    std::optional<ProgressBar> bar;
    job.onFileStart = [&](const FolderFileOutcome& file, int, int) {
        bar.reset();
        if (ProgressBar::Drawn())
            bar.emplace(Utf8Path(file.target));
    };
    job.onProgress = [&](std::int64_t done, std::int64_t length) {
        if (bar)
            bar->Update(ProgressPercent(done, length));
    };
    job.onFileDone = [&](const FolderFileOutcome& file) {
        if (bar)
            bar->Finish();
        bar.reset();
        // Every failure is printed as it happens; the result keeps only the first ones.
        if (!file.ok() && !interrupt.Flag()->load())
            PrintError(file.reason);
        else if (!file.notice.empty())
            PrintError(file.notice);
    };
    const FolderJobResult result = job.Run();
    bar.reset();
    if (result.cancelled) {
        PrintError("操作已取消");
        return interrupt.ExitCode();
    }

    if (result.keyError != KeyError::None) {
        PrintError(std::string("密钥不可用：") + KeyErrorText(result.keyError));
        return kExitFailed;
    }
    if (!result.folderError.empty()) {
        PrintError(result.folderError);
        return kExitFailed;
    }
    if (!result.listingError.empty())
        PrintError(result.listingError);
    return result.failedCount == 0 && result.listingError.empty() ? kExitDone : kExitFailed;
}

} // namespace zr::cli
