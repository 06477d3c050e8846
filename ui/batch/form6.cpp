#include "form6.h"

#include "app_record.h"
#include "background_job.h"
#include "dialogs.h"
#include "failure_list.h"
#include "form5.h"
#include "job_list.h"
#include "key_seed.h"
#include "path_text.h"
#include "transform_file.h"
#include "ui_form6.h"
#include "window_registry.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QScreen>
#include <filesystem>

namespace zr::ui {

using zr::app::Control;
using zr::app::Record;
using zr::app::Windows;
using zr::platform::Current;
using zr::platform::MessageButtons;
using zr::platform::MessageIcon;

namespace {

QWidget& Mfiles() {
    return Windows().Get(QStringLiteral("mfiles"));
}

std::filesystem::path ToPath(const QString& s) {
    return zr::platform::PathFromText(s);
}
} // namespace

form6::form6() : ui_(std::make_unique<Ui::form6>()) {
    ui_->setupUi(this);
    SetDefaultButton(ui_->Command1);
    SetCancelButton(ui_->Command2);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    connect(ui_->Command1, &QPushButton::clicked, this, &form6::Command1_clicked);
    connect(ui_->Command2, &QPushButton::clicked, this, &form6::Command2_clicked);
    ui_->Text1->setFocus(); // the first of the focus order

    job_ = new zr::platform::BackgroundJob(this);
    job_->setObjectName(QStringLiteral("BatchJob"));
    connect(job_, &zr::platform::BackgroundJob::progress, this, &form6::JobProgress);
    connect(job_, &zr::platform::BackgroundJob::finished, this, &form6::JobFinished);
}

form6::~form6() {
    // The job's own destructor cancels and waits as well; doing it first keeps the worker from
    // reporting into a half-destroyed window.
    job_->RequestCancel();
    job_->Wait();
}

void form6::Command1_clicked() {
    if (running_)
        return;
    auto& rec = Record();
    rec.KeyConfirm = ui_->Text1->text();
    QWidget& m = Mfiles();
    m.show();
    hide();
    if (rec.KeyConfirm != rec.KeyText) {
        Current().Message(&m, QStringLiteral("两次输入的密码不一样"),
                          QString::fromLatin1(zr::platform::kAppTitle), MessageButtons::Ok,
                          MessageIcon::None);
        return;
    }
    // Form5 refuses such a key already; a key that reached here some other way still touches
    // nothing.
    if (!zr::DeriveKeySeed(rec.KeyText.toStdU16String()).ok()) {
        Current().Beep();
        Current().Message(&m, QString::fromUtf8(kKeyRefusedText),
                          QString::fromUtf8(kKeyRefusedTitle), MessageButtons::Ok,
                          MessageIcon::Question);
        return;
    }
    count_ = Control<QListWidget>(m, "List1")->count();
    rec.CharPos = 0;
    failures_.clear();
    running_ = true;
    SetListEditable(false);
    RunNext();
}

void form6::Command2_clicked() {
    Mfiles().show();
    Windows().Unload(this);
}

bool form6::OnClose() {
    if (running_)
        return false;
    Mfiles().show();
    return true;
}

void form6::SetListEditable(bool editable) {
    QWidget& m = Mfiles();
    for (const char* name : {"List1", "List2"})
        Control<QListWidget>(m, name)->setEnabled(editable);
    // Command4 and Command5 of a frame left open would add files behind the run's back.
    for (const char* name :
         {"Command1", "Command2", "Command3", "Command4", "Command5", "Command6"})
        Control<QPushButton>(m, name)->setEnabled(editable);
    // Back to what the list allows, without waiting for the next tick.
    if (editable) {
        auto* list = Control<QListWidget>(m, "List1");
        Control<QPushButton>(m, "Command2")->setEnabled(!list->selectedItems().isEmpty());
        Control<QPushButton>(m, "Command3")->setEnabled(list->count() > 0);
    }
}

void form6::RunNext() {
    auto& rec = Record();
    QWidget& m = Mfiles();
    auto* list1 = Control<QListWidget>(m, "List1");
    auto* list2 = Control<QListWidget>(m, "List2");
    for (; rec.CharPos < count_; ++rec.CharPos) {
        const int i = rec.CharPos;
        rec.JobSource = i < list1->count() ? list1->item(i)->text() : QString();
        rec.JobTarget = i < list2->count() ? list2->item(i)->text() : QString();
        if (Zrfile())
            return; // JobFinished goes on with the next pair
    }
    FinishRun();
}

bool form6::Zrfile() {
    auto& rec = Record();
    if (rec.JobSource.isEmpty())
        return false;
    // Derived afresh for every job, before any file is opened.
    const zr::KeySeed key = zr::DeriveKeySeed(rec.KeyText.toStdU16String());
    if (!key.ok()) {
        failures_ << rec.JobSource + QStringLiteral("：") +
                         QString::fromUtf8(KeyErrorText(key.error));
        return false;
    }
    QWidget& m = Mfiles();
    Current().SetBusy(&m, true);
    Control<QProgressBar>(m, "ProgressBar1")->show();
    Control<QLabel>(m, "Label3")->show();

    result_ = std::make_shared<zr::TransformResult>();
    const auto result = result_;
    const std::filesystem::path source = ToPath(rec.JobSource);
    const std::filesystem::path target = ToPath(rec.JobTarget);
    const std::int32_t seed = key.seed;
    // Every job is verified: Check2 is read when the job ends, so it may be ticked while the
    // job runs, and a source is deleted only after its target was read back intact.
    job_->Start([result, source, target, seed](zr::platform::BackgroundJob& job) {
        zr::TransformOptions options;
        options.verify = true;
        options.cancel = job.CancelFlag();
        *result = zr::TransformFile(
            source, target, seed,
            [&job](std::int64_t done, std::int64_t length) { job.Report(done, length); }, options);
    });
    return true;
}

void form6::JobProgress(qint64 done, qint64 length) {
    if (!running_)
        return;
    QWidget& m = Mfiles();
    const int count = Control<QListWidget>(m, "List1")->count();
    const int p = BatchPercent(count, Record().CharPos, done, length);
    Control<QProgressBar>(m, "ProgressBar1")->setValue(p);
    auto* label = Control<QLabel>(m, "Label3");
    label->setText(QString::number(p) + QLatin1Char('%'));
    label->adjustSize();
}

void form6::JobFinished() {
    if (!running_)
        return; // cancelled: nothing more happens
    auto& rec = Record();
    QWidget& m = Mfiles();
    const zr::TransformResult r = result_ ? *result_ : zr::TransformResult{};
    result_.reset();
    if (!r.ok()) {
        failures_ << QString::fromStdString(zr::FailureText(r));
    } else if (Control<QCheckBox>(m, "Check2")->checkState() != Qt::Unchecked) {
        std::string reason;
        if (!zr::DeleteSource(ToPath(rec.JobSource), r, reason))
            failures_ << QStringLiteral("无法删除源文件：") + rec.JobSource + QStringLiteral("（") +
                             QString::fromStdString(reason) + QStringLiteral("）");
    }
    Current().SetBusy(&m, false);
    ++rec.CharPos;
    RunNext();
}

void form6::FinishRun() {
    QWidget& m = Mfiles();
    Control<QProgressBar>(m, "ProgressBar1")->hide();
    Control<QLabel>(m, "Label3")->hide();
    Current().Beep();
    Current().Message(&m, QStringLiteral("加密/解密完毕!"), QStringLiteral("注意"),
                      MessageButtons::Ok, MessageIcon::None);
    if (!failures_.isEmpty()) {
        const QString text = app::FailureListText(static_cast<int>(failures_.size()), failures_);
        Current().Message(&m, text, QStringLiteral("注意"), MessageButtons::Ok,
                          MessageIcon::Warning);
    }
    Control<QListWidget>(m, "List1")->clear();
    Control<QListWidget>(m, "List2")->clear();
    running_ = false;
    SetListEditable(true);
    Windows().Unload(this);
}

void form6::CancelRun() {
    if (!running_)
        return;
    running_ = false;
    job_->RequestCancel();
    job_->Wait();
    if (QWidget* m = Windows().Find(QStringLiteral("mfiles")))
        Current().SetBusy(m, false);
}

} // namespace zr::ui
