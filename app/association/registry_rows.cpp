#include "registry_rows.h"

namespace zr::app {

namespace {
constexpr const char* kMirror = "Software\\Classes\\";
constexpr const char* kVerbKey = "*\\shell\\加密解密\\command";
constexpr const char* kClassName = "zrfile";
constexpr const char* kClassText = "加密文件";
} // namespace

std::string OpenCommand(const std::string& appPath) {
    // Quoted: without quotes a folder with blanks (C:\Program Files\zr) would make Windows try
    // C:\Program.exe first.
    return "\"" + appPath + "\\zr.exe\" %1";
}

std::string IconReference(const std::string& appPath) {
    return appPath + "\\zr.exe,0";
}

std::vector<RegistryRow> ShellAssociationRows(const std::string& appPath) {
    const std::string open = OpenCommand(appPath);
    const std::string icon = IconReference(appPath);
    const std::string mirror = kMirror;
    constexpr auto root = RegistryRoot::ClassesRoot;
    constexpr auto user = RegistryRoot::CurrentUser;
    return {
        {root, ".zr", kClassName},
        {root, "command", open},
        {root, "zrfile", kClassText},
        {root, "zrfile\\shell\\open\\command", open},
        {user, mirror + kVerbKey, open},
        {user, mirror + ".zr", kClassName},
        {user, mirror + "command", open},
        {user, mirror + "zrfile", kClassText},
        {user, mirror + "zrfile\\shell\\open\\command", open},
        {root, kVerbKey, open},
        {root, "zrfile\\DefaultIcon", icon},
        {user, mirror + "zrfile\\DefaultIcon", icon},
    };
}

} // namespace zr::app
