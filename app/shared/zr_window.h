#pragma once
// Base of every window.
// - Closing it by its title bar (or close()) tells the registry, so that the next reference
//   makes a fresh instance. A window that does something of its own on close overrides
//   OnClose(); returning false keeps it open.
// - The default button (Enter) and the cancel button (Esc) of a form, which plain Qt widgets
//   (unlike dialogs) do not have.
// - An empty caption stays empty in the title bar (see SetWindowCaption).

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

namespace zr::app {

class ZrWindow : public QWidget {
public:
    explicit ZrWindow(QWidget* parent = nullptr) : QWidget(parent) {}

    // The button that Enter clicks; shown with the default frame. nullptr for none.
    void SetDefaultButton(QPushButton* button);
    QPushButton* DefaultButton() const { return default_; }
    // The button that Esc clicks.
    void SetCancelButton(QPushButton* button) { cancel_ = button; }
    QPushButton* CancelButton() const { return cancel_; }

protected:
    virtual bool OnClose() { return true; }
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QPointer<QPushButton> default_;
    QPointer<QPushButton> cancel_;
};

} // namespace zr::app
