#pragma once
// The single-file window: a source, a target and the key twice, five checks, then one job on a
// worker thread with the progress bar. The same window runs the folder job (Command3), whose
// handler lives in form1_folder.cpp.

#include "dialogs.h"
#include "window_contracts.h"
#include "zr_window.h"

#include <QPointer>
#include <filesystem>
#include <memory>

class QDragEnterEvent;
class QDropEvent;
class QMimeData;
class QTimer;
namespace Ui {
class Form1;
}
namespace zr::platform {
class BackgroundJob;
}
namespace zr {
struct FolderJobResult;
struct KeyRecovery;
namespace jobs {
struct FileOutcome;
struct PlanEntry;
struct PlanResult;
} // namespace jobs
} // namespace zr

namespace zr::ui {

class Form1 : public zr::app::ZrWindow, public zr::app::SingleFileWindow {
    Q_OBJECT
public:
    static constexpr const char* kName = "Form1";

    Form1();
    ~Form1() override;

    // What the other windows ask of this one.
    void ShowForFile() override;
    void SetFile(const QString& file) override;
    void FocusSourceField() override;
    void ShowForFolder(const QString& sourceFolder, const QString& targetFolder) override;
    QWidget& Widget() override { return *this; }

    // True while a job runs; the window then takes no input.
    bool Busy() const { return busy_; }

public slots:
    void C_Ok_clicked();
    void Command3_clicked(); // the folder job, in form1_folder.cpp
    void C_Exit_clicked();
    void Command1_clicked();
    void Command2_clicked();
    void T_SourceFile_doubleClicked();
    void T_TargetFile_doubleClicked();
    void Timer1_timeout();

protected:
    bool OnClose() override;
    bool StopJob() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A file dropped in single-file mode is taken as the double-click on T_SourceFile takes a
    // chosen one; nothing is taken while a job runs.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // A failed check: beep, the message with OK, then the focus.
    void Refuse(const QString& text, const QString& title, platform::MessageIcon icon,
                QWidget* focus);
    // The key seed of T_EnCode; a key outside the limits is refused here, before any file is
    // opened.
    bool KeySeedOf(std::int32_t& seed);
    // The busy state of a job: hourglass, progress bar over CB_Del, no input, marquee paused
    // (it paints again afterwards). Switching off hides the bar and restores the pointer.
    void SetBusy(bool busy);
    void SetProgress(qint64 done, qint64 length);
    // While the written target is read back and compared: the bar shows work without an end.
    void ShowVerifying();
    // A path as the engine takes it from the text of a field.
    static std::filesystem::path PathOf(const QString& text);
    // Runs on the UI thread when the single-file job has returned.
    void SingleJobFinished(const jobs::PlanResult& result, const jobs::FileOutcome& outcome,
                           const jobs::PlanEntry& entry);
    // The decrypted result does not look like its type: the warning, whose second button
    // searches for the key.
    void WarnWrongKey(const jobs::FileOutcome& outcome, const jobs::PlanEntry& entry);
    // Searches every key for the encrypted source on the worker, for the type the target's name
    // gives; KeySearchEnded puts a key found into both key fields.
    void FindKey(const jobs::PlanEntry& entry);
    void KeySearchEnded(const KeyRecovery& recovery);
    // The one file of a drop that this window takes; empty for anything else.
    QString DroppedFile(const QMimeData* data) const;
    // Runs on the UI thread when the folder job has returned: the completion message, the
    // failures, then back to the main menu. sourcesStayed: files whose targets were written but
    // whose sources, to be deleted, stay.
    void FolderJobEnded(const FolderJobResult& result, int sourcesStayed);

    // What the worker shows in the window, each kind in a slot of its own.
    enum ShownSlot { kFileShown };

    std::unique_ptr<Ui::Form1> ui_;
    QTimer* Timer1 = nullptr;
    platform::CommonDialog CommonDialog1; // remembers its name while this window lives
    platform::BackgroundJob* job_ = nullptr;
    bool busy_ = false;
    bool searching_ = false;        // the key search, which cannot be stopped, runs on job_
    QPointer<QWidget> focusBefore_; // given back when the job ends
    // The labels and boxes as a folder job found them, given back when it is stopped.
    QStringList shownBefore_;
};

} // namespace zr::ui
