#include "zr_window.h"

#include "window_caption.h"
#include "window_registry.h"

#include <QApplication>

namespace zr::app {

namespace {
bool Usable(const QPushButton* b) {
    return b && b->isVisible() && b->isEnabled();
}
} // namespace

ZrWindow::ZrWindow(QWidget* parent) : QWidget(parent) {
    focusWatch_ = connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && now->window() == this)
            MarkEnterButton();
    });
}

ZrWindow::~ZrWindow() {
    // The controls are destroyed after this, and the focus moves while they go.
    disconnect(focusWatch_);
}

void ZrWindow::SetDefaultButton(QPushButton* button) {
    default_ = button;
    MarkEnterButton();
}

QPushButton* ZrWindow::FocusedButton() const {
    auto* b = qobject_cast<QPushButton*>(focusWidget());
    return b && b->window() == this && Usable(b) ? b : nullptr;
}

void ZrWindow::MarkEnterButton() {
    QPushButton* focused = FocusedButton();
    QPushButton* marked = focused ? focused : default_.data();
    // Only this window's own buttons: a message box parented here has its own default.
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b->window() == this)
            b->setDefault(b == marked);
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
    // Only keys the focused control did not take arrive here. A button takes Enter itself
    // when it carries the default frame; the focused one is clicked here in case it does not.
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        modifiers == Qt::NoModifier) {
        if (QPushButton* focused = FocusedButton()) {
            focused->click();
            return;
        }
        if (Usable(default_)) {
            default_->click();
            return;
        }
    }
    if (event->key() == Qt::Key_Escape && modifiers == Qt::NoModifier && StopJob())
        return;
    if (event->key() == Qt::Key_Escape && Usable(cancel_)) {
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
