#pragma once
// The multi-file window: builds the job list (List1 sources, List2 targets, paired by index),
// removes pairs, sets the lists' font and underline, and shows the progress of a batch run.
// Its start button hands over to the key dialogs. Closing it ends the program.

#include "dialogs.h"
#include "zr_window.h"

#include <QString>
#include <memory>
#include <optional>

class QTimer;

namespace Ui {
class mfiles;
}

namespace zr::ui {

class mfiles : public zr::app::ZrWindow {
    Q_OBJECT
public:
    static constexpr const char* kName = "mfiles";
    mfiles();
    ~mfiles() override;

    // The 500 ms tick: folder sync, layout, button enabling, underline.
    void Timer1_timeout();
    void Command1_clicked();
    void Command2_clicked();
    void Command3_clicked();
    void Command4_clicked();
    void Command5_clicked();
    void Command6_clicked();

    zr::platform::CommonDialog CommonDialog1;

protected:
    bool OnClose() override;

private:
    void Layout();
    // Adds the dialog's files: targets in folder, or beside their sources without one.
    void AddSelection(const std::optional<QString>& folder);
    bool SyncFolder();

    std::unique_ptr<Ui::mfiles> ui_;
    QTimer* Timer1 = nullptr;
    QString syncedDrive_; // the drive that holds Dir1's folder; empty when none does
};

} // namespace zr::ui
