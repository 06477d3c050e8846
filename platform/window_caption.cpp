#include "window_caption.h"

#include <QWidget>

namespace zr::platform {

void SetWindowCaption(QWidget* window, const QString& caption) {
    window->setWindowTitle(caption);
    KeepEmptyCaption(window);
}

} // namespace zr::platform
