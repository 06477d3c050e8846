#pragma once
// The startup routine, run once before any window is visible: records the program's folder,
// writes the shell association, then opens the single-file window filled in for the file the
// program was started for, or else the main menu. Windows are reached by name, so every window
// must be registered before.

#include <QString>
#include <QStringList>

namespace zr::app {

// programFile: absolute path of the running program; arguments: those after the program name
// (Windows reads its own command-line text instead).
void RunStartup(const QString& programFile, const QStringList& arguments);

// The files handed on by the command line (one for the single-file window, several for the
// multi-file window), or none for the main menu; also sets CmdLine in the record to the one
// file. One implementation per platform (startup_posix.cpp, startup_win.cpp).
QStringList HandedOnFiles(const QStringList& arguments);

} // namespace zr::app
