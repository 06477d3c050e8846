#pragma once
// The multi-file window: builds the job list (List1 sources, List2 targets, paired by index),
// removes pairs, sets the lists' font and underline, and owns the batch run, whose progress it
// shows. Its start button hands over to the key dialogs. Closing it ends the program.

#include "dialogs.h"
#include "job_list.h"
#include "window_contracts.h"
#include "zr_window.h"

#include <QString>
#include <memory>
#include <optional>

class QDragEnterEvent;
class QDropEvent;
class QMimeData;
class QTimer;

namespace Ui {
class mfiles;
}

namespace zr::ui {

class BatchRun;

class mfiles : public zr::app::ZrWindow,
               public zr::app::BatchRunState,
               public zr::app::MultiFileWindow {
    Q_OBJECT
public:
    static constexpr const char* kName = "mfiles";
    mfiles();
    ~mfiles() override;

    // The run the key confirmation dialog starts.
    bool Running() const override;
    void StartRun(const QString& key) override;
    // Several files from the command line or the main menu.
    void ShowForFiles(const QStringList& files) override;

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
    bool StopJob() override;
    // Files dropped on the window are added as Command5 adds chosen ones; folders are passed
    // over, and nothing is taken during a run.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void Layout();
    // Adds the dialog's files: targets in folder, or beside their sources without one.
    void AddSelection(const std::optional<QString>& folder);
    void AddFiles(const QList<SelectedFile>& files, const std::optional<QString>& folder);
    // The files of a drop that this window takes.
    QStringList DroppedFiles(const QMimeData* data) const;
    bool SyncFolder();
    // The buttons that change the list or start a run are locked while one runs; the lists
    // still scroll and select.
    void LockButtons(bool locked);

    std::unique_ptr<Ui::mfiles> ui_;
    QTimer* Timer1 = nullptr;
    QString syncedDrive_; // the drive that holds Dir1's folder; empty when none does
    BatchRun* batch_ = nullptr;
};

} // namespace zr::ui
