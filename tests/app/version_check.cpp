// The program file's identity: the version resource and the icon, read back the way Explorer
// reads them.
#include <gtest/gtest.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

std::wstring ownFile() {
    wchar_t buffer[32768];
    return std::wstring(buffer, ::GetModuleFileNameW(nullptr, buffer, 32768));
}

std::wstring versionString(const std::vector<BYTE>& block, const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
    if (!::VerQueryValueW(block.data(), query.c_str(), &value, &length) || length == 0)
        return {};
    return std::wstring(static_cast<const wchar_t*>(value));
}

TEST(ProgramFile, CarriesVersionOneAndTheNameZr) {
    const std::wstring file = ownFile();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(::GetFileVersionInfoW(file.c_str(), 0, size, block.data()));
    EXPECT_EQ(versionString(block, L"FileVersion"), L"1.00");
    EXPECT_EQ(versionString(block, L"ProductVersion"), L"1.00");
    EXPECT_EQ(versionString(block, L"ProductName"), L"zr");
    EXPECT_EQ(versionString(block, L"InternalName"), L"zr");
}

TEST(ProgramFile, FirstIconIsThereInEverySize) {
    const std::wstring file = ownFile();
    EXPECT_EQ(::ExtractIconExW(file.c_str(), -1, nullptr, nullptr, 0), 1u);
    HICON big = nullptr;
    ASSERT_EQ(::ExtractIconExW(file.c_str(), 0, &big, nullptr, 1), 1u);
    ASSERT_NE(big, nullptr);
    ::DestroyIcon(big);
    HRSRC group =
        ::FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14)); // RT_GROUP_ICON
    ASSERT_NE(group, nullptr);
    // The group directory: reserved, type, count, then one entry per size.
    const auto* dir = static_cast<const WORD*>(::LockResource(::LoadResource(nullptr, group)));
    EXPECT_EQ(dir[2], 7) << "16, 24, 32, 48, 64, 128 and 256 pixels";
}

} // namespace
