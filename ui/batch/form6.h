#pragma once
// The key confirmation dialog, and the batch run it starts: every pair of the multi-file
// window's lists in order, one job at a time on a worker thread, with progress in that window,
// optional deletion of each source after its verified job, and one completion message.

#include "zr_window.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace Ui {
class form6;
}
namespace zr::platform {
class BackgroundJob;
}
namespace zr {
struct TransformResult;
}

namespace zr::ui {

class form6 : public zr::app::ZrWindow {
    Q_OBJECT
    Q_PROPERTY(bool running READ IsRunning)
public:
    static constexpr const char* kName = "form6";
    form6();
    ~form6() override;

    void Command1_clicked();
    void Command2_clicked();
    // Starts the job of JobSource -> JobTarget with KeyText; false when there is nothing to
    // run (an empty source, or a key without a seed, which is counted as a failure).
    bool Zrfile();

    bool IsRunning() const { return running_; }
    // Stops the run: the job at work is cancelled and waited for (it leaves no partial target)
    // and no further job starts. Called by the multi-file window when it closes.
    Q_INVOKABLE void CancelRun();

protected:
    bool OnClose() override;

private:
    void RunNext();
    void JobFinished();
    void JobProgress(qint64 done, qint64 length);
    void FinishRun();
    void SetListEditable(bool editable);

    std::unique_ptr<Ui::form6> ui_;
    zr::platform::BackgroundJob* job_ = nullptr;
    std::shared_ptr<zr::TransformResult> result_; // written by the worker, read after it ends
    bool running_ = false;
    int count_ = 0;        // entries of List1 when the run started
    QStringList failures_; // one line per job that failed, with its reason
};

} // namespace zr::ui
