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
    void SetRunning(bool running);
    void FileStarted(std::size_t entry);
    void Progress(qint64 done, qint64 length);
    void Verifying();
    enum class Outcome { Done, Failed, SourceStayed };
    // line: the entry's failure, or the suspicion of an entry done; empty when neither.
    void FileDone(std::size_t entry, Outcome outcome, const QString& line);
    void Finished(const jobs::PlanResult& result);
    void Refuse(const jobs::PlanCheck& check);
    QString Row(const QListWidget* list, int row) const;

    View v_;
    platform::BackgroundJob* job_ = nullptr;
    bool running_ = false;
    std::vector<int> rows_; // the list row of each plan entry
    int shown_ = 0;         // the percentage on the bar
    app::FailureReport report_; // the entries not done as asked, with their reasons
    std::vector<int> doneRows_; // the list rows of the entries done
};

} // namespace zr::ui
