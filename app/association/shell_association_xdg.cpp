#include "shell_association.h"

#include "file_io.h"
#include "xdg_association.h"
#include "xdg_record.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zr::app {

namespace xdg {

namespace fs = std::filesystem;

namespace {

// What is at a planned path now.
struct Snapshot {
    fs::path target; // where the content lives: a shared file behind a link is followed
    std::optional<std::string> content;
    bool readable = true;
    bool link = false; // a link where a whole file of ours would be: the user's doing
    mode_t mode = 0;
};

Snapshot look(const fs::path& path, bool followLink) {
    Snapshot s;
    s.target = path;
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(path, ec);
    if (!fs::exists(status))
        return s;
    if (fs::is_symlink(status)) {
        s.link = true;
        if (!followLink)
            return s;
        s.target = fs::canonical(path, ec);
        if (ec) {
            s.readable = false;
            return s;
        }
    }
    std::ifstream in(s.target, std::ios::binary);
    if (!in) {
        s.readable = false;
        return s;
    }
    s.content = std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        s.readable = false;
        s.content.reset();
    }
    struct stat st {};
    if (::stat(s.target.c_str(), &st) == 0)
        s.mode = st.st_mode & 07777;
    return s;
}

std::string writeFailure(const fs::path& path, int error) {
    return "无法写入：" + path.string() + "（" + io::ReasonText(error) + "）";
}

std::string removeFailure(const fs::path& path, int error) {
    return "无法删除：" + path.string() + "（" + io::ReasonText(error) + "）";
}

// Creates the missing folders above path with mode 0700, as the base-directory rules ask,
// and notes each one in created (when given) so that a removal can take it away again.
bool makeFolders(const fs::path& folder, std::vector<fs::path>* created) {
    fs::path at;
    for (const fs::path& part : folder) {
        at /= part;
        if (::mkdir(at.c_str(), 0700) == 0) {
            if (created && std::find(created->begin(), created->end(), at) == created->end())
                created->push_back(at);
        } else if (errno != EEXIST) {
            return false;
        }
    }
    return fs::is_directory(folder);
}

// Writes beside the target and renames over it, so that a reader (or a crash) never sees half a
// file. Returns 0 or the error.
int replaceFile(const fs::path& target, const std::string& content, mode_t mode,
                std::vector<fs::path>* created) {
    if (!makeFolders(target.parent_path(), created))
        return errno ? errno : ENOTDIR;
    const fs::path temp = target.parent_path() / ("." + target.filename().string() + ".zr-" +
                                                  std::to_string(static_cast<long>(::getpid())));
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0)
        return errno;
    int error = 0;
    for (std::size_t put = 0; !error && put < content.size();) {
        const ssize_t n = ::write(fd, content.data() + put, content.size() - put);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            error = n < 0 ? errno : EIO;
        else
            put += static_cast<std::size_t>(n);
    }
    if (!error && ::fchmod(fd, mode) != 0) // the umask must not take the executable bit away
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && ::rename(temp.c_str(), target.c_str()) != 0)
        error = errno;
    if (error)
        ::unlink(temp.c_str());
    return error;
}

void runQuietly(const char* tool, const fs::path& folder) {
    posix_spawn_file_actions_t actions;
    if (::posix_spawn_file_actions_init(&actions) != 0)
        return;
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::string name = tool;
    std::string arg = folder.string();
    char* argv[] = {name.data(), arg.data(), nullptr};
    pid_t pid = 0;
    if (::posix_spawnp(&pid, tool, &actions, nullptr, argv, environ) == 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    ::posix_spawn_file_actions_destroy(&actions);
}

fs::path findInPath(const std::string& command) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    for (std::size_t from = 0; from <= dirs.size();) {
        std::size_t colon = dirs.find(':', from);
        if (colon == std::string::npos)
            colon = dirs.size();
        const fs::path candidate =
            fs::path(colon > from ? dirs.substr(from, colon - from) : ".") / command;
        if (::access(candidate.c_str(), X_OK) == 0 && fs::is_regular_file(candidate))
            return candidate;
        from = colon + 1;
    }
    return {};
}

bool inAnyDataDir(const fs::path& relative, const Places& places) {
    std::error_code ec;
    return std::any_of(places.dataDirs.begin(), places.dataDirs.end(),
                       [&](const fs::path& d) { return fs::exists(d / relative, ec); });
}

// Thunar's own first start copies the first uca.xml of the configuration directories; a file
// of ours in the home would keep it from doing so.
std::optional<std::string> thunarDefaults(const Places& places) {
    for (const fs::path& dir : places.configDirs) {
        const Snapshot s = look(dir / "Thunar" / "uca.xml", true);
        if (s.content)
            return s.content;
    }
    return std::nullopt;
}

// A default for the type in a desktop's own mimeapps.list (gnome-mimeapps.list, ...).
bool choiceInDesktopList(const Places& places) {
    const char* desktops = std::getenv("XDG_CURRENT_DESKTOP");
    std::string list = desktops ? desktops : "";
    for (std::size_t from = 0; from < list.size();) {
        std::size_t colon = list.find(':', from);
        if (colon == std::string::npos)
            colon = list.size();
        std::string name = list.substr(from, colon - from);
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        const Snapshot s = look(places.configHome / (name + "-mimeapps.list"), true);
        if (!name.empty() && s.content && MimeAppsHasUserChoice(*s.content))
            return true;
        from = colon + 1;
    }
    return false;
}

// What to do with one planned file, and what it is now.
struct Decision {
    State state = State::Absent;
    std::optional<std::string> write;
    bool remove = false;
    std::optional<RecordEntry> keep; // the record's entry afterwards; nullopt: none
};

// Taking away what a record entry says zr wrote: a whole file, or a shared file zr made, goes
// while it is as zr left it; otherwise only zr's part of a shared file goes.
Decision takeAway(const RecordEntry& entry, const Snapshot& now) {
    Decision d;
    if (!now.content)
        return d;
    // A file reached through a link lives where the user put it: only zr's part goes.
    if ((entry.kind == FileKind::Whole || entry.created) && !now.link &&
        ContentHash(*now.content) == entry.hash) {
        d.remove = true;
        return d;
    }
    std::optional<std::string> rest;
    if (entry.kind == FileKind::ThunarActions)
        rest = RemoveThunarAction(*now.content);
    else if (entry.kind == FileKind::MimeDefault)
        rest = RemoveMimeAppsDefault(*now.content);
    if (rest && *rest != *now.content)
        d.write = rest;
    return d;
}

struct Context {
    Context(const Places& p, WriteMode r) : places(p), run(r) {}
    const Places& places;
    WriteMode run;
    bool systemWide = false;
    bool desktopEntryInPlace = false;
    bool choiceElsewhere = false;
    std::optional<std::string> thunarDefaults;
};

Decision decide(const PlannedFile& f, const Snapshot& now, const RecordEntry* entry,
                const Context& ctx) {
    const bool covered =
        ctx.systemWide && !f.systemPlace.empty() && inAnyDataDir(f.systemPlace, ctx.places);
    const bool start = ctx.run == WriteMode::Start;
    Decision d;
    switch (f.kind) {
    case FileKind::Whole: {
        if (now.link || !now.readable) {
            d.state = State::UsersOwn;
            d.keep = entry ? std::optional(*entry) : std::nullopt;
            return d;
        }
        const bool ours = now.content && (entry ? ContentHash(*now.content) == entry->hash
                                                : *now.content == f.content);
        if (covered) {
            d.state = now.content && !ours ? State::UsersOwn : State::System;
            d.remove = ours;
            return d;
        }
        if (!now.content) {
            if (entry && start) {
                d.state = State::RemovedByUser;
                d.keep = *entry;
                return d;
            }
            d.write = f.content;
        } else if (!ours) {
            d.state = State::UsersOwn;
            return d;
        } else {
            const bool executableOk = !f.executable || (now.mode & 0111) == 0111;
            d.state = *now.content == f.content && executableOk ? State::InPlace : State::Outdated;
            if (d.state == State::Outdated)
                d.write = f.content;
        }
        d.keep = RecordEntry{FileKind::Whole, f.path, ContentHash(f.content), true};
        return d;
    }
    case FileKind::ThunarActions: {
        if (!now.readable) {
            d.state = State::UsersOwn;
            d.keep = entry ? std::optional(*entry) : std::nullopt;
            return d;
        }
        if (!now.content) {
            if (entry && start) {
                d.state = State::RemovedByUser;
                d.keep = *entry;
                return d;
            }
            const auto merged = ctx.thunarDefaults
                                    ? MergeThunarActions(ctx.thunarDefaults, f.content)
                                    : std::nullopt;
            if (merged) {
                d.write = merged;
                d.keep = RecordEntry{f.kind, f.path, ContentHash(*merged), true};
            }
            return d;
        }
        const bool has = HasThunarAction(*now.content);
        if (!has && entry && start) {
            d.state = State::RemovedByUser;
            d.keep = *entry;
            return d;
        }
        const auto merged = MergeThunarActions(now.content, f.content);
        d.keep = entry ? *entry : RecordEntry{f.kind, f.path, ContentHash(*now.content), false};
        if (!merged) {
            d.state = State::UsersOwn;
            d.keep = entry ? std::optional(*entry) : std::nullopt;
            return d;
        }
        if (*merged == *now.content) {
            d.state = State::InPlace;
            return d;
        }
        d.state = has ? State::Outdated : State::Absent;
        d.write = merged;
        d.keep->hash = ContentHash(*merged);
        return d;
    }
    case FileKind::MimeDefault: {
        if (!now.readable) {
            d.state = State::UsersOwn;
            d.keep = entry ? std::optional(*entry) : std::nullopt;
            return d;
        }
        if (covered) {
            if (entry && now.content && MimeAppsNamesZr(*now.content))
                d = takeAway(*entry, now);
            d.state = State::System;
            d.keep.reset();
            return d;
        }
        if (now.content && MimeAppsNamesZr(*now.content)) {
            d.state = State::InPlace;
            d.keep = entry ? std::optional(*entry) : std::nullopt;
            return d;
        }
        if ((now.content && MimeAppsHasUserChoice(*now.content)) || ctx.choiceElsewhere) {
            d.state = State::UsersOwn;
            return d;
        }
        if (entry && start) {
            d.state = State::RemovedByUser;
            d.keep = *entry;
            return d;
        }
        // A default naming an entry that is not there would only hide the user's other
        // applications for the type.
        if (!ctx.desktopEntryInPlace)
            return d;
        d.write = MergeMimeApps(now.content);
        d.keep = RecordEntry{f.kind, f.path, ContentHash(*d.write), !now.content};
        return d;
    }
    }
    return d;
}

Record loadRecord(const Places& places) {
    const Snapshot s = look(RecordPath(places), true);
    return s.content ? ParseRecord(*s.content) : Record{};
}

void saveRecord(const Places& places, const Record& record, const Record& before,
                Outcome& outcome) {
    if (record == before)
        return;
    const fs::path path = RecordPath(places);
    if (const int error = replaceFile(path, FormatRecord(record), 0600, nullptr)) {
        outcome.failures.push_back(writeFailure(path, error));
        outcome.recordFailed = true;
    }
}

// Carries out a decision; returns whether the file changed.
bool apply(const Decision& d, const Snapshot& now, mode_t mode, Record& record, Outcome& outcome) {
    if (d.remove) {
        if (::unlink(now.target.c_str()) != 0 && errno != ENOENT) {
            outcome.failures.push_back(removeFailure(now.target, errno));
            return false;
        }
    } else if (d.write) {
        // A shared file keeps the rights the user gave it.
        if (const int error =
                replaceFile(now.target, *d.write, now.content ? now.mode : mode, &record.folders)) {
            outcome.failures.push_back(writeFailure(now.target, error));
            return false;
        }
    } else {
        return false;
    }
    ++outcome.changed;
    return true;
}

void refreshDatabases(const Places& places, bool mime, bool desktop) {
    if (mime)
        runQuietly("update-mime-database", places.dataHome / "mime");
    if (desktop)
        runQuietly("update-desktop-database", places.dataHome / "applications");
}

// update-mime-database leaves its output behind when the last package file goes; with
// packages/ empty it describes nothing, so the folder zr made may go as well.
void clearMimeDatabase(const fs::path& mime) {
    std::error_code ec;
    if (!fs::is_directory(mime, ec) ||
        (fs::exists(mime / "packages", ec) && !fs::is_empty(mime / "packages", ec)))
        return;
    for (const char* name :
         {"aliases", "generic-icons", "globs", "globs2", "icons", "magic", "mime.cache",
          "subclasses", "treemagic", "types", "version", "XMLnamespaces"})
        fs::remove(mime / name, ec);
    for (const auto& media : fs::directory_iterator(mime, ec)) {
        if (!media.is_directory() || media.path().filename() == "packages")
            continue;
        for (const auto& f : fs::directory_iterator(media.path(), ec))
            if (f.path().extension() == ".xml" && f.is_regular_file())
                fs::remove(f.path(), ec);
        fs::remove(media.path(), ec); // only when now empty
    }
}

} // namespace

fs::path SystemDesktopEntryFor(const fs::path& program, const Places& places) {
    for (const fs::path& dir : places.dataDirs) {
        const fs::path entry = dir / "applications" / kDesktopId;
        const Snapshot s = look(entry, true);
        if (!s.content)
            continue;
        const std::string command = DesktopEntryProgram(*s.content);
        if (command.empty())
            continue;
        const fs::path started =
            command.find('/') == std::string::npos ? findInPath(command) : fs::path(command);
        std::error_code ec;
        if (!started.empty() && fs::equivalent(started, program, ec))
            return entry;
    }
    return {};
}

Outcome WriteXdgAssociation(const fs::path& program, const Places& places, WriteMode run) {
    Outcome outcome;
    if (places.dataHome.empty() || places.configHome.empty())
        return outcome;
    Record record = loadRecord(places);
    const Record before = record;
    if (run == WriteMode::Start && !record.enabled)
        return outcome;
    record.enabled = true;
    Context ctx{places, run};
    ctx.systemWide = !SystemDesktopEntryFor(program, places).empty();
    ctx.choiceElsewhere = choiceInDesktopList(places);
    ctx.thunarDefaults = thunarDefaults(places);
    bool mimeChanged = false;
    bool desktopChanged = false;
    for (const PlannedFile& f : PlanFiles(program, places)) {
        const Snapshot now = look(f.path, f.kind != FileKind::Whole);
        const Decision d = decide(f, now, record.Find(f.path), ctx);
        const bool changed = apply(d, now, f.executable ? 0755 : 0644, record, outcome);
        if (d.keep)
            record.Set(*d.keep);
        else
            record.Erase(f.path);
        if (f.refresh == Refresh::DesktopDatabase)
            ctx.desktopEntryInPlace = !d.remove && (d.write ? changed : d.state == State::InPlace);
        mimeChanged |= changed && f.refresh == Refresh::MimeDatabase;
        desktopChanged |= changed && f.refresh == Refresh::DesktopDatabase;
    }
    refreshDatabases(places, mimeChanged, desktopChanged);
    saveRecord(places, record, before, outcome);
    return outcome;
}

Outcome RemoveXdgAssociation(const Places& places, const fs::path& program) {
    Outcome outcome;
    if (places.dataHome.empty() || places.configHome.empty())
        return outcome;
    Record record = loadRecord(places);
    const Record before = record;
    // Files exactly as zr writes them are zr's, even if the record was lost.
    if (!program.empty()) {
        for (const PlannedFile& f : PlanFiles(program, places)) {
            if (record.Find(f.path))
                continue;
            const Snapshot now = look(f.path, f.kind != FileKind::Whole);
            if (f.kind == FileKind::Whole && now.content && !now.link && *now.content == f.content)
                record.Set({f.kind, f.path, ContentHash(*now.content), true});
            if (f.kind == FileKind::ThunarActions && now.content && HasThunarAction(*now.content))
                record.Set({f.kind, f.path, ContentHash(*now.content), false});
        }
    }
    // Only the places zr writes to: a damaged record cannot take the user's files away.
    const std::vector<PlannedFile> planned = PlanFiles("/usr/bin/zr", places);
    const auto zrsPlace = [&](const RecordEntry& entry) {
        return std::any_of(planned.begin(), planned.end(), [&](const PlannedFile& f) {
            return f.path == entry.path && f.kind == entry.kind;
        });
    };
    bool mimeChanged = false;
    bool desktopChanged = false;
    for (const RecordEntry& entry : record.entries) {
        if (!zrsPlace(entry))
            continue;
        const Snapshot now = look(entry.path, entry.kind != FileKind::Whole);
        const Decision d =
            now.link && entry.kind == FileKind::Whole ? Decision{} : takeAway(entry, now);
        if (entry.kind == FileKind::Whole && (now.content || now.link) && !d.remove)
            outcome.kept.push_back(entry.path);
        if (apply(d, now, 0644, record, outcome)) {
            mimeChanged |= entry.path.parent_path() == places.dataHome / "mime" / "packages";
            desktopChanged |= entry.path.parent_path() == places.dataHome / "applications";
        }
    }
    refreshDatabases(places, mimeChanged, desktopChanged);
    const auto madeByZr = [&](const fs::path& folder) {
        return std::find(record.folders.begin(), record.folders.end(), folder) !=
               record.folders.end();
    };
    if (madeByZr(places.dataHome / "mime"))
        clearMimeDatabase(places.dataHome / "mime");
    std::error_code ec;
    const fs::path applications = places.dataHome / "applications";
    if (madeByZr(applications)) {
        bool entries = false;
        for (const auto& f : fs::directory_iterator(applications, ec))
            entries |= f.path().extension() == ".desktop";
        if (!entries)
            fs::remove(applications / "mimeinfo.cache", ec);
    }
    // Deepest first, and only the ones left empty.
    std::vector<fs::path> folders = record.folders;
    std::sort(folders.begin(), folders.end(), [](const fs::path& a, const fs::path& b) {
        return a.string().size() > b.string().size();
    });
    const auto under = [](const fs::path& folder, const fs::path& base) {
        const fs::path rest = folder.lexically_relative(base);
        return !rest.empty() && *rest.begin() != "..";
    };
    for (const fs::path& folder : folders)
        if (under(folder, places.dataHome) || under(folder, places.configHome) ||
            under(places.dataHome, folder) || under(places.configHome, folder))
            ::rmdir(folder.c_str());
    record = Record{};
    record.enabled = false;
    saveRecord(places, record, before, outcome);
    return outcome;
}

Status XdgAssociationStatus(const fs::path& program, const Places& places) {
    Status status;
    const Record record = loadRecord(places);
    status.enabled = record.enabled;
    status.systemEntry = SystemDesktopEntryFor(program, places);
    Context ctx{places, WriteMode::Start};
    ctx.systemWide = !status.systemEntry.empty();
    ctx.choiceElsewhere = choiceInDesktopList(places);
    ctx.thunarDefaults = thunarDefaults(places);
    for (const PlannedFile& f : PlanFiles(program, places)) {
        const Snapshot now = look(f.path, f.kind != FileKind::Whole);
        const Decision d = decide(f, now, record.Find(f.path), ctx);
        if (f.refresh == Refresh::DesktopDatabase)
            ctx.desktopEntryInPlace = d.state == State::InPlace || d.state == State::Outdated;
        status.items.push_back({f.path, f.kind, d.state});
    }
    return status;
}

} // namespace xdg

void WriteShellAssociation(const std::filesystem::path& programFile) {
    try {
        std::error_code ec;
        const std::filesystem::path program = std::filesystem::absolute(programFile, ec);
        if (!ec)
            xdg::WriteXdgAssociation(program.lexically_normal(), xdg::PlacesFromEnvironment());
    } catch (...) {
        // Tying into the desktop is a convenience: nothing here may keep the program from starting.
    }
}

} // namespace zr::app
