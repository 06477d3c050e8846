#pragma once
// The batch run of the multi-file window. When the key dialogs agree, the pairs of the
// window's lists become one plan, checked as a whole: a refused plan touches nothing and keeps
// the lists. Otherwise the plan runs on a worker, one job after the other, while the window
// shows the progress after every block, reads Check2 at the end of every job and reports once
// at the end. The window owns it; it knows no other window.

#include "failure_list.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <vector>

class QCheckBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QWidget;

namespace zr::platform {
class BackgroundJob;
}
namespace zr::jobs {
struct PlanCheck;
struct PlanResult;
} // namespace zr::jobs

namespace zr::ui {

class BatchRun : public QObject {
    Q_OBJECT
public:
    // The controls of the multi-file window that the run reads and shows.
    struct View {
        QWidget* window = nullptr; // its pointer is busy while a job runs
        QListWidget* List1 = nullptr;
        QListWidget* List2 = nullptr;
        QCheckBox* Check2 = nullptr;
        QProgressBar* ProgressBar1 = nullptr;
        QLabel* Label3 = nullptr;
        // Called when a run begins (true) and ends (false): the buttons that change the list or
        // start a run are locked meanwhile.
        std::function<void(bool running)> runningChanged;
    };

    BatchRun(View view, QObject* parent);
    ~BatchRun() override;

    bool Running() const { return running_; }
    // Runs the lists with key (the key dialogs have agreed on it).
    void Start(const QString& key);
    // Stops a run: the job at work is cancelled and waited for (it leaves no partial target);
    // nothing more happens, no message either.
    void Cancel();
    // Asks a run to stop after the current block of its job, which leaves no partial target
    // and deletes nothing. When it has stopped, the entries done so far leave the lists, the
    // rest stay, and the window says so.
    void Stop();

private:
    // What became of the entries, kept by the worker and read when the run has ended.
    struct Tally {
        app::FailureReport report; // the entries not done as asked, with their reasons
        std::vector<int> doneRows; // the list rows of the entries done
    };
    // What the worker shows in the window, each kind in a slot of its own; progress has one
    // for each entry, from kProgressShown on.
    enum ShownSlot { kFileShown, kProgressShown };

    void SetRunning(bool running);
    // The entry at work (atWork) or just ended: the record, the bar, the wanted pointer.
    void ShowFile(std::size_t entry, bool atWork);
    void ShowBusy();
    // After a batch of what the worker showed: the bar paints the last value it was given.
    void PaintBar();
    void Progress(std::size_t entry, qint64 done, qint64 length);
    void Verifying();
    void Finished(const jobs::PlanResult& result, const Tally& tally);
    void Refuse(const jobs::PlanCheck& check);
    QString Row(const QListWidget* list, int row) const;

    View v_;
    platform::BackgroundJob* job_ = nullptr;
    bool running_ = false;
    std::vector<int> rows_;                       // the list row of each plan entry
    int shown_ = 0;                               // the percentage on the bar
    bool busyWanted_ = false, busyShown_ = false; // the pointer, as the last job left it
    std::atomic<bool> deleteTicked_{false};       // Check2, for the worker
};

} // namespace zr::ui
