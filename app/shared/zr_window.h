#pragma once
// Base of every window: closing it by its title bar (or close()) tells the registry, so that
// the next reference makes a fresh instance. A window that does something of its own on close
// overrides OnClose(); returning false keeps it open.

#include <QCloseEvent>
#include <QWidget>

namespace zr::app {

class ZrWindow : public QWidget {
public:
    explicit ZrWindow(QWidget* parent = nullptr) : QWidget(parent) {}

protected:
    virtual bool OnClose() { return true; }
    void closeEvent(QCloseEvent* event) override;
};

} // namespace zr::app
