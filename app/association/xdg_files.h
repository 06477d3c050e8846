#pragma once
// The freedesktop side of the shell association: what the files that tie zr into Linux desktops
// contain, and the merges into the two files that the user shares with other programs
// (mimeapps.list and Thunar's uca.xml). Everything here is pure; shell_association_xdg.cpp
// writes the files.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zr::app::xdg {

inline constexpr const char* kMimeType = "application/x-zr";
// The desktop entry's file name follows the software-centre component id.
inline constexpr const char* kDesktopId = "org.zrproject.zr.desktop";
inline constexpr const char* kVerb = "加密解密";
inline constexpr const char* kThunarId = "zr-encrypt-decrypt";

struct Places {
    std::filesystem::path dataHome;   // $XDG_DATA_HOME, else $HOME/.local/share
    std::filesystem::path configHome; // $XDG_CONFIG_HOME, else $HOME/.config
    std::vector<std::filesystem::path> dataDirs; // $XDG_DATA_DIRS, else /usr/local/share:/usr/share
    std::vector<std::filesystem::path> configDirs; // $XDG_CONFIG_DIRS, else /etc/xdg
};

// Relative or empty XDG_* values are ignored, as the base-directory rules ask. The two homes
// are empty when no home folder is known.
Places PlacesFromEnvironment();

// Quoting for the command syntaxes the files use. The program path is quoted only when it
// needs it: xdg-open's fallback opener takes the first blank-separated word of Exec as the
// program and cannot read quotes.
std::string DesktopExecArgument(const std::string& arg); // Exec= of a desktop entry
std::string CommandWord(const std::string& arg);         // GLib's shell-style parse
std::string ShellWord(const std::string& arg);           // sh, always quoted
std::string XmlText(const std::string& text);

// A program path that can be written into these files: valid UTF-8 without control characters.
bool UsablePath(const std::string& path);

// program is the absolute path for the per-user files, or "zr" for the ones a package installs
// (found through PATH).
std::string MimeTypeXml();
std::string DesktopEntry(const std::string& program);
std::string NautilusScript(const std::string& program);
std::string NemoAction(const std::string& program);
std::string DolphinServiceMenu(const std::string& program);
// The shared file-manager actions format, read by PCManFM, PCManFM-Qt and Caja.
std::string FileManagerAction(const std::string& program);
// One <action> element for uca.xml.
std::string ThunarAction(const std::string& program);

// The user's uca.xml with our action put in (replacing an earlier one of ours) and every other
// action kept as it was. existing is nullopt when there is no file yet. Returns nullopt when the
// existing file cannot be understood, so that it is left alone.
std::optional<std::string> MergeThunarActions(const std::optional<std::string>& existing,
                                              const std::string& action);
bool HasThunarAction(const std::string& existing);
// uca.xml without our action; nullopt when it cannot be understood.
std::optional<std::string> RemoveThunarAction(const std::string& existing);

// The user's mimeapps.list with zr as the default for application/x-zr, unless the user has
// made a choice for the type there (a default, or zr removed from its applications): then it
// comes back unchanged.
std::string MergeMimeApps(const std::optional<std::string>& existing);
bool MimeAppsHasUserChoice(const std::string& existing);
bool MimeAppsNamesZr(const std::string& existing);
// mimeapps.list without zr's default line.
std::string RemoveMimeAppsDefault(const std::string& existing);

enum class Refresh { None, MimeDatabase, DesktopDatabase };

enum class FileKind {
    Whole,         // the whole file is zr's
    ThunarActions, // zr's action inside the user's uca.xml
    MimeDefault,   // zr's line inside the user's mimeapps.list
};

struct PlannedFile {
    std::filesystem::path path;
    // Whole: the content; ThunarActions: the <action> element; MimeDefault: unused.
    std::string content;
    FileKind kind = FileKind::Whole;
    bool executable = false;
    Refresh refresh = Refresh::None;
    // Where a system-wide install keeps the same thing, relative to a data directory; empty
    // when it has no system-wide place.
    std::filesystem::path systemPlace;
};

// Every file the association consists of, for the program at the absolute path program.
std::vector<PlannedFile> PlanFiles(const std::filesystem::path& program, const Places& places);

// The program a desktop entry starts: TryExec, else the first word of Exec, unquoted.
std::string DesktopEntryProgram(const std::string& entry);

// The icon files built into the program, by path under the data home.
struct EmbeddedFile {
    const char* path;
    const unsigned char* data;
    std::size_t size;
};
extern const EmbeddedFile kIconFiles[];
extern const std::size_t kIconFileCount;

} // namespace zr::app::xdg
