#include "zr_window.h"

#include "window_registry.h"

namespace zr::app {

void ZrWindow::closeEvent(QCloseEvent* event) {
    if (!OnClose()) {
        event->ignore();
        return;
    }
    event->accept();
    Windows().Forget(this);
}

} // namespace zr::app
