#pragma once
// The record of program-wide values through which the windows hand over paths, keys and flags,
// and keep the state of their animations across reloads. Zeroed at start, never saved.
// Working values of one operation are locals of that operation (with these names) instead.

#include <QString>

namespace zr::app {

struct AppRecord {
    QString SourceFolder;   // folder job source, ends in a separator (main menu -> folder job)
    QString TargetFolder;   // folder job target, ends in a separator until the job ends
    QString AppPath;        // folder of the program file, without a trailing separator
    int HelpCaller = 0;     // who opened help: 1 the single-file window, 3 the main menu
    QString CmdLine;        // the command-line text under work at startup
    int TitleCount = 0;     // single-file window marquee countdown; 50 at every load
    int MenuTitleCount = 0; // main menu marquee countdown; 50 at every load
    bool TitleAlt = false;  // single-file marquee phase; survives reloads
    bool MenuTitleAlt = false; // main menu marquee phase; survives reloads
    QString KeyText;        // key typed in the key entry dialog (Form5)
    QString KeyConfirm;     // key typed again in the confirmation dialog (form6)
    QString JobSource;      // batch entry at work
    QString JobTarget;
    int CharPos = 0;        // index of the batch entry at work
};

// The one record of the program.
AppRecord& Record();
// Back to the state of a fresh start (for tests).
void ResetRecord();

} // namespace zr::app
