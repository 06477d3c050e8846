#include "xdg_files.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <pwd.h>
#include <string_view>
#include <unistd.h>

namespace zr::app::xdg {

namespace fs = std::filesystem;

namespace {

fs::path absoluteFromEnv(const char* name) {
    const char* v = std::getenv(name);
    if (!v || v[0] != '/')
        return {};
    return fs::path(v);
}

fs::path homeFolder() {
    if (fs::path home = absoluteFromEnv("HOME"); !home.empty())
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
        return fs::path(pw->pw_dir);
    return {};
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

// The escapes of a key-file string value, which GLib and KDE undo before anything else.
std::string keyFileString(const std::string& s) {
    return replaceAll(s, "\\", "\\\\");
}

std::vector<fs::path> absoluteListFromEnv(const char* name, const char* fallback) {
    const char* v = std::getenv(name);
    std::string list = v && *v ? v : fallback;
    std::vector<fs::path> out;
    for (std::size_t from = 0; from <= list.size();) {
        std::size_t colon = list.find(':', from);
        if (colon == std::string::npos)
            colon = list.size();
        if (colon > from && list[from] == '/')
            out.emplace_back(list.substr(from, colon - from));
        from = colon + 1;
    }
    return out;
}

// The characters for which a desktop entry's Exec argument must be quoted.
bool reservedInExec(char c) {
    return std::string_view(" \t\n\"'\\><~|&;$*?#()`").find(c) != std::string_view::npos;
}

// Characters that no shell-style parse gives a meaning; bytes of UTF-8 characters included.
bool plainInCommand(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           (c >= '0' && c <= '9') ||
           std::string_view("/._-+,:@%").find(c) != std::string_view::npos;
}

} // namespace

Places PlacesFromEnvironment() {
    Places p;
    p.dataHome = absoluteFromEnv("XDG_DATA_HOME");
    p.configHome = absoluteFromEnv("XDG_CONFIG_HOME");
    p.dataDirs = absoluteListFromEnv("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
    p.configDirs = absoluteListFromEnv("XDG_CONFIG_DIRS", "/etc/xdg");
    if (p.dataHome.empty() || p.configHome.empty()) {
        const fs::path home = homeFolder();
        if (home.empty()) {
            p.dataHome.clear();
            p.configHome.clear();
            return p;
        }
        if (p.dataHome.empty())
            p.dataHome = home / ".local" / "share";
        if (p.configHome.empty())
            p.configHome = home / ".config";
    }
    return p;
}

std::string DesktopExecArgument(const std::string& arg) {
    // % is doubled since Exec gives it a meaning of its own; an argument with a reserved
    // character goes in quotes, where ", `, $ and \ take a backslash; then the key-file escapes
    // apply to the whole value.
    const bool quote = std::any_of(arg.begin(), arg.end(), reservedInExec) || arg.empty();
    std::string out = quote ? "\"" : "";
    for (char c : arg) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\'))
            out += '\\';
        if (c == '%')
            out += '%';
        out += c;
    }
    if (quote)
        out += '"';
    return keyFileString(out);
}

std::string CommandWord(const std::string& arg) {
    if (!arg.empty() && std::all_of(arg.begin(), arg.end(), plainInCommand))
        return arg;
    return ShellWord(arg);
}

std::string ShellWord(const std::string& arg) {
    return "'" + replaceAll(arg, "'", "'\\''") + "'";
}

std::string XmlText(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool UsablePath(const std::string& path) {
    if (path.empty() || path[0] != '/')
        return false;
    for (std::size_t i = 0; i < path.size();) {
        const auto c = static_cast<unsigned char>(path[i]);
        if (c < 0x20 || c == 0x7f)
            return false;
        int extra = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xe0) == 0xc0) {
            extra = 1;
            cp = c & 0x1f;
        } else if ((c & 0xf0) == 0xe0) {
            extra = 2;
            cp = c & 0x0f;
        } else if ((c & 0xf8) == 0xf0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(extra) >= path.size())
            return false;
        for (int k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(path[i + static_cast<std::size_t>(k)]);
            if ((d & 0xc0) != 0x80)
                return false;
            cp = (cp << 6) | (d & 0x3f);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        static constexpr std::uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[extra] || (cp >= 0xd800 && cp <= 0xdfff) || cp > 0x10ffff)
            return false;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

std::string MimeTypeXml() {
    // Globs of shared-mime-info match in any letter case unless told otherwise, so "*.zr"
    // covers a.ZR and b.zr alike. GTK looks up every name in the user's theme before it looks
    // in hicolor, where zr's icon is: a standard generic name would be found first and win, so
    // the generic icon is zr's own as well.
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
           "  <mime-type type=\"application/x-zr\">\n"
           "    <comment>加密文件</comment>\n"
           "    <icon name=\"zr\"/>\n"
           "    <generic-icon name=\"zr\"/>\n"
           "    <glob pattern=\"*.zr\"/>\n"
           "  </mime-type>\n"
           "</mime-info>\n";
}

std::string DesktopEntry(const std::string& program) {
    // %F: every selected file goes to one program.
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=zr\n"
           "GenericName=File Encryption\n"
           "GenericName[zh_CN]=文件加密解密\n"
           "Comment=Encrypt or decrypt files with a key\n"
           "Comment[zh_CN]=用密钥加密或解密文件\n"
           "Keywords=encrypt;decrypt;key;ZR;\n"
           "Keywords[zh_CN]=加密;解密;密钥;ZR;\n"
           "TryExec=" +
           keyFileString(program) +
           "\n"
           "Exec=" +
           DesktopExecArgument(program) +
           " %F\n"
           "Icon=zr\n"
           "Terminal=false\n"
           "MimeType=application/x-zr;\n"
           "Categories=Utility;\n";
}

std::string NautilusScript(const std::string& program) {
    // Nautilus gives the local selection one path a line in the variable; its arguments are
    // names relative to the folder, which it mangles when they hold a "%". Scripts cannot be
    // kept off folders, so a folder alone gets an answer instead of a window that fails later;
    // without a way to show one, zr's main menu opens, where folders are handled.
    return "#!/bin/sh\n"
           "# 加密解密: opens zr for the selected files. Written by zr; \"zr-cli desktop remove\"\n"
           "# takes it away.\n"
           "nl='\n"
           "'\n"
           "if [ -n \"${NAUTILUS_SCRIPT_SELECTED_FILE_PATHS:-}\" ]; then\n"
           "  IFS=$nl\n"
           "  set -f\n"
           "  set -- $NAUTILUS_SCRIPT_SELECTED_FILE_PATHS\n"
           "  set +f\n"
           "  unset IFS\n"
           "fi\n"
           "folder=\n"
           "for f do\n"
           "  shift\n"
           "  case $f in /*) ;; *) f=$PWD/$f ;; esac\n"
           "  if [ -d \"$f\" ]; then folder=$f; else set -- \"$@\" \"$f\"; fi\n"
           "done\n"
           "if [ $# -eq 0 ]; then\n"
           "  [ -n \"$folder\" ] || exit 0\n"
           "  text=\"“加密解密”只用于文件，不用于文件夹：$folder$nl"
           "要加密或解密整个文件夹，请打开 zr，在主菜单中选择“加密/解密整个文件夹”。\"\n"
           "  if command -v zenity >/dev/null 2>&1; then\n"
           "    exec zenity --info --no-markup --title=zr --text=\"$text\"\n"
           "  elif command -v kdialog >/dev/null 2>&1; then\n"
           "    exec kdialog --title zr --msgbox \"$text\"\n"
           "  elif command -v notify-send >/dev/null 2>&1; then\n"
           "    exec notify-send --icon=zr zr \"$text\"\n"
           "  elif command -v gdbus >/dev/null 2>&1 && gdbus call --session \\\n"
           "      --dest org.freedesktop.Notifications --object-path /org/freedesktop/Notifications \\\n"
           "      --method org.freedesktop.Notifications.Notify zr 0 zr zr \"$text\" [] {} -1 \\\n"
           "      >/dev/null 2>&1; then\n"
           "    exit 0\n"
           "  fi\n"
           "fi\n"
           "exec " +
           ShellWord(program) + " \"$@\"\n";
}

std::string NemoAction(const std::string& program) {
    // Nemo drops the entry when a dependency is missing, so it goes away with the program.
    return "[Nemo Action]\n"
           "Name=加密解密\n"
           "Comment=用 zr 加密或解密选中的文件\n"
           "Exec=" +
           keyFileString(replaceAll(CommandWord(program), "%", "%%")) +
           " %F\n"
           "Icon-Name=zr\n"
           "Selection=notnone\n"
           "Extensions=nodirs;\n"
           "Dependencies=" +
           replaceAll(keyFileString(program), ";", "\\;") + ";\n";
}

std::string DolphinServiceMenu(const std::string& program) {
    // Dolphin reads the actions of any desktop file in kio/servicemenus; an application entry
    // that is never displayed keeps the file valid for the freedesktop validator as well. Every
    // file type but a folder inherits application/octet-stream.
    const std::string exec = "Exec=" + DesktopExecArgument(program) + " %F\n";
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=zr\n"
           "NoDisplay=true\n"
           "TryExec=" +
           keyFileString(program) + "\n" + exec +
           "Icon=zr\n"
           "MimeType=application/octet-stream;\n"
           "Actions=zrEncryptDecrypt;\n"
           "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n"
           "\n"
           "[Desktop Action zrEncryptDecrypt]\n"
           "Name=加密解密\n"
           "Icon=zr\n" +
           exec;
}

std::string FileManagerAction(const std::string& program) {
    // all/allfiles: every file, no folder. The command is parsed like a shell's; both it and
    // TryExec go through the format's parameter expansion, where %% is a percent sign.
    return "[Desktop Entry]\n"
           "Type=Action\n"
           "Name=加密解密\n"
           "Tooltip=用 zr 加密或解密选中的文件\n"
           "Icon=zr\n"
           "Profiles=files;\n"
           "\n"
           "[X-Action-Profile files]\n"
           "Name=加密解密\n"
           "Exec=" +
           keyFileString(replaceAll(CommandWord(program), "%", "%%")) +
           " %F\n"
           "TryExec=" +
           keyFileString(replaceAll(program, "%", "%%")) +
           "\n"
           "MimeTypes=all/allfiles;\n";
}

std::string ThunarAction(const std::string& program) {
    // No <directories/>: Thunar offers the action on files only.
    return std::string("<action>\n"
                       "\t<icon>zr</icon>\n"
                       "\t<name>加密解密</name>\n"
                       "\t<submenu></submenu>\n"
                       "\t<unique-id>") +
           kThunarId +
           "</unique-id>\n"
           "\t<command>" +
           XmlText(replaceAll(CommandWord(program), "%", "%%") + " %F") +
           "</command>\n"
           "\t<description>用 zr 加密或解密选中的文件</description>\n"
           "\t<range></range>\n"
           "\t<patterns>*</patterns>\n"
           "\t<audio-files/>\n"
           "\t<image-files/>\n"
           "\t<other-files/>\n"
           "\t<text-files/>\n"
           "\t<video-files/>\n"
           "</action>\n";
}

namespace {

// Where our action lies in uca.xml: [begin, end) including its line break; npos when absent,
// and begin == end when the file is too broken to tell.
std::pair<std::size_t, std::size_t> findThunarAction(const std::string& doc) {
    const std::string idTag = std::string("<unique-id>") + kThunarId + "</unique-id>";
    const std::size_t id = doc.find(idTag);
    if (id == std::string::npos)
        return {std::string::npos, std::string::npos};
    const std::size_t begin = doc.rfind("<action>", id);
    std::size_t end = doc.find("</action>", id);
    if (begin == std::string::npos || end == std::string::npos)
        return {0, 0};
    end += std::string_view("</action>").size();
    if (end < doc.size() && doc[end] == '\n')
        ++end;
    return {begin, end};
}

} // namespace

std::optional<std::string> MergeThunarActions(const std::optional<std::string>& existing,
                                              const std::string& action) {
    if (!existing)
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n" + action + "</actions>\n";
    std::string doc = *existing;
    if (const auto [begin, end] = findThunarAction(doc); begin != std::string::npos) {
        if (begin == end)
            return std::nullopt;
        doc.replace(begin, end - begin, action);
        return doc;
    }
    const std::size_t close = doc.rfind("</actions>");
    if (close == std::string::npos || doc.find("<actions") == std::string::npos)
        return std::nullopt;
    const bool atLineStart = close == 0 || doc[close - 1] == '\n';
    doc.insert(close, atLineStart ? action : "\n" + action);
    return doc;
}

bool HasThunarAction(const std::string& existing) {
    return findThunarAction(existing).first != std::string::npos;
}

std::optional<std::string> RemoveThunarAction(const std::string& existing) {
    const auto [begin, end] = findThunarAction(existing);
    if (begin == std::string::npos)
        return existing;
    if (begin == end)
        return std::nullopt;
    return existing.substr(0, begin) + existing.substr(end);
}

namespace {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t nl = text.find('\n', from);
        if (nl == std::string::npos)
            nl = text.size();
        lines.push_back(text.substr(from, nl - from));
        from = nl + 1;
    }
    return lines;
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines)
        out += l + "\n";
    return out;
}

std::string trimmed(const std::string& s) {
    const std::size_t b = s.find_first_not_of(" \t\r");
    const std::size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// Calls visit(line index, value) for every application/x-zr key in the section.
template <typename Visit>
void forEachZrKey(const std::vector<std::string>& lines, const std::string& section, Visit visit) {
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string t = trimmed(lines[i]);
        if (!t.empty() && t[0] == '[') {
            inSection = t == section;
            continue;
        }
        const std::size_t eq = t.find('=');
        if (inSection && eq != std::string::npos && trimmed(t.substr(0, eq)) == kMimeType)
            visit(i, trimmed(t.substr(eq + 1)));
    }
}

bool listsDesktopId(const std::string& value, bool firstOnly) {
    std::size_t from = 0;
    while (from < value.size()) {
        std::size_t semi = value.find(';', from);
        if (semi == std::string::npos)
            semi = value.size();
        if (trimmed(value.substr(from, semi - from)) == kDesktopId)
            return true;
        if (firstOnly)
            return false;
        from = semi + 1;
    }
    return false;
}

} // namespace

bool MimeAppsHasUserChoice(const std::string& existing) {
    bool chosen = false;
    const std::vector<std::string> lines = splitLines(existing);
    forEachZrKey(lines, "[Default Applications]",
                 [&](std::size_t, const std::string& value) { chosen |= !value.empty(); });
    forEachZrKey(lines, "[Removed Associations]", [&](std::size_t, const std::string& value) {
        chosen |= listsDesktopId(value, false);
    });
    return chosen;
}

bool MimeAppsNamesZr(const std::string& existing) {
    bool names = false;
    forEachZrKey(splitLines(existing), "[Default Applications]",
                 [&](std::size_t, const std::string& value) {
                     names = names || listsDesktopId(value, true);
                 });
    return names;
}

std::string MergeMimeApps(const std::optional<std::string>& existing) {
    if (existing && MimeAppsHasUserChoice(*existing))
        return *existing;
    const std::string entry = std::string(kMimeType) + "=" + kDesktopId + ";";
    std::vector<std::string> lines = existing ? splitLines(*existing) : std::vector<std::string>{};
    std::size_t header = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (trimmed(lines[i]) == "[Default Applications]") {
            header = i;
            break;
        }
    if (header == lines.size()) {
        if (!lines.empty() && !trimmed(lines.back()).empty())
            lines.emplace_back();
        lines.emplace_back("[Default Applications]");
        lines.push_back(entry);
    } else {
        // An empty value is no choice; it gives way to ours.
        std::vector<std::size_t> empty;
        forEachZrKey(lines, "[Default Applications]",
                     [&](std::size_t i, const std::string&) { empty.push_back(i); });
        for (auto it = empty.rbegin(); it != empty.rend(); ++it)
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(*it));
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(header) + 1, entry);
    }
    return joinLines(lines);
}

std::string RemoveMimeAppsDefault(const std::string& existing) {
    std::vector<std::string> lines = splitLines(existing);
    std::vector<std::size_t> ours;
    forEachZrKey(lines, "[Default Applications]", [&](std::size_t i, const std::string& value) {
        if (listsDesktopId(value, true))
            ours.push_back(i);
    });
    if (ours.empty())
        return existing;
    for (auto it = ours.rbegin(); it != ours.rend(); ++it)
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(*it));
    return joinLines(lines);
}

std::string DesktopEntryProgram(const std::string& entry) {
    std::string tryExec, exec;
    bool inMain = false;
    for (const std::string& line : splitLines(entry)) {
        const std::string t = trimmed(line);
        if (!t.empty() && t[0] == '[') {
            inMain = t == "[Desktop Entry]";
            continue;
        }
        if (!inMain)
            continue;
        if (t.rfind("TryExec=", 0) == 0)
            tryExec = trimmed(t.substr(8));
        else if (t.rfind("Exec=", 0) == 0)
            exec = trimmed(t.substr(5));
    }
    if (!tryExec.empty())
        return replaceAll(tryExec, "\\\\", "\\");
    // The first word of Exec, with the key-file and then the Exec quoting undone.
    exec = replaceAll(exec, "\\\\", "\\");
    std::string word;
    if (!exec.empty() && exec[0] == '"') {
        for (std::size_t i = 1; i < exec.size() && exec[i] != '"'; ++i) {
            if (exec[i] == '\\' && i + 1 < exec.size())
                ++i;
            word += exec[i];
        }
    } else {
        word = exec.substr(0, exec.find_first_of(" \t"));
    }
    return replaceAll(word, "%%", "%");
}

std::vector<PlannedFile> PlanFiles(const fs::path& program, const Places& places) {
    std::vector<PlannedFile> files;
    const fs::path& data = places.dataHome;
    const fs::path& config = places.configHome;
    auto whole = [&](const fs::path& relative, std::string content, bool executable,
                     Refresh refresh, bool systemPlace) {
        files.push_back({data / relative, std::move(content), FileKind::Whole, executable, refresh,
                         systemPlace ? relative : fs::path()});
    };
    whole("mime/packages/zr.xml", MimeTypeXml(), false, Refresh::MimeDatabase, true);
    for (std::size_t i = 0; i < kIconFileCount; ++i) {
        const EmbeddedFile& icon = kIconFiles[i];
        whole(icon.path, std::string(reinterpret_cast<const char*>(icon.data), icon.size), false,
              Refresh::None, true);
    }
    // A path that these files cannot carry whole is not written half: no command at all is
    // better than one that starts something else.
    const std::string exe = program.string();
    if (!UsablePath(exe))
        return files;
    const fs::path desktopEntry = fs::path("applications") / kDesktopId;
    whole(desktopEntry, DesktopEntry(exe), false, Refresh::DesktopDatabase, true);
    // After the desktop entry, which it names; a system-wide entry is the default already.
    files.push_back(
        {config / "mimeapps.list", {}, FileKind::MimeDefault, false, Refresh::None, desktopEntry});
    whole(fs::path("nautilus/scripts") / kVerb, NautilusScript(exe), true, Refresh::None, false);
    whole("nemo/actions/zr.nemo_action", NemoAction(exe), false, Refresh::None, true);
    // Dolphin runs service menus from the home only when they are executable.
    whole("kio/servicemenus/zr.desktop", DolphinServiceMenu(exe), true, Refresh::None, true);
    whole("file-manager/actions/zr.desktop", FileManagerAction(exe), false, Refresh::None, true);
    files.push_back({config / "Thunar" / "uca.xml",
                     ThunarAction(exe),
                     FileKind::ThunarActions,
                     false,
                     Refresh::None,
                     {}});
    return files;
}

} // namespace zr::app::xdg
