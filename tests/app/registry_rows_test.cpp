#include "registry_rows.h"

#include <gtest/gtest.h>

namespace zr::app {
namespace {

constexpr auto HKCR = RegistryRoot::ClassesRoot;
constexpr auto HKCU = RegistryRoot::CurrentUser;

TEST(RegistryRows, WritesTheClassRowsWithTheMirrorBetweenRowsFourAndFiveAndAfterSix) {
    const std::string open = "\"C:\\Tools\\zr.exe\" %1";
    const std::string icon = "C:\\Tools\\zr.exe,0";
    const std::vector<RegistryRow> expected = {
        {HKCR, ".zr", "zrfile"},
        {HKCR, "command", open},
        {HKCR, "zrfile", "加密文件"},
        {HKCR, "zrfile\\shell\\open\\command", open},
        {HKCU, "Software\\Classes\\*\\shell\\加密解密\\command", open},
        {HKCU, "Software\\Classes\\.zr", "zrfile"},
        {HKCU, "Software\\Classes\\command", open},
        {HKCU, "Software\\Classes\\zrfile", "加密文件"},
        {HKCU, "Software\\Classes\\zrfile\\shell\\open\\command", open},
        {HKCR, "*\\shell\\加密解密\\command", open},
        {HKCR, "zrfile\\DefaultIcon", icon},
        {HKCU, "Software\\Classes\\zrfile\\DefaultIcon", icon},
    };
    EXPECT_EQ(ShellAssociationRows("C:\\Tools"), expected);
}

TEST(RegistryRows, QuotesTheProgramPathSoThatBlanksCannotStartAnotherProgram) {
    // Unquoted, C:\Program Files\zr 工具\zr.exe %1 would make Windows try C:\Program.exe.
    EXPECT_EQ(OpenCommand("C:\\Program Files\\zr 工具"),
              "\"C:\\Program Files\\zr 工具\\zr.exe\" %1");
    EXPECT_EQ(IconReference("C:\\Program Files\\zr 工具"), "C:\\Program Files\\zr 工具\\zr.exe,0");
}

TEST(RegistryRows, MovingTheProgramChangesOnlyTheCommandsAndTheIcon) {
    const auto before = ShellAssociationRows("C:\\Tools");
    const auto after = ShellAssociationRows("D:\\新文件夹\\zr");
    ASSERT_EQ(before.size(), after.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(before[i].root, after[i].root);
        EXPECT_EQ(before[i].key, after[i].key);
        const bool pathBearing = before[i].value.find("zr.exe") != std::string::npos;
        if (pathBearing)
            EXPECT_NE(after[i].value.find("D:\\新文件夹\\zr\\zr.exe"), std::string::npos) << i;
        else
            EXPECT_EQ(before[i].value, after[i].value) << i;
    }
}

} // namespace
} // namespace zr::app
