// The registry writer against a real registry (Wine's, in the Windows check).
#include "registry_rows.h"
#include "shell_association.h"

#include <gtest/gtest.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace zr::app {
namespace {

std::wstring wide(const std::string& s) {
    std::wstring w(s.size(), L'\0');
    w.resize(static_cast<std::size_t>(::MultiByteToWideChar(
        CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), static_cast<int>(w.size()))));
    return w;
}

// The default value of a key, or nullopt when the key or value is missing.
std::optional<std::wstring> defaultValue(HKEY root, const std::wstring& key) {
    wchar_t buffer[4096];
    DWORD size = sizeof buffer;
    DWORD type = 0;
    if (::RegGetValueW(root, key.c_str(), nullptr, RRF_RT_ANY, &type, buffer, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    if (type != REG_SZ)
        return std::wstring(L"<not REG_SZ>");
    return std::wstring(buffer);
}

TEST(RegistryWriter, StoresEveryRowWholeForAFolderWithBlanksAndChinese) {
    WriteShellAssociation(L"C:\\Program Files\\zr 工具\\zr.exe");
    for (const RegistryRow& row : ShellAssociationRows("C:\\Program Files\\zr 工具")) {
        SCOPED_TRACE(row.key);
        const HKEY root =
            row.root == RegistryRoot::ClassesRoot ? HKEY_CLASSES_ROOT : HKEY_CURRENT_USER;
        EXPECT_EQ(defaultValue(root, wide(row.key)), wide(row.value));
    }
    EXPECT_EQ(defaultValue(HKEY_CLASSES_ROOT, L"zrfile\\shell\\open\\command"),
              L"\"C:\\Program Files\\zr 工具\\zr.exe\" %1");
}

TEST(RegistryWriter, AMovedProgramIsRegisteredAtItsNewFolder) {
    WriteShellAssociation(L"C:\\Old\\zr.exe");
    WriteShellAssociation(L"D:/新/zr.exe"); // forward slashes, as toolkits report paths
    EXPECT_EQ(defaultValue(HKEY_CLASSES_ROOT, L"*\\shell\\加密解密\\command"),
              L"\"D:\\新\\zr.exe\" %1");
    EXPECT_EQ(defaultValue(HKEY_CURRENT_USER, L"Software\\Classes\\zrfile\\DefaultIcon"),
              L"D:\\新\\zr.exe,0");
}

TEST(RegistryWriter, ADriveRootGivesNoDoubledBackslash) {
    WriteShellAssociation(L"C:\\zr.exe");
    EXPECT_EQ(defaultValue(HKEY_CLASSES_ROOT, L"zrfile\\DefaultIcon"), L"C:\\zr.exe,0");
}

} // namespace
} // namespace zr::app
