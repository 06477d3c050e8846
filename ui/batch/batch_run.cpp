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
    connect(job_, &zr::platform::BackgroundJob::progress, this, &BatchRun::Progress);
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
    report_ = {};
    doneRows_.clear();
    // No percentage of an earlier run shows before the first block of this one.
    shown_ = 0;
    v_.ProgressBar1->setRange(0, 100);
    v_.ProgressBar1->setValue(0);
    v_.Label3->setText(QStringLiteral("0%"));
    v_.Label3->adjustSize();
    SetRunning(true);

    auto result = std::make_shared<zr::jobs::PlanResult>();
    connect(
        job_, &zr::platform::BackgroundJob::finished, this, [this, result] { Finished(*result); },
        Qt::SingleShotConnection);
    job_->Start([this, plan, result, seed = seed.seed](zr::platform::BackgroundJob& job) {
        // Everything that touches the window is posted to it, in the order it happens.
        zr::jobs::PlanEvents events;
        events.fileStarted = [this, &job](std::size_t k) {
            job.Post([this, k] { FileStarted(k); });
        };
        events.progress = [&job](std::int64_t done, std::int64_t length) {
            job.Report(done, length);
        };
        events.verifying = [this, &job](std::size_t) { job.Post([this] { Verifying(); }); };
        // Check2 is read when the job has ended, after the window has shown its last block.
        events.deleteSource = [this, &job](std::size_t) {
            return job.Ask([this] { return v_.Check2->checkState() != Qt::Unchecked; })
                .value_or(false);
        };
        events.fileDone = [this, &job, plan](const zr::jobs::FileOutcome& out) {
            const zr::jobs::PlanEntry entry = plan->Entry(out.entry);
            const QString line = QString::fromStdString(
                out.ok() ? zr::jobs::SuspicionText(out, entry) : zr::jobs::FailureText(out, entry));
            // A job stopped half-way is neither done nor failed.
            if (out.result.step == zr::TransformStep::Cancelled)
                return;
            // Written, yet not done: the source that was to go stays.
            const Outcome outcome = out.ok()                           ? Outcome::Done
                                    : !out.heldBack && out.result.ok() ? Outcome::SourceStayed
                                                                       : Outcome::Failed;
            job.Post([this, k = out.entry, outcome, line] { FileDone(k, outcome, line); });
        };
        *result = zr::jobs::RunPlan(*plan, seed, events, job.CancelFlag());
    });
}

void BatchRun::FileStarted(std::size_t entry) {
    if (!running_)
        return;
    auto& rec = Record();
    rec.CharPos = rows_[entry];
    rec.JobSource = Row(v_.List1, rec.CharPos);
    rec.JobTarget = Row(v_.List2, rec.CharPos);
    Current().SetBusy(v_.window, true);
    v_.ProgressBar1->show();
    v_.Label3->show();
}

void BatchRun::Progress(qint64 done, qint64 length) {
    if (!running_)
        return;
    // The list is counted anew after every block.
    shown_ = BatchPercent(v_.List1->count(), Record().CharPos, done, length);
    v_.ProgressBar1->setValue(shown_);
    v_.Label3->setText(QString::number(shown_) + QLatin1Char('%'));
    v_.Label3->adjustSize();
}

void BatchRun::Verifying() {
    if (running_)
        v_.ProgressBar1->setRange(0, 0);
}

void BatchRun::FileDone(std::size_t entry, Outcome outcome, const QString& line) {
    if (!running_)
        return;
    app::FailureGroup& group = outcome == Outcome::Done           ? report_.suspect
                               : outcome == Outcome::SourceStayed ? report_.sourceStayed
                                                                  : report_.failed;
    if (outcome != Outcome::Done || !line.isEmpty()) {
        ++group.count;
        group.lines << line;
    }
    if (outcome == Outcome::Done)
        doneRows_.push_back(rows_[entry]);
    v_.ProgressBar1->setRange(0, 100);
    v_.ProgressBar1->setValue(shown_);
    Current().SetBusy(v_.window, false);
}

void BatchRun::Finished(const zr::jobs::PlanResult& result) {
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
        std::sort(doneRows_.begin(), doneRows_.end(), std::greater<>());
        for (int row : doneRows_) {
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
    if (report_.failed.count + report_.sourceStayed.count + report_.suspect.count > 0)
        Current().Message(v_.window, app::FailureListText(report_), QStringLiteral("注意"),
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
