#pragma once
// The help window: a fixed page of coloured texts with a "返回" link back to whichever window
// opened it (HelpCaller in the shared record).

#include "zr_window.h"

#include <memory>

class QLabel;
namespace Ui {
class Form2;
}

namespace zr::ui {

class Form2 : public zr::app::ZrWindow {
    Q_OBJECT
public:
    static constexpr const char* kName = "Form2";

    Form2();
    ~Form2() override;

    // The colour "返回" is shown in at first.
    static QColor LinkColour();

private slots:
    void Label9_clicked();
    void Label9_mouseMove();
    void Form_mouseMove();

protected:
    bool OnClose() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Esc is the window's cancel: it does what a click on "返回" does. No control of the page
    // takes the focus, so the window gets every key.
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void ReturnToCaller();
    void SetLinkColour(const QColor& colour);

    std::unique_ptr<Ui::Form2> ui_;
};

} // namespace zr::ui
