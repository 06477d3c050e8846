#pragma once
// Base of every window.
// - Closing it by its title bar (or close()) tells the registry, so that the next reference
//   makes a fresh instance. A window that does something of its own on close overrides
//   OnClose(); returning false keeps it open.
// - The keys of a form, which plain Qt widgets (unlike dialogs) do not have: Enter (also the
//   keypad's) clicks the focused button, and the default button when the focus is on any other
//   control; Esc clicks the cancel button, or stops the window's job while one runs. The
//   button that Enter would click carries the default frame.
// - An empty caption stays empty in the title bar (see SetWindowCaption).

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

namespace zr::app {

class ZrWindow : public QWidget {
public:
    explicit ZrWindow(QWidget* parent = nullptr);
    ~ZrWindow() override;

    // The button that Enter clicks when no button has the focus. nullptr for none.
    void SetDefaultButton(QPushButton* button);
    QPushButton* DefaultButton() const { return default_; }
    // The button that Esc clicks.
    void SetCancelButton(QPushButton* button) { cancel_ = button; }
    QPushButton* CancelButton() const { return cancel_; }

protected:
    virtual bool OnClose() { return true; }
    // Esc while the window runs a job: asks the job to stop and returns true; false when none
    // runs, and Esc clicks the cancel button.
    virtual bool StopJob() { return false; }
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The focused button of this window, if one has the focus and can be clicked.
    QPushButton* FocusedButton() const;
    // Gives the default frame to the button Enter would click now, and takes it from the rest.
    void MarkEnterButton();

    QPointer<QPushButton> default_;
    QPointer<QPushButton> cancel_;
    QMetaObject::Connection focusWatch_;
};

} // namespace zr::app
