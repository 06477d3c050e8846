#pragma once
// Ends the whole program at once (the main menu's exit label, closing the multi-file window):
// no window's close handling runs. Tests replace the action to observe it.

#include <functional>

namespace zr::app {

void EndProgram();
// Replaces what EndProgram does; an empty function restores the default (quit the event loop
// after discarding every window).
void SetEndProgramAction(std::function<void()> action);

} // namespace zr::app
