#pragma once
// The registry rows of the shell association on Windows: which keys get which default value, in
// the order they are written. Pure, so that it is tested on every platform; the Win32 writer in
// shell_association_win.cpp only carries the rows out.

#include <string>
#include <vector>

namespace zr::app {

enum class RegistryRoot { ClassesRoot, CurrentUser };

struct RegistryRow {
    RegistryRoot root;
    std::string key;   // UTF-8, relative to the root, without a leading backslash
    std::string value; // UTF-8, stored as the key's default REG_SZ value
    bool operator==(const RegistryRow&) const = default;
};

// The open command for a program folder: the quoted program path, a blank, then %1 unquoted,
// since the command-line parse expects the file path as the bare rest of the line.
std::string OpenCommand(const std::string& appPath);
// The icon reference: the first icon of the program file.
std::string IconReference(const std::string& appPath);

// appPath: the program's folder in UTF-8, without a trailing backslash.
// The six class-root rows, with the per-user mirror under HKEY_CURRENT_USER\Software\Classes
// between rows 4 and 5 and after row 6.
std::vector<RegistryRow> ShellAssociationRows(const std::string& appPath);

} // namespace zr::app
