#include "folder_job.h"

#include "target_name.h"

#include <algorithm>
#include <exception>
#include <system_error>

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

std::string ListedFileName(std::string_view name) {
    const auto first = name.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const auto last = name.find_last_not_of(' ');
    std::string out(name.substr(first, last - first + 1));
    for (char& c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

FolderListing AutoListFiles(const fs::path& folder) {
    FolderListing listing;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) {
        listing.error =
            "无法列出文件夹 " + Utf8Path(folder) + " 的内容（" + io::ReasonText(ec.value()) + "）";
        return listing;
    }
    // The whole listing is taken before any file is worked on: deleting sources while the
    // system is still listing the folder could make it skip or repeat names.
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        const fs::path path = it->path();
        io::IoError e;
        io::EntryInfo info = io::LinkStat(path, e);
        if (info.kind == io::EntryKind::Other) {
            // A symbolic link (or a FIFO, socket, device): only a link that leads to a regular
            // file counts; stat() never opens anything, so a FIFO cannot block here.
            info = io::Stat(path, e);
        }
        if (info.kind != io::EntryKind::Regular || detail::IsSystemFile(path))
            continue;
        std::string name = ListedFileName(Utf8Path(path.filename()));
        if (name.empty())
            continue;
        listing.entries.push_back({path, std::move(name)});
    }
    if (ec)
        listing.error = "列出文件夹 " + Utf8Path(folder) + " 的内容时出错（" +
                        io::ReasonText(ec.value()) + "）";
    return listing;
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

FolderFileOutcome FolderJob::ProcessFolderFile(const FolderEntry& entry) {
    FolderFileOutcome out;
    out.name = entry.name;
    out.source = entry.source;
    // The ".ZR" rule on TargetFolder + name: with a separator before the name it depends on
    // the name alone.
    const std::string targetName = TargetNameFor(entry.name);
    out.target = WithoutTrailingSeparator(targetFolder_) / PathFromUtf8(targetName);
    if (targetName.empty()) {
        out.reason = "无法写入目标文件：" + Utf8Path(out.target) + "（目标文件名为空）";
        return out;
    }

    io::IoError e;
    const io::EntryInfo existing = io::Stat(out.target, e);
    const bool writtenBefore =
        writtenNames_.count(out.target) != 0 ||
        (existing.kind == io::EntryKind::Regular &&
         std::find(writtenIds_.begin(), writtenIds_.end(), existing.id) != writtenIds_.end());
    if (writtenBefore) {
        out.reason = "未处理 " + Utf8Path(out.source) + "：目标文件 " + Utf8Path(out.target) +
                     " 已由名字只有大小写不同的另一个文件写入";
        return out;
    }

    TransformOptions options;
    options.verify = deleteSource_;
    options.cancel = cancel_;
    const TransformResult r =
        TransformFile(out.source, out.target, seed_.seed, onProgress, options);
    if (!r.ok()) {
        out.reason = FailureText(r);
        return out;
    }
    out.transformed = true;
    writtenNames_.insert(out.target);
    const io::EntryInfo made = io::Stat(out.target, e);
    if (made.kind == io::EntryKind::Regular)
        writtenIds_.push_back(made.id);

    if (deleteSource_) {
        std::string reason;
        if (DeleteSource(out.source, r, reason))
            out.sourceDeleted = true;
        else
            out.reason = "无法删除源文件：" + Utf8Path(out.source) + "（" + reason + "）";
    }
    return out;
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

    FolderListing listing = AutoListFiles(sourceFolder_);
    result.listingError = std::move(listing.error);
    const int total = static_cast<int>(listing.entries.size());
    for (int i = 0; i < total; ++i) {
        if (cancel_ && cancel_->load()) {
            result.cancelled = true;
            break;
        }
        const FolderEntry& entry = listing.entries[static_cast<std::size_t>(i)];
        if (onFileStart) {
            FolderFileOutcome pending;
            pending.name = entry.name;
            pending.source = entry.source;
            pending.target =
                WithoutTrailingSeparator(targetFolder_) / PathFromUtf8(TargetNameFor(entry.name));
            onFileStart(pending, i, total);
        }
        FolderFileOutcome out = ProcessFolderFile(entry);
        if (out.ok()) {
            ++result.doneCount;
        } else {
            ++result.failedCount;
            if (result.failures.size() < kMaxKeptFailures)
                result.failures.push_back(out);
        }
        if (onFileDone)
            onFileDone(out);
        TryRemoveFolder(sourceFolder_);
    }
    if (cancel_ && cancel_->load())
        result.cancelled = true;
    result.sourceFolderRemoved =
        !fs::exists(fs::symlink_status(WithoutTrailingSeparator(sourceFolder_), ec));
    return result;
}

} // namespace zr
