#pragma once
// The freedesktop association in the user's home: written at every start of zr, and installed,
// removed or reported by `zr-cli desktop`. What zr wrote is kept in a record (xdg_record.h), so
// that the user's deletions, changes and choices stand.

#include "xdg_files.h"

#include <filesystem>
#include <string>
#include <vector>

namespace zr::app::xdg {

enum class WriteMode {
    Start,   // every start of zr: nothing after a remove; what the user deleted stays deleted
    Install, // zr-cli desktop install: on again, and what the user deleted is written back
};

struct Outcome {
    int changed = 0; // files written, rewritten or taken away
    // "无法写入：path（reason）" or "无法删除：…", one per file left as it was by mistake; the
    // reasons in Simplified Chinese.
    std::vector<std::string> failures;
    std::vector<std::filesystem::path> kept; // removal: files of zr's that the user changed since
    // The record (xdg_record.h) could not be saved: whether zr writes at its next start, and what
    // it counts as its own, are as before. Its failure is among failures.
    bool recordFailed = false;
};

Outcome WriteXdgAssociation(const std::filesystem::path& program, const Places& places,
                            WriteMode run = WriteMode::Start);

// Takes away what zr wrote (files the user changed since are kept, and so are the user's
// entries in the shared files) and turns the association off. program, when not empty, lets
// files identical to zr's own count as zr's even when no record names them.
Outcome RemoveXdgAssociation(const Places& places, const std::filesystem::path& program = {});

enum class State {
    InPlace,       // as zr writes it
    Outdated,      // zr's, for another program path or an older zr; the next start renews it
    RemovedByUser, // zr wrote it and the user took it away: not written again
    UsersOwn,      // the user's own file or choice, or one the user changed: left alone
    System,        // a system-wide install provides it
    Absent,        // not written (not yet, or it does not apply here)
};

struct StatusItem {
    std::filesystem::path path;
    FileKind kind;
    State state;
};

struct Status {
    bool enabled = true;
    std::filesystem::path systemEntry; // the system-wide desktop entry that starts program
    std::vector<StatusItem> items;
};

Status XdgAssociationStatus(const std::filesystem::path& program, const Places& places);

// The desktop entry under a data directory that starts program (through PATH when it names a
// bare command), or an empty path.
std::filesystem::path SystemDesktopEntryFor(const std::filesystem::path& program,
                                            const Places& places);

} // namespace zr::app::xdg
