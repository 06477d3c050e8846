#include "form1.h"

#include "path_text.h"

#include "about.h"
#include "app_record.h"
#include "background_job.h"
#include "key_seed.h"
#include "marquee.h"
#include "path_text.h"
#include "target_name.h"
#include "ui_form1.h"
#include "window_caption.h"
#include "window_registry.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <memory>

namespace zr::ui {

using app::Control;
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

    job_ = new platform::BackgroundJob(this);
    connect(job_, &platform::BackgroundJob::progress, this, &Form1::SetProgress);

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
    const QString name = CommonDialog1.FileName;
    if (!name.isEmpty()) {
        ui_->T_SourceFile->setText(name);
        ui_->T_TargetFile->setText(QString::fromStdU16String(TargetNameFor(name.toStdU16String())));
    }
    ui_->T_EnCode->setFocus();
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
    if (target.isEmpty())
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

    // The check box is read now: it takes no input while the job runs. A source that is to be
    // deleted is only deleted after its target was flushed, read back and compared.
    const bool deleteSource = ui_->CB_Del->isChecked();
    const std::filesystem::path src = PathOf(source);
    const std::filesystem::path dst = PathOf(target);
    auto result = std::make_shared<TransformResult>();
    SetBusy(true);
    connect(
        job_, &platform::BackgroundJob::finished, this,
        [this, result, deleteSource] { SingleJobFinished(*result, deleteSource); },
        Qt::SingleShotConnection);
    job_->Start([src, dst, seed, deleteSource, result](platform::BackgroundJob& job) {
        TransformOptions options;
        options.verify = deleteSource;
        options.cancel = job.CancelFlag();
        *result = TransformFile(
            src, dst, seed,
            [&job](std::int64_t done, std::int64_t length) { job.Report(done, length); }, options);
    });
}

void Form1::SingleJobFinished(const TransformResult& result, bool deleteSource) {
    if (result.step == TransformStep::Cancelled)
        return SetBusy(false);
    Current().Beep();
    if (result.ok()) {
        if (deleteSource) {
            std::string reason; // not reported: a source that cannot be deleted just stays
            DeleteSource(PathOf(ui_->T_SourceFile->text()), result, reason);
        }
        SetBusy(false);
        Current().Message(this, QStringLiteral("加密/解密完毕！"), kNote, MessageButtons::Ok,
                          MessageIcon::None);
        return;
    }
    SetBusy(false);
    if (result.step == TransformStep::SameFile) {
        // Two texts naming one file: refused like identical texts, before anything was written.
        Current().Message(this,
                          QStringLiteral("源文件[路径和文件名]不能与目标文件[路径和文件名]相同！"),
                          QStringLiteral("注意！"), MessageButtons::Ok, MessageIcon::None);
        ui_->T_SourceFile->setFocus();
        return;
    }
    Current().Message(this, QString::fromStdString(FailureText(result)), kNote, MessageButtons::Ok,
                      MessageIcon::Warning);
    (result.SourceSide() ? ui_->T_SourceFile : ui_->T_TargetFile)->setFocus();
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
    ui_->ProgressBar1->setValue(ProgressPercent(done, length));
}

bool Form1::OnClose() {
    // The close box just closes, but not in the middle of a job.
    return !busy_;
}

void Form1::C_Exit_clicked() {
    // The menu is shown before this window goes, so the program never has no window open.
    app::ZrWindow& menu = Windows().Get(QStringLiteral("Form3"));
    menu.show();
    for (const char* name : {"Dir1", "Drive1", "Command1"})
        Control<QWidget>(menu, name)->hide();
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

void Form1::Timer1_timeout() {
    platform::SetWindowCaption(this, MarqueeStep(Record().TitleCount, Record().TitleAlt));
}

} // namespace zr::ui
