#pragma once
// Ties the program into the desktop at every start, before the command line is read: the
// registry keys on Windows, the freedesktop files on Linux. Failures are silent.

#include <filesystem>

namespace zr::app {

// programFile: the absolute path of the running program.
void WriteShellAssociation(const std::filesystem::path& programFile);

} // namespace zr::app
