#include "shred_file.h"

#include "file_io.h"

#include <algorithm>
#include <vector>

namespace zr {

namespace {

ShredResult failure(ShredStep step, const std::filesystem::path& path, const io::IoError& e) {
    return {step, path, e.code, e.reason};
}

// Removes the name and makes the removal durable.
ShredResult removeName(const std::filesystem::path& path) {
    io::IoError e;
    if (!io::RemoveFile(path, e))
        return failure(ShredStep::Delete, path, e);
    io::SyncParentFolder(path);
    return {ShredStep::None, path, 0, {}};
}

ShredResult overwriteAndRemove(const std::filesystem::path& path, ShredMode mode,
                               const io::FileId& expected) {
    io::IoError e;
    // A file without write permission could not be opened; on Windows this is the read-only
    // attribute. A failure here shows up as the open's reason.
    io::MakeWritable(path, e);
    e = {};
    io::File file = io::File::OpenWriteExisting(path, e);
    if (!file.IsOpen())
        return failure(ShredStep::Open, path, e);
    // The name may have been given to another file since it was looked up; only the file
    // that was inspected is overwritten.
    const io::FileId opened = file.Id(e);
    if (e)
        return failure(ShredStep::Open, path, e);
    if (!(opened == expected))
        return {ShredStep::Open, path, 0, "文件在粉碎前被替换了"};

    if (mode == ShredMode::Quick) {
        if (!file.Truncate(0, e))
            return failure(ShredStep::Cut, path, e);
    } else {
        const std::int64_t length = file.Size(e);
        if (e)
            return failure(ShredStep::Write, path, e);
        const std::vector<char> zeros(static_cast<std::size_t>(kShredBlock), 0);
        for (std::int64_t pos = 0; pos < length;) {
            const std::int64_t block = std::min(kShredBlock, length - pos);
            if (!file.WriteAt(pos, zeros.data(), static_cast<std::size_t>(block), e))
                return failure(ShredStep::Write, path, e);
            pos += block;
        }
    }
    // The cut or the zeros must reach the device before the name goes, or the old blocks
    // could be freed with their content still on them.
    if (!file.Sync(e))
        return failure(ShredStep::Flush, path, e);
    file.Close();
    // An editor's autosave may have put a new file under the name during a long overwrite:
    // that file was never chosen nor overwritten, and deleting it would lose it.
    const io::EntryInfo now = io::LinkStat(path, e);
    if (now.kind == io::EntryKind::Missing)
        return {ShredStep::Delete, path, 0, e ? e.reason : "文件在粉碎过程中被移走或删除了"};
    if (now.kind != io::EntryKind::Regular || !(now.id == expected))
        return {ShredStep::Replaced, path, 0, {}};
    return removeName(path);
}

} // namespace

ShredResult ShredFile(const std::filesystem::path& path, ShredMode mode) {
    if (path.empty())
        return {ShredStep::Inspect, path, 0, "没有给出文件名"};
    io::IoError e;
    const io::EntryInfo info = io::LinkStat(path, e);
    if (e)
        return failure(ShredStep::Inspect, path, e);
    if (info.kind == io::EntryKind::Missing)
        return {ShredStep::Inspect, path, 0, "文件不存在"};
    // A link is removed itself in every mode; what it points to is not the user's choice.
    if (info.link)
        return removeName(path);
    if (info.kind == io::EntryKind::Directory)
        return {ShredStep::NotRegular, path, 0, "这是一个文件夹，不是文件"};
    if (info.kind != io::EntryKind::Regular)
        return {ShredStep::NotRegular, path, 0, "不是普通文件（管道、套接字或设备），不予粉碎"};

    if (mode == ShredMode::Normal) {
        // Deleting needs no write permission on POSIX, but Windows refuses to delete a
        // read-only file; clear it as the plain delete always did, and judge by the delete.
        io::MakeWritable(path, e);
        return removeName(path);
    }
    return overwriteAndRemove(path, mode, info.id);
}

std::string ShredFailureText(const ShredResult& result) {
    const char* what = "";
    const char* after = ""; // what the failure left behind
    switch (result.step) {
    case ShredStep::None:
        return {};
    case ShredStep::Inspect:
        what = "无法访问";
        break;
    case ShredStep::NotRegular:
        what = "不能粉碎";
        break;
    case ShredStep::Open:
        what = "无法打开";
        break;
    case ShredStep::Cut:
        what = "无法将长度置零";
        break;
    case ShredStep::Write:
        what = "无法用零改写";
        after = "，文件可能已部分清零";
        break;
    case ShredStep::Flush:
        what = "无法写入磁盘";
        break;
    case ShredStep::Delete:
        what = "无法删除";
        break;
    case ShredStep::Replaced:
        what = "未删除";
        break;
    }
    std::filesystem::path shown = result.path;
    shown.make_preferred();
    const auto name = shown.u8string();
    std::string text = what;
    text += "：";
    text.append(reinterpret_cast<const char*>(name.data()), name.size());
    const std::string reason = result.step == ShredStep::Replaced
                                   ? std::string("文件在粉碎过程中被替换了")
                                   : result.reason;
    if (!reason.empty())
        text += "（" + reason + "）";
    return text + after;
}

std::optional<ShredMode> ParseShredMode(std::string_view name) {
    if (name == "normal")
        return ShredMode::Normal;
    if (name == "quick")
        return ShredMode::Quick;
    if (name == "thorough")
        return ShredMode::Thorough;
    return std::nullopt;
}

} // namespace zr
