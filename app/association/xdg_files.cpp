#include "xdg_files.h"

#include <cstdint>
#include <cstdlib>
#include <pwd.h>
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

} // namespace

Places PlacesFromEnvironment() {
    Places p;
    p.dataHome = absoluteFromEnv("XDG_DATA_HOME");
    p.configHome = absoluteFromEnv("XDG_CONFIG_HOME");
    if (p.dataHome.empty() || p.configHome.empty()) {
        const fs::path home = homeFolder();
        if (home.empty())
            return {};
        if (p.dataHome.empty())
            p.dataHome = home / ".local" / "share";
        if (p.configHome.empty())
            p.configHome = home / ".config";
    }
    return p;
}

std::string DesktopExecArgument(const std::string& arg) {
    // Inside the quotes ", `, $ and \ take a backslash; % is doubled since Exec gives it a
    // meaning of its own; then the key-file escapes apply to the whole value.
    std::string quoted = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    quoted += '"';
    return keyFileString(quoted);
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
    // covers a.ZR and b.zr alike.
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
           "  <mime-type type=\"application/x-zr\">\n"
           "    <comment>加密文件</comment>\n"
           "    <icon name=\"zr\"/>\n"
           "    <glob pattern=\"*.zr\"/>\n"
           "  </mime-type>\n"
           "</mime-info>\n";
}

std::string DesktopEntry(const std::string& program) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=zr\n"
           "GenericName=文件加密解密\n"
           "Comment=用密钥加密或解密文件\n"
           "Exec=" +
           DesktopExecArgument(program) +
           " %f\n"
           "Icon=zr\n"
           "Terminal=false\n"
           "MimeType=application/x-zr;\n"
           "Categories=Utility;\n";
}

std::string NautilusScript(const std::string& program) {
    // Nautilus hands local files over by name relative to the folder it starts the script in.
    return "#!/bin/sh\n"
           "# 加密解密: opens zr for the chosen file. Written by zr at every start.\n"
           "[ $# -ge 1 ] || exit 0\n"
           "case $1 in\n"
           "/*) file=$1 ;;\n"
           "*) file=$PWD/$1 ;;\n"
           "esac\n"
           "exec " +
           ShellWord(program) + " \"$file\"\n";
}

std::string NemoAction(const std::string& program) {
    return "[Nemo Action]\n"
           "Name=加密解密\n"
           "Comment=用 zr 加密或解密这个文件\n"
           "Exec=" +
           keyFileString(ShellWord(program)) +
           " %F\n"
           "Icon-Name=zr\n"
           "Selection=s\n"
           "Extensions=any;\n";
}

std::string DolphinServiceMenu(const std::string& program) {
    // Dolphin reads the actions of any desktop file in kio/servicemenus; an application entry
    // that is never displayed keeps the file valid for the freedesktop validator as well. Every
    // file type inherits application/octet-stream.
    const std::string exec = "Exec=" + DesktopExecArgument(program) + " %f\n";
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=zr\n"
           "NoDisplay=true\n" +
           exec +
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

std::string ThunarAction(const std::string& program) {
    return std::string("<action>\n"
                       "\t<icon>zr</icon>\n"
                       "\t<name>加密解密</name>\n"
                       "\t<submenu></submenu>\n"
                       "\t<unique-id>") +
           kThunarId +
           "</unique-id>\n"
           "\t<command>" +
           XmlText(replaceAll(ShellWord(program), "%", "%%") + " %f") +
           "</command>\n"
           "\t<description>用 zr 加密或解密这个文件</description>\n"
           "\t<range>1-1</range>\n"
           "\t<patterns>*</patterns>\n"
           "\t<audio-files/>\n"
           "\t<image-files/>\n"
           "\t<other-files/>\n"
           "\t<text-files/>\n"
           "\t<video-files/>\n"
           "</action>\n";
}

std::optional<std::string> MergeThunarActions(const std::optional<std::string>& existing,
                                              const std::string& action) {
    if (!existing)
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n" + action + "</actions>\n";
    std::string doc = *existing;
    const std::string idTag = std::string("<unique-id>") + kThunarId + "</unique-id>";
    if (const std::size_t id = doc.find(idTag); id != std::string::npos) {
        const std::size_t begin = doc.rfind("<action>", id);
        std::size_t end = doc.find("</action>", id);
        if (begin == std::string::npos || end == std::string::npos)
            return std::nullopt;
        end += std::string_view("</action>").size();
        if (end < doc.size() && doc[end] == '\n')
            ++end;
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

std::string MergeMimeApps(const std::optional<std::string>& existing) {
    const std::string entry = std::string(kMimeType) + "=" + kDesktopId + ";";
    std::vector<std::string> lines;
    if (existing) {
        std::size_t from = 0;
        while (from < existing->size()) {
            std::size_t nl = existing->find('\n', from);
            if (nl == std::string::npos)
                nl = existing->size();
            lines.push_back(existing->substr(from, nl - from));
            from = nl + 1;
        }
    }
    auto trimmed = [](const std::string& s) {
        const std::size_t b = s.find_first_not_of(" \t\r");
        const std::size_t e = s.find_last_not_of(" \t\r");
        return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
    };
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
        bool placed = false;
        for (std::size_t i = header + 1; i < lines.size();) {
            const std::string t = trimmed(lines[i]);
            if (!t.empty() && t[0] == '[')
                break;
            const std::size_t eq = t.find('=');
            if (eq != std::string::npos && trimmed(t.substr(0, eq)) == kMimeType) {
                if (placed) {
                    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
                    continue;
                }
                lines[i] = entry;
                placed = true;
            }
            ++i;
        }
        if (!placed)
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(header) + 1, entry);
    }
    std::string out;
    for (const std::string& l : lines)
        out += l + "\n";
    return out;
}

std::vector<PlannedFile> PlanFiles(const fs::path& program, const Places& places) {
    std::vector<PlannedFile> files;
    const fs::path& data = places.dataHome;
    const fs::path& config = places.configHome;
    files.push_back({data / "mime" / "packages" / "zr.xml", MimeTypeXml(), false,
                     Refresh::MimeDatabase, nullptr});
    for (std::size_t i = 0; i < kIconFileCount; ++i) {
        const EmbeddedFile& icon = kIconFiles[i];
        files.push_back({data / icon.path,
                         std::string(reinterpret_cast<const char*>(icon.data), icon.size), false,
                         Refresh::None, nullptr});
    }
    // A path that these files cannot carry whole is not written half: no command at all is
    // better than one that starts something else.
    const std::string exe = program.string();
    if (!UsablePath(exe))
        return files;
    files.push_back({data / "applications" / kDesktopId, DesktopEntry(exe), false,
                     Refresh::DesktopDatabase, nullptr});
    files.push_back({config / "mimeapps.list",
                     {},
                     false,
                     Refresh::None,
                     [](const std::optional<std::string>& existing, const std::string&) {
                         return std::optional<std::string>(MergeMimeApps(existing));
                     },
                     true});
    files.push_back(
        {data / "nautilus" / "scripts" / kVerb, NautilusScript(exe), true, Refresh::None, nullptr});
    // Nemo would read a % in the path as the start of one of its codes and has no escape.
    if (exe.find('%') == std::string::npos)
        files.push_back({data / "nemo" / "actions" / "zr.nemo_action", NemoAction(exe), false,
                         Refresh::None, nullptr});
    files.push_back({data / "kio" / "servicemenus" / "zr.desktop", DolphinServiceMenu(exe), true,
                     Refresh::None, nullptr});
    files.push_back({config / "Thunar" / "uca.xml", ThunarAction(exe), false, Refresh::None,
                     &MergeThunarActions});
    return files;
}

} // namespace zr::app::xdg
