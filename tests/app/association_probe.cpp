// Writes the shell association for the program file given, or for itself.
#include "shell_association.h"

#include <cstdio>
#include <filesystem>
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace {
std::filesystem::path ownFile() {
#ifdef _WIN32
    wchar_t buffer[32768];
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer, 32768);
    return std::filesystem::path(std::wstring(buffer, n));
#else
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec);
#endif
}
} // namespace

int main(int argc, char** argv) {
    zr::app::WriteShellAssociation(argc > 1 ? std::filesystem::path(argv[1]) : ownFile());
    std::puts("done");
    return 0;
}
