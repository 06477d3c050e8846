#include "batch_run.h"

#include "app_record.h"
#include "background_job.h"
#include "dialogs.h"
#include "failure_list.h"
#include "form5.h"
#include "job_list.h"
#include "key_seed.h"
#include "path_text.h"
#include "plan.h"
#include "window_registry.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <algorithm>
#include <functional>
#include <memory>

namespace zr::ui {

using zr::app::Record;
using zr::platform::Current;
using zr::platform::MessageButtons;
using zr::platform::MessageIcon;

BatchRun::BatchRun(View view, QObject* parent) : QObject(parent), v_(std::move(view)) {
    job_ = new zr::platform::BackgroundJob(this);
    job_->setObjectName(QStringLiteral("BatchJob"));
    connect(job_, &zr::platform::BackgroundJob::shown, this, &BatchRun::ShowBusy);
    connect(job_, &zr::platform::BackgroundJob::shown, this, &BatchRun::PaintBar);
    // The check box is read at the end of each job on the worker: it sees the box as it is.
    connect(v_.Check2, &QCheckBox::stateChanged, this,
            [this](int state) { deleteTicked_ = state != Qt::Unchecked; });
}

BatchRun::~BatchRun() {
    // The worker must not report into a half-destroyed window.
    job_->RequestCancel();
    job_->Wait();
}

QString BatchRun::Row(const QListWidget* list, int row) const {
    return row < list->count() ? list->item(row)->text() : QString();
}

void BatchRun::SetRunning(bool running) {
    running_ = running;
    if (v_.runningChanged)
        v_.runningChanged(running);
}

void BatchRun::Start(const QString& key) {
    if (running_)
        return;
    // Form5 refuses such a key already; one that reached here some other way touches nothing.
    const zr::KeySeed seed = zr::DeriveKeySeed(key.toStdU16String());
    if (!seed.ok()) {
        Current().Beep();
        Current().Message(v_.window, QString::fromUtf8(kKeyRefusedText),
                          QString::fromUtf8(kKeyRefusedTitle), MessageButtons::Ok,
                          MessageIcon::Question);
        return;
    }
    // The list as it stands now, read once; an entry without a source is passed over.
    auto plan = std::make_shared<zr::jobs::Plan>();
    rows_.clear();
    for (int row = 0, n = v_.List1->count(); row < n; ++row) {
        const QString source = Row(v_.List1, row);
        if (source.isEmpty())
            continue;
        plan->Add(zr::platform::PathFromText(source),
                  zr::platform::PathFromText(Row(v_.List2, row)));
        rows_.push_back(row);
    }
    Record().CharPos = 0;
    // No percentage of an earlier run shows before the first block of this one.
    shown_ = 0;
    busyShown_ = busyWanted_ = false;
    v_.ProgressBar1->setRange(0, 100);
    v_.ProgressBar1->setValue(0);
    v_.Label3->setText(QStringLiteral("0%"));
    v_.Label3->adjustSize();
    deleteTicked_ = v_.Check2->checkState() != Qt::Unchecked;
    SetRunning(true);

    auto result = std::make_shared<zr::jobs::PlanResult>();
    auto tally = std::make_shared<Tally>();
    connect(
        job_, &zr::platform::BackgroundJob::finished, this,
        [this, result, tally] { Finished(*result, *tally); }, Qt::SingleShotConnection);
    job_->Start([this, plan, result, tally, rows = rows_,
                 seed = seed.seed](zr::platform::BackgroundJob& job) {
        // What the window shows of each job is handed to it as fast as a screen shows it; what
        // became of each entry is kept here and read by the window when the run has ended.
        zr::jobs::PlanEvents events;
        std::size_t atWork = 0;
        events.fileStarted = [this, &job, &atWork](std::size_t k) {
            atWork = k;
            job.Show(kFileShown, [this, k] { ShowFile(k, true); });
        };
        events.progress = [this, &job, &atWork](std::int64_t done, std::int64_t length) {
            job.Report(done, length);
            // A slot for each job: the last value of every job is shown, so a list of several
            // files shows each job's share.
            job.Show(kProgressShown + static_cast<int>(atWork),
                     [this, k = atWork, done, length] { Progress(k, done, length); });
        };
        // The check before a deletion reads the whole target: it is shown at once.
        events.verifying = [this, &job](std::size_t) { job.Post([this] { Verifying(); }); };
        // Check2 is read when the job has ended: as the window shows it at that moment.
        events.deleteSource = [this](std::size_t) { return deleteTicked_.load(); };
        events.fileDone = [this, &job, &atWork, plan, tally,
                           rows](const zr::jobs::FileOutcome& out) {
            // A job stopped half-way is neither done nor failed.
            if (out.result.step == zr::TransformStep::Cancelled)
                return;
            const zr::jobs::PlanEntry entry = plan->Entry(out.entry);
            const QString line = QString::fromStdString(
                out.ok() ? zr::jobs::SuspicionText(out, entry) : zr::jobs::FailureText(out, entry));
            // Written, yet not done: the source that was to go stays.
            app::FailureGroup& group = out.ok() ? tally->report.suspect
                                       : !out.heldBack && out.result.ok()
                                           ? tally->report.sourceStayed
                                           : tally->report.failed;
            if (!out.ok() || !line.isEmpty()) {
                ++group.count;
                group.lines << line;
            }
            if (out.ok())
                tally->doneRows.push_back(rows[out.entry]);
            // A job whose source waited for the flush ends when later ones are at work: the
            // window goes on showing the job at work.
            if (out.entry == atWork)
                job.Show(kFileShown, [this, k = out.entry] { ShowFile(k, false); });
        };
        *result = zr::jobs::RunPlan(*plan, seed, events, job.CancelFlag());
    });
}

void BatchRun::ShowFile(std::size_t entry, bool atWork) {
    if (!running_)
        return;
    auto& rec = Record();
    rec.CharPos = rows_[entry];
    rec.JobSource = Row(v_.List1, rec.CharPos);
    rec.JobTarget = Row(v_.List2, rec.CharPos);
    // After the check of the job before, the bar shows the list's share again.
    v_.ProgressBar1->setRange(0, 100);
    v_.ProgressBar1->setValue(shown_);
    if (atWork) {
        v_.ProgressBar1->show();
        v_.Label3->show();
    }
    busyWanted_ = atWork;
}

void BatchRun::ShowBusy() {
    // Once per batch of what the worker showed: between two jobs that the same batch covers
    // the pointer would be normal for no time a screen could show.
    if (running_ && busyWanted_ != busyShown_) {
        busyShown_ = busyWanted_;
        Current().SetBusy(v_.window, busyShown_);
    }
}

void BatchRun::PaintBar() {
    v_.ProgressBar1->setUpdatesEnabled(true);
}

void BatchRun::Progress(std::size_t entry, qint64 done, qint64 length) {
    if (!running_)
        return;
    // The list is counted anew whenever the window shows a block.
    shown_ = BatchPercent(v_.List1->count(), rows_[entry], done, length);
    // A bar paints itself at once whenever its value moves a percent; of the values one batch
    // sets (a job's last value each) the bar is painted once, when the batch is done.
    v_.ProgressBar1->setUpdatesEnabled(false);
    v_.ProgressBar1->setRange(0, 100);
    v_.ProgressBar1->setValue(shown_);
    const QString text = QString::number(shown_) + QLatin1Char('%');
    if (v_.Label3->text() != text) {
        v_.Label3->setText(text);
        v_.Label3->adjustSize();
    }
}

void BatchRun::Verifying() {
    if (running_)
        v_.ProgressBar1->setRange(0, 0);
}

void BatchRun::Finished(const zr::jobs::PlanResult& result, const Tally& tally) {
    PaintBar();
    if (!running_)
        return; // cancelled: nothing more happens
    if (result.refused) {
        SetRunning(false);
        // Unlike after a mismatch, the confirmation is not kept: the next start would add the
        // key typed anew to it.
        zr::app::Windows().Unload(QStringLiteral("form6"));
        return Refuse(result.check);
    }
    v_.ProgressBar1->hide();
    v_.Label3->hide();
    Current().SetBusy(v_.window, false);
    if (result.cancelled) {
        // The rest of the list stays for another run; what was done leaves it.
        std::vector<int> doneRows = tally.doneRows;
        std::sort(doneRows.begin(), doneRows.end(), std::greater<>());
        for (int row : doneRows) {
            delete v_.List1->takeItem(row);
            delete v_.List2->takeItem(row);
        }
        Current().Message(v_.window, QStringLiteral("操作已取消"), QStringLiteral("注意"),
                          MessageButtons::Ok, MessageIcon::None);
    } else {
        Current().Beep();
        Current().Message(v_.window, QStringLiteral("加密/解密完毕!"), QStringLiteral("注意"),
                          MessageButtons::Ok, MessageIcon::None);
        v_.List1->clear();
        v_.List2->clear();
    }
    SetRunning(false);
    zr::app::Windows().Unload(QStringLiteral("form6"));
    // Failures and results that look wrong are not passed over in silence.
    const app::FailureReport& report = tally.report;
    if (report.failed.count + report.sourceStayed.count + report.suspect.count > 0)
        Current().Message(v_.window, app::FailureListText(report), QStringLiteral("注意"),
                          MessageButtons::Ok, MessageIcon::Warning);
}

void BatchRun::Refuse(const zr::jobs::PlanCheck& check) {
    QStringList lines;
    const std::vector<std::size_t> entries = check.Entries();
    for (std::size_t k : entries) {
        const int row = rows_[k];
        lines << Row(v_.List1, row) + QStringLiteral(" → ") + Row(v_.List2, row) +
                     QStringLiteral("（") +
                     QString::fromStdString(zr::jobs::ConflictReason(check.FirstOf(k).kind)) +
                     QStringLiteral("）");
    }
    Current().Beep();
    Current().Message(v_.window,
                      app::ListedText(QString::fromUtf8(zr::jobs::kConflictHeading),
                                      static_cast<int>(entries.size()), lines),
                      QStringLiteral("警告"), MessageButtons::Ok, MessageIcon::Warning);
}

void BatchRun::Stop() {
    if (running_)
        job_->RequestCancel();
}

void BatchRun::Cancel() {
    if (!running_)
        return;
    SetRunning(false);
    job_->RequestCancel();
    job_->Wait();
    Current().SetBusy(v_.window, false);
}

} // namespace zr::ui
