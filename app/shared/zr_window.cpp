#include "zr_window.h"

#include "window_caption.h"
#include "window_registry.h"

namespace zr::app {

void ZrWindow::SetDefaultButton(QPushButton* button) {
    if (default_)
        default_->setDefault(false);
    default_ = button;
    if (default_)
        default_->setDefault(true);
}

void ZrWindow::closeEvent(QCloseEvent* event) {
    if (!OnClose()) {
        event->ignore();
        return;
    }
    event->accept();
    Windows().Forget(this);
}

void ZrWindow::keyPressEvent(QKeyEvent* event) {
    // Only keys the focused control did not take arrive here.
    const auto usable = [](QPushButton* b) { return b && b->isVisible() && b->isEnabled(); };
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier && usable(default_)) {
        default_->click();
        return;
    }
    if (event->key() == Qt::Key_Escape && usable(cancel_)) {
        cancel_->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ZrWindow::showEvent(QShowEvent* event) {
    // The native window is made by now, with the program's name as its title.
    platform::KeepEmptyCaption(this);
    QWidget::showEvent(event);
}

} // namespace zr::app
