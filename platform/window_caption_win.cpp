// Windows: the toolkit sets the window text to the program's name for an empty title.

#include "window_caption.h"

#include <QWidget>
#include <windows.h>

namespace zr::platform {

void KeepEmptyCaption(QWidget* window) {
    if (!window->isWindow() || !window->testAttribute(Qt::WA_WState_Created) ||
        !window->windowTitle().isEmpty())
        return;
    SetWindowTextW(reinterpret_cast<HWND>(window->winId()), L"");
}

} // namespace zr::platform
