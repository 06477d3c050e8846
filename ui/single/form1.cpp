#include "form1.h"

#include "about.h"
#include "app_record.h"
#include "background_job.h"
#include "key_recovery.h"
#include "key_seed.h"
#include "marquee.h"
#include "path_text.h"
#include "plan.h"
#include "target_name.h"
#include "ui_form1.h"
#include "window_caption.h"
#include "window_registry.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <memory>

namespace zr::ui {

using app::Record;
using app::Windows;
using platform::Current;
using platform::MessageButtons;
using platform::MessageIcon;

namespace {
const QString kNote = QStringLiteral("注意：");
} // namespace

Form1::Form1() : ui_(std::make_unique<Ui::Form1>()) {
    ui_->setupUi(this);
    setFixedSize(size());
    if (QScreen* s = QGuiApplication::primaryScreen())
        move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), s->availableGeometry())
                 .topLeft());

    SetDefaultButton(ui_->C_Ok);
    SetCancelButton(ui_->C_Exit);

    connect(ui_->C_Ok, &QPushButton::clicked, this, &Form1::C_Ok_clicked);
    connect(ui_->Command3, &QPushButton::clicked, this, &Form1::Command3_clicked);
    connect(ui_->C_Exit, &QPushButton::clicked, this, &Form1::C_Exit_clicked);
    connect(ui_->Command1, &QPushButton::clicked, this, &Form1::Command1_clicked);
    connect(ui_->Command2, &QPushButton::clicked, this, &Form1::Command2_clicked);
    ui_->T_SourceFile->installEventFilter(this);
    ui_->T_TargetFile->installEventFilter(this);
    // A file dropped anywhere on the window, the boxes too, is the window's: a box would take
    // the file's URL as text.
    setAcceptDrops(true);
    for (QLineEdit* box :
         {ui_->T_SourceFile, ui_->T_TargetFile, ui_->T_EnCode, ui_->T_ConfirmEnCode})
        box->setAcceptDrops(false);

    job_ = new platform::BackgroundJob(this);
    // The bar follows the job as fast as a screen shows it, not block by block.
    connect(job_, &platform::BackgroundJob::progressShown, this, &Form1::SetProgress);

    // The load handler: the marquee restarts its phase, which itself survives the reload.
    Record().TitleCount = 50;
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_timeout);
    Timer1->start();
}

Form1::~Form1() = default;

std::filesystem::path Form1::PathOf(const QString& text) {
    return platform::PathFromText(text);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    // Filters see events even of disabled fields, so a running job is checked here.
    if (!busy_ && event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == ui_->T_SourceFile) {
            T_SourceFile_doubleClicked();
            return true;
        }
        if (watched == ui_->T_TargetFile) {
            T_TargetFile_doubleClicked();
            return true;
        }
    }
    return ZrWindow::eventFilter(watched, event);
}

void Form1::T_SourceFile_doubleClicked() {
    CommonDialog1.DialogTitle = QStringLiteral("打开源文件名:");
    CommonDialog1.Filter = QStringLiteral("所有文件(*.*)|*.*|*.ZR文件|*.ZR");
    CommonDialog1.ShowOpen(this);
    // A cancel keeps the dialog's earlier name, which fills the fields again.
    SetFile(CommonDialog1.FileName);
}

void Form1::T_TargetFile_doubleClicked() {
    CommonDialog1.DialogTitle = QStringLiteral("打开目标文件名:");
    CommonDialog1.Filter = QStringLiteral("所有文件(*.*)|*.*");
    CommonDialog1.ShowOpen(this);
    // Always appended here, whatever the chosen name ends with.
    if (!CommonDialog1.FileName.isEmpty())
        ui_->T_TargetFile->setText(CommonDialog1.FileName + QStringLiteral(".ZR"));
}

void Form1::Refuse(const QString& text, const QString& title, MessageIcon icon, QWidget* focus) {
    Current().Beep();
    Current().Message(this, text, title, MessageButtons::Ok, icon);
    focus->setFocus();
}

bool Form1::KeySeedOf(std::int32_t& seed) {
    const KeySeed k = DeriveKeySeed(ui_->T_EnCode->text().toStdU16String());
    if (!k.ok()) {
        Refuse(QStringLiteral("密钥只能由英文字母、数字和半角符号组成，且不能太长！"), kNote,
               MessageIcon::Question, ui_->T_EnCode);
        return false;
    }
    seed = k.seed;
    return true;
}

void Form1::C_Ok_clicked() {
    if (busy_)
        return;
    const QString source = ui_->T_SourceFile->text();
    const QString target = ui_->T_TargetFile->text();
    if (source.isEmpty())
        return Refuse(QStringLiteral("必须有源文件名！"), kNote, MessageIcon::Question,
                      ui_->T_SourceFile);
    // A folder ("dir/", or what the ".ZR" rule leaves of "dir/.zr") is no target file name either.
    if (target.isEmpty() || !jobs::NamesAFile(PathOf(target)))
        return Refuse(QStringLiteral("必须有目标文件名！"), kNote, MessageIcon::Question,
                      ui_->T_TargetFile);
    if (source == target)
        return Refuse(QStringLiteral("源文件[路径和文件名]不能与目标文件[路径和文件名]相同！"),
                      QStringLiteral("注意！"), MessageIcon::None, ui_->T_SourceFile);
    if (ui_->T_EnCode->text() != ui_->T_ConfirmEnCode->text())
        return Refuse(QStringLiteral("确认密钥不对！"), kNote, MessageIcon::Question,
                      ui_->T_EnCode);
    std::error_code ec;
    if (!std::filesystem::exists(PathOf(source), ec))
        return Refuse(QStringLiteral("源文件名不存在！"), kNote, MessageIcon::None,
                      ui_->T_SourceFile);
    std::int32_t seed = 0;
    if (!KeySeedOf(seed))
        return;

    // The check box is read now: it takes no input while the job runs.
    const jobs::Plan plan{{{PathOf(source), PathOf(target)}}, ui_->CB_Del->isChecked()};
    auto result = std::make_shared<jobs::PlanResult>();
    auto outcome = std::make_shared<jobs::FileOutcome>();
    SetBusy(true);
    connect(
        job_, &platform::BackgroundJob::finished, this,
        [this, result, outcome, entry = plan.Entry(0)] {
            SingleJobFinished(*result, *outcome, entry);
        },
        Qt::SingleShotConnection);
    job_->Start([this, plan, seed, result, outcome](platform::BackgroundJob& job) {
        jobs::PlanEvents events;
        events.progress = [&job](std::int64_t done, std::int64_t length) {
            job.Report(done, length);
        };
        events.verifying = [this, &job](std::size_t) { job.Post([this] { ShowVerifying(); }); };
        events.fileDone = [outcome](const jobs::FileOutcome& out) { *outcome = out; };
        *result = jobs::RunPlan(plan, seed, events, job.CancelFlag());
    });
}

void Form1::SingleJobFinished(const jobs::PlanResult& result, const jobs::FileOutcome& outcome,
                              const jobs::PlanEntry& entry) {
    if (result.cancelled) {
        // The target was left as it was and nothing was deleted: the window is as before.
        SetBusy(false);
        Current().Message(this, QStringLiteral("操作已取消"), kNote, MessageButtons::Ok,
                          MessageIcon::None);
        return;
    }
    Current().Beep();
    SetBusy(false);
    // A plan of one conflicts only with itself: two texts naming one file, refused like
    // identical texts before anything was written.
    if (result.refused || outcome.result.step == TransformStep::SameFile) {
        Current().Message(this,
                          QStringLiteral("源文件[路径和文件名]不能与目标文件[路径和文件名]相同！"),
                          QStringLiteral("注意！"), MessageButtons::Ok, MessageIcon::None);
        ui_->T_SourceFile->setFocus();
        return;
    }
    if (outcome.result.ok()) {
        Current().Message(this, QStringLiteral("加密/解密完毕！"), kNote, MessageButtons::Ok,
                          MessageIcon::None);
        // The user ticked CB_Del to be rid of the source: one that stays is not passed over.
        if (!outcome.deleteError.empty())
            Current().Message(this, QString::fromStdString(jobs::FailureText(outcome, entry)),
                              kNote, MessageButtons::Ok, MessageIcon::Warning);
        if (!outcome.suspicion.empty())
            WarnWrongKey(outcome, entry);
        return;
    }
    Current().Message(this, QString::fromStdString(FailureText(outcome.result)), kNote,
                      MessageButtons::Ok, MessageIcon::Warning);
    (outcome.result.SourceSide() ? ui_->T_SourceFile : ui_->T_TargetFile)->setFocus();
}

void Form1::WarnWrongKey(const jobs::FileOutcome& outcome, const jobs::PlanEntry& entry) {
    QString text = QString::fromStdString(outcome.suspicion);
    if (outcome.sourceKept)
        text += QStringLiteral("\n源文件没有删除。");
    const platform::MessageAnswer answer = Current().MessageWithButton(
        this, text, kNote, MessageIcon::Warning, QStringLiteral("找回密钥"));
    if (answer == platform::MessageAnswer::Other)
        FindKey(entry);
}

void Form1::FindKey(const jobs::PlanEntry& entry) {
    auto recovery = std::make_shared<KeyRecovery>();
    const std::string type = ExtensionOf(Utf8Path(entry.target.filename()));
    searching_ = true;
    SetBusy(true);
    ShowVerifying();
    connect(
        job_, &platform::BackgroundJob::finished, this,
        [this, recovery] { KeySearchEnded(*recovery); }, Qt::SingleShotConnection);
    job_->Start([recovery, source = entry.source, type](platform::BackgroundJob&) {
        *recovery = RecoverKey(source, type);
    });
}

void Form1::KeySearchEnded(const KeyRecovery& recovery) {
    searching_ = false;
    SetBusy(false);
    if (recovery.status != RecoveryStatus::Found) {
        Current().Message(this, QString::fromStdString(RecoveryFailureText(recovery)), kNote,
                          MessageButtons::Ok, MessageIcon::Warning);
        return;
    }
    // The likeliest key; any key with its seed opens the file alike.
    const QString key = QString::fromStdString(recovery.keys.front().key.text);
    ui_->T_EnCode->setText(key);
    ui_->T_ConfirmEnCode->setText(key);
    Current().Message(this, QStringLiteral("已找到可用的密钥，请按确定重新解密"), kNote,
                      MessageButtons::Ok, MessageIcon::Information);
    ui_->C_Ok->setFocus();
}

void Form1::SetBusy(bool busy) {
    if (busy_ == busy)
        return;
    busy_ = busy;
    if (busy)
        focusBefore_ = focusWidget();
    for (QWidget* w : std::initializer_list<QWidget*>{
             ui_->T_SourceFile, ui_->T_TargetFile, ui_->T_EnCode, ui_->T_ConfirmEnCode, ui_->CB_Del,
             ui_->C_Ok, ui_->C_Exit, ui_->Command1, ui_->Command2, ui_->Command3})
        w->setEnabled(!busy);
    if (busy) {
        Timer1->stop();
        Current().SetBusy(this, true);
        // Every run starts from 0, whatever the last one left.
        ui_->ProgressBar1->setRange(0, 100);
        ui_->ProgressBar1->setValue(0);
        ui_->ProgressBar1->show();
    } else {
        ui_->ProgressBar1->hide();
        Current().SetBusy(this, false);
        Timer1->start();
        if (focusBefore_ && focusBefore_->window() == this)
            focusBefore_->setFocus();
    }
}

void Form1::SetProgress(qint64 done, qint64 length) {
    ui_->ProgressBar1->setRange(0, 100);
    ui_->ProgressBar1->setValue(ProgressPercent(done, length));
}

void Form1::ShowVerifying() {
    ui_->ProgressBar1->setRange(0, 0);
}

bool Form1::OnClose() {
    // The close box just closes; a job at work stops first after its current block, leaving no
    // partial target and deleting nothing.
    if (busy_) {
        job_->RequestCancel();
        job_->Wait();
        // The window goes: nothing of the job's end is shown any more.
        disconnect(job_, &platform::BackgroundJob::finished, this, nullptr);
    }
    return true;
}

bool Form1::StopJob() {
    if (!busy_)
        return false;
    // The key search takes well under a second and has no way to stop: Esc waits for it.
    if (!searching_)
        job_->RequestCancel();
    return true;
}

QString Form1::DroppedFile(const QMimeData* data) const {
    if (busy_ || !ui_->Command3->isHidden())
        return {};
    const QStringList paths = platform::DroppedPaths(data);
    std::error_code ec;
    if (paths.size() != 1 || std::filesystem::is_directory(PathOf(paths.front()), ec))
        return {};
    return paths.front();
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
    const QString file = DroppedFile(event->mimeData());
    if (file.isEmpty())
        return;
    event->acceptProposedAction();
    SetFile(file);
    activateWindow();
}

void Form1::C_Exit_clicked() {
    // The menu is shown before this window goes, so the program never has no window open.
    app::Window<app::MainMenuWindow>().ShowMenu();
    close();
}

void Form1::Command1_clicked() {
    Record().HelpCaller = 1;
    Windows().Get(QStringLiteral("Form2")).show();
    close();
}

void Form1::Command2_clicked() {
    ShowAbout(this);
}

void Form1::ShowForFile() {
    show();
    ui_->C_Ok->setVisible(true);
}

void Form1::SetFile(const QString& file) {
    if (!file.isEmpty()) {
        ui_->T_SourceFile->setText(file);
        ui_->T_TargetFile->setText(QString::fromStdU16String(TargetNameFor(file.toStdU16String())));
    }
    ui_->T_EnCode->setFocus();
}

void Form1::FocusSourceField() {
    ui_->T_SourceFile->setFocus();
}

void Form1::ShowForFolder(const QString& sourceFolder, const QString& targetFolder) {
    show();
    SetDefaultButton(ui_->Command3);
    ui_->L_SourceFile->setText(QStringLiteral("源文件夹"));
    ui_->T_SourceFile->setText(sourceFolder);
    ui_->L_TargetFile->setText(QStringLiteral("目标文件夹"));
    ui_->T_TargetFile->setText(targetFolder);
    ui_->T_EnCode->setFocus();
    ui_->Command3->setVisible(true);
}

void Form1::Timer1_timeout() {
    platform::SetWindowCaption(this, MarqueeStep(Record().TitleCount, Record().TitleAlt));
}

} // namespace zr::ui
