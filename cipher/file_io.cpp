// The parts of the file layer that are the same on every system: ownership moves of the
// handles (a handle of -1 is "none", INVALID_HANDLE_VALUE on Windows), the replacement policy,
// the names of temporary files and the same-file test.

#include "file_io.h"

#include "file_io_detail.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <string_view>
#include <tuple>
#include <type_traits>

namespace zr::io {

namespace fs = std::filesystem;

File::~File() {
    Close();
}

File::File(File&& other) noexcept : handle_(other.handle_) {
    other.handle_ = -1;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = -1;
    }
    return *this;
}

TempFile::~TempFile() {
    Discard();
}

TempFile::TempFile(TempFile&& o) noexcept
    : file_(std::move(o.file_)), target_(std::move(o.target_)), name_(std::move(o.name_)),
      dir_(std::move(o.dir_)), failed_(std::move(o.failed_)), newRights_(o.newRights_),
      rightsAtCommit_(o.rightsAtCommit_), synced_(o.synced_), committed_(o.committed_) {
    o.name_.clear();
    o.committed_ = true;
}

TempFile& TempFile::operator=(TempFile&& o) noexcept {
    if (this != &o) {
        Discard();
        file_ = std::move(o.file_);
        target_ = std::move(o.target_);
        name_ = std::move(o.name_);
        dir_ = std::move(o.dir_);
        failed_ = std::move(o.failed_);
        newRights_ = o.newRights_;
        rightsAtCommit_ = o.rightsAtCommit_;
        synced_ = o.synced_;
        committed_ = o.committed_;
        o.name_.clear();
        o.committed_ = true;
    }
    return *this;
}

TempFile TempFile::CreateBeside(const fs::path& target, IoError& error) {
    const TargetInfo info = InspectTarget(target, error);
    if (error)
        return {};
    return Create(info, error);
}

bool TempFile::Write(const void* buffer, std::size_t size, IoError& error) {
    if (failed_) {
        error = failed_;
        return false;
    }
    if (file_.Write(buffer, size, error))
        return true;
    failed_ = error;
    return false;
}

bool TempFile::Sync(IoError& error) {
    if (!file_.Sync(error))
        return false;
    synced_ = true;
    return true;
}

namespace detail {

std::string WriterPart(const Writer& w) {
    return w.host + "-" + w.boot + "-" + std::to_string(w.pid) + "-" + w.start + "-";
}

std::optional<Writer> WriterOfTempName(const fs::path& name) {
    const auto& n = name.native();
    using Char = std::remove_cvref_t<decltype(n)>::value_type;
    if (n.empty() || n[0] != Char('.'))
        return std::nullopt;
    // The last marker: the target's own name may contain one.
    const std::string_view marker = kTempMarker;
    std::size_t at = std::string::npos;
    for (std::size_t i = n.size() >= marker.size() ? n.size() - marker.size() + 1 : 0; i-- > 1;) {
        if (std::equal(marker.begin(), marker.end(), n.begin() + static_cast<std::ptrdiff_t>(i),
                       [](char m, Char c) { return Char(m) == c; })) {
            at = i;
            break;
        }
    }
    if (at == std::string::npos)
        return std::nullopt;
    // host-boot-pid-start-random, each a run of lower-case letters and digits.
    std::string fields[5];
    int field = 0;
    for (std::size_t i = at + marker.size(); i < n.size(); ++i) {
        const Char c = n[i];
        if (c == Char('-')) {
            if (fields[field].empty() || ++field == 5)
                return std::nullopt;
        } else if ((c >= Char('0') && c <= Char('9')) || (c >= Char('a') && c <= Char('z'))) {
            fields[field] += static_cast<char>(c);
        } else {
            return std::nullopt;
        }
    }
    if (field != 4 || fields[4].empty() || fields[2].size() > 10 ||
        fields[2].find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return Writer{fields[0], fields[1], std::stoull(fields[2]), fields[3]};
}

// The replacement policy: what may not be replaced, refused before anything is written.
bool Replaceable(const TargetInfo& t, IoError& error) {
    if (t.link && !t.linkTrusted) {
        error = {0, "这是公共文件夹里属于别人的符号链接，不会跟随它写入"};
        return false;
    }
    switch (t.earlier.kind) {
    case EntryKind::Missing:
        if (t.link) {
            error = {0, "符号链接指向的文件不存在"};
            return false;
        }
        return true;
    case EntryKind::Directory:
        error = {0, "这是一个文件夹，不是文件"};
        return false;
    case EntryKind::Other:
        error = {0, "不是普通文件"};
        return false;
    case EntryKind::Regular:
        break;
    }
    // As cp and the shell refuse: the rename would need only the folder's write right.
    if (!UserMayWrite(t, error))
        return false;
    // Writing in place would give up the all-or-nothing replacement, and in a folder of
    // hard-linked backups would change every copy; a new file would leave the other names
    // with the old content. The user decides.
    if (t.earlier.links > 1) {
        error = {0, "目标文件还有其他硬链接，替换后它们仍是旧内容；"
                    "请先删除目标文件或换一个文件名"};
        return false;
    }
    return true;
}

} // namespace detail

void RemoveLeftoverTempFiles(const fs::path& folder) {
    const detail::Writer& me = detail::OwnWriter();
    if (me.host.empty() || me.boot.empty())
        return; // nothing could be told apart
    const fs::path dir = folder.empty() ? fs::path(".") : folder;
    // A job of many files asks for the same folder again and again.
    static thread_local fs::path last;
    if (dir == last)
        return;
    last = dir;
    IoError e;
    const EntryInfo info = Stat(dir, e);
    if (info.kind != EntryKind::Directory)
        return;
    {
        // A folder of ten thousand targets is listed once, not once per file. Its name is part
        // of the key: a folder removed and made anew may be given the same number.
        static std::mutex mutex;
        static std::set<std::tuple<std::uint64_t, std::uint64_t, fs::path>> done;
        std::error_code ec;
        const std::lock_guard<std::mutex> lock(mutex);
        if (!done.emplace(info.id.device, info.id.inode, fs::absolute(dir, ec)).second)
            return;
    }
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::optional<detail::Writer> w = detail::WriterOfTempName(it->path().filename());
        // Another computer's file may still be written there: a folder on a network drive.
        if (!w || w->host != me.host)
            continue;
        // From before the system's last start, or of a process that no longer runs.
        if (w->boot == me.boot) {
            const std::optional<detail::Writer> now = detail::RunningProcess(w->pid);
            if (now && (now->start.empty() || now->start == w->start))
                continue;
        }
        detail::RemoveIfOwnFile(it->path());
    }
}

namespace {

template <class Char> Char foldAscii(Char c) {
    return c >= Char('A') && c <= Char('Z') ? Char(c - Char('A') + Char('a')) : c;
}

template <class String> bool equalIgnoringCase(const String& a, const String& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](auto x, auto y) {
               return foldAscii(x) == foldAscii(y);
           });
}

// Whether a and b, both canonical, name one folder entry: equal, or equal ignoring case in one
// folder (reached by either spelling) that ignores case.
bool oneEntry(const fs::path& a, const fs::path& b, int depth) {
    if (a == b)
        return true;
    const fs::path an = a.filename(), bn = b.filename();
    if (depth > 64 || an.empty() || bn.empty() || !equalIgnoringCase(an.native(), bn.native()))
        return false;
    const fs::path ap = a.parent_path(), bp = b.parent_path();
    if (ap != bp) {
        IoError e;
        const EntryInfo x = Stat(ap, e), y = Stat(bp, e);
        const bool sameFolder = x.kind == EntryKind::Directory && x.id == y.id;
        if (!sameFolder && !oneEntry(ap, bp, depth + 1))
            return false;
    }
    return an == bn || FolderIgnoresCase(ap);
}

} // namespace

bool SameFile(const fs::path& a, const EntryInfo& aInfo, const fs::path& b,
              const EntryInfo& bInfo) {
    if (aInfo.kind == EntryKind::Missing || bInfo.kind == EntryKind::Missing)
        return false;
    if (aInfo.id == bInfo.id)
        return true;
    // Drivers that give each spelling of a name its own identity still report the one file's
    // size and time; only then are the names compared, which costs lookups.
    if (aInfo.size != bInfo.size || aInfo.modified != bInfo.modified)
        return false;
    std::error_code ea, eb;
    const fs::path ca = fs::weakly_canonical(a, ea), cb = fs::weakly_canonical(b, eb);
    return !ea && !eb && oneEntry(ca, cb, 0);
}

} // namespace zr::io
