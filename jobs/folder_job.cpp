#include "folder_job.h"

#include "target_name.h"

#include <system_error>

namespace zr {

namespace fs = std::filesystem;

std::string ListedFileName(std::string_view name) {
    const auto first = name.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const auto last = name.find_last_not_of(' ');
    return UpperCaseAscii(name.substr(first, last - first + 1));
}

std::string AutoListFiles(const fs::path& folder, const ListedFile& add) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec)
        return "无法列出文件夹 " + Utf8Path(folder) + " 的内容（" + io::ReasonText(ec.value()) +
               "）";
    // The whole listing is taken before any file is worked on: deleting sources while the
    // system is still listing the folder could make it skip or repeat names.
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        const fs::path& path = it->path();
        // The type comes with the listing where the file system gives it; only a link (or a
        // file system that does not) is looked up, following the link: only one that leads to
        // a regular file counts. Nothing is opened, so a FIFO cannot block here.
        std::error_code typeEc;
        if (!it->is_regular_file(typeEc) || detail::IsSystemFile(path))
            continue;
        // A name of blanks only lists as empty and gets no target name: the plan fails it.
        add(path, ListedFileName(Utf8Path(path.filename())));
    }
    if (ec)
        return "列出文件夹 " + Utf8Path(folder) + " 的内容时出错（" + io::ReasonText(ec.value()) +
               "）";
    return {};
}

fs::path WithoutTrailingSeparator(const fs::path& folder) {
    fs::path p = folder;
    while (!p.has_filename() && p.has_relative_path())
        p = p.parent_path();
    return p;
}

void TryRemoveFolder(const fs::path& folder) {
    const fs::path p = WithoutTrailingSeparator(folder);
    std::error_code ec;
    // fs::remove would delete a link to a folder itself; only a real, empty folder may go.
    if (!fs::is_directory(fs::symlink_status(p, ec)))
        return;
    fs::remove(p, ec); // fails, harmlessly, while the folder still holds anything
}

FolderJob::FolderJob(fs::path sourceFolder, fs::path targetFolder)
    : sourceFolder_(std::move(sourceFolder)), targetFolder_(std::move(targetFolder)) {}

void FolderJob::ProcessFolderFile(FolderFileOutcome& file, FolderJobResult& result) {
    if (file.ok())
        ++result.doneCount;
    else
        ++result.failedCount;
    if (file.ok() && !file.notice.empty())
        ++result.suspectCount;
    if ((!file.ok() || !file.notice.empty()) && result.failures.size() < kMaxKeptFailures)
        result.failures.push_back(file);
    if (onFileDone)
        onFileDone(file);
}

FolderJobResult FolderJob::Run() {
    FolderJobResult result;
    if (!seed_.ok()) {
        result.keyError = seed_.error;
        return result;
    }
    std::error_code ec;
    if (fs::equivalent(sourceFolder_, targetFolder_, ec)) {
        // Targets would overwrite sources not yet worked on.
        result.folderError = "源文件夹与目标文件夹是同一个文件夹";
        return result;
    }

    const fs::path targetFolder = WithoutTrailingSeparator(targetFolder_);
    jobs::Plan plan;
    plan.deleteSources = deleteSource_;
    // Upper-case names that collide ("a.txt" and "A.TXT") share a target: the first runs.
    plan.onConflict = jobs::Plan::OnConflict::HoldBack;
    // The listed names, one after the other: a large folder is held as text, not as objects.
    std::string names;
    std::vector<std::uint32_t> nameEnds;
    const fs::path targetPrefix = targetFolder / "";
    result.listingError =
        AutoListFiles(sourceFolder_, [&](const fs::path& source, std::string name) {
            // The ".ZR" rule on TargetFolder + name: with a separator before the name it depends
            // on the name alone.
            plan.Add(source, targetPrefix.native(), NativeFromUtf8(TargetNameFor(name)));
            names += name;
            nameEnds.push_back(static_cast<std::uint32_t>(names.size()));
        });
    // The file at work, made once for its start and its end (which come together unless its
    // source waits for a flush).
    std::size_t made = plan.Size();
    FolderFileOutcome current;
    const auto fileOf = [&](std::size_t i) -> FolderFileOutcome& {
        if (made != i) {
            const std::size_t begin = i == 0 ? 0 : nameEnds[i - 1];
            current = {};
            current.name = names.substr(begin, nameEnds[i] - begin);
            current.source = plan.Source(i);
            current.target = plan.Target(i);
            made = i;
        }
        return current;
    };

    const int total = static_cast<int>(plan.Size());
    jobs::PlanEvents events;
    events.fileStarted = [&](std::size_t i) {
        if (onFileStart)
            onFileStart(fileOf(i), static_cast<int>(i), total);
    };
    events.progress = onProgress;
    if (onVerifying)
        events.verifying = [this](std::size_t) { onVerifying(); };
    events.fileDone = [&](const jobs::FileOutcome& out) {
        // A file stopped half-way is neither done nor failed: the cancellation is the message.
        if (out.result.step == TransformStep::Cancelled)
            return;
        FolderFileOutcome& file = fileOf(out.entry);
        file.transformed = !out.heldBack && out.result.ok();
        file.sourceDeleted = out.sourceDeleted;
        const bool collided = out.heldBack &&
                              out.heldBack->kind == jobs::ConflictKind::SharedTarget &&
                              plan.TargetName(out.heldBack->other) == plan.TargetName(out.entry);
        file.reason = collided
                          ? "未处理 " + Utf8Path(file.source) + "：目标文件 " +
                                Utf8Path(file.target) + " 已由名字只有大小写不同的另一个文件写入"
                      : out.ok() ? std::string()
                                 : jobs::FailureText(out, {file.source, file.target});
        if (out.ok() && !out.suspicion.empty())
            file.notice = jobs::SuspicionText(out, {file.source, file.target});
        ProcessFolderFile(file, result);
    };
    const jobs::PlanResult ran = jobs::RunPlan(plan, seed_.seed, events, cancel_);
    // A folder the job has emptied is removed (an empty one it found stays). Trying once at the
    // end has the outcome of trying after every file, without a failing system call per file.
    if (!plan.Empty())
        TryRemoveFolder(sourceFolder_);
    result.cancelled = ran.cancelled || (cancel_ && cancel_->load());
    result.sourceFolderRemoved =
        !fs::exists(fs::symlink_status(WithoutTrailingSeparator(sourceFolder_), ec));
    return result;
}

} // namespace zr
