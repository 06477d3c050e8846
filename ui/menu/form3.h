#pragma once
// The main menu: the start window from which every way of working is reached. Its folder
// entry turns the menu itself into a folder picker whose OK hands the folder to Form1.

#include "dialogs.h"
#include "window_contracts.h"
#include "zr_window.h"

#include <QTimer>
#include <memory>

class QDragEnterEvent;
class QDropEvent;
class QLabel;

namespace Ui {
class Form3;
}

namespace zr::ui {

class Form3 : public zr::app::ZrWindow, public zr::app::MainMenuWindow {
    Q_OBJECT
public:
    static constexpr const char* kName = "Form3";
    Form3();
    ~Form3() override;

    // As the single-file window returns here.
    void ShowMenu() override;

    // Steps cont through the palette indices color1, color2, color3 by its Tag and paints it.
    void chc(QLabel* cont, int color1, int color2, int color3);

    // One slot per control event.
    void Label2_click();
    void Label9_click();
    void Label4_click();
    void Label6_click();
    void Label2_mouseMove();
    void Label4_mouseMove();
    void Label9_mouseMove();
    void Form_mouseMove();
    void Command1_clicked();
    void Command2_clicked();
    void Command3_clicked();
    void Command4_clicked();
    void Command6_clicked();
    void Drive1_changed();
    void Dir1_changed();
    void Timer1_timeout();
    void Timer2_timeout();

    QTimer Timer1;
    QTimer Timer2;
    zr::platform::CommonDialog CommonDialog1;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A file dropped on the menu opens Form1 for it as the command line does, several files
    // the multi-file window with them listed; a folder opens the folder view at that folder.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Stops the animations and unloads the menu: the record keeps the marquee state, and no
    // tick may change it after the menu has gone.
    void CloseMenu();
    void SetFolderView(bool folder);

    std::unique_ptr<Ui::Form3> ui;
    int exitTicks_ = 0; // the exit-label tick count, 0 to 3
    bool folderView_ = false;
};

} // namespace zr::ui
