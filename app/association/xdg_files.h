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
inline constexpr const char* kDesktopId = "zr.desktop";
inline constexpr const char* kVerb = "加密解密";
inline constexpr const char* kThunarId = "zr-encrypt-decrypt";

struct Places {
    std::filesystem::path dataHome;   // $XDG_DATA_HOME, else $HOME/.local/share
    std::filesystem::path configHome; // $XDG_CONFIG_HOME, else $HOME/.config
};

// Relative or empty XDG_* values are ignored, as the base-directory rules ask. Both places are
// empty when no home folder is known.
Places PlacesFromEnvironment();

// Quoting for the three command syntaxes the files use.
std::string DesktopExecArgument(const std::string& arg); // Exec= of a desktop entry
std::string ShellWord(const std::string& arg);           // sh, and GLib's shell-style parse
std::string XmlText(const std::string& text);

// A program path that can be written into these files: valid UTF-8 without control characters.
bool UsablePath(const std::string& path);

std::string MimeTypeXml();
std::string DesktopEntry(const std::string& program);
std::string NautilusScript(const std::string& program);
std::string NemoAction(const std::string& program);
std::string DolphinServiceMenu(const std::string& program);
// One <action> element for uca.xml.
std::string ThunarAction(const std::string& program);

// The user's uca.xml with our action put in (replacing an earlier one of ours) and every other
// action kept as it was. existing is nullopt when there is no file yet. Returns nullopt when the
// existing file cannot be understood, so that it is left alone.
std::optional<std::string> MergeThunarActions(const std::optional<std::string>& existing,
                                              const std::string& action);

// The user's mimeapps.list with zr as the default for application/x-zr, everything else kept.
std::string MergeMimeApps(const std::optional<std::string>& existing);

enum class Refresh { None, MimeDatabase, DesktopDatabase };

// One file under the data or config home. merge, when set, computes the content from the
// file's current content (nullopt: leave the file alone).
struct PlannedFile {
    std::filesystem::path path;
    std::string content;
    bool executable = false;
    Refresh refresh = Refresh::None;
    std::optional<std::string> (*merge)(const std::optional<std::string>& existing,
                                        const std::string& content) = nullptr;
    // Written only when the desktop entry is in place: a default handler naming an entry that
    // is not there would only hide the user's other choices.
    bool needsDesktopEntry = false;
};

// Every file the association consists of, for the program at the absolute path program.
std::vector<PlannedFile> PlanFiles(const std::filesystem::path& program, const Places& places);

// Writes the planned files whose content differs, then runs update-mime-database and
// update-desktop-database where something they read changed. Silent; returns how many files
// were rewritten.
int WriteXdgAssociation(const std::filesystem::path& program, const Places& places);

// The icon files built into the program, by path under the data home.
struct EmbeddedFile {
    const char* path;
    const unsigned char* data;
    std::size_t size;
};
extern const EmbeddedFile kIconFiles[];
extern const std::size_t kIconFileCount;

} // namespace zr::app::xdg
