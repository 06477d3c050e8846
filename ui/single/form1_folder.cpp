// The folder job of the single-file window: every file directly inside SourceFolder into
// TargetFolder, on the window's worker, with the boxes showing each file and the bar its
// progress.

#include "form1.h"

#include "app_record.h"
#include "background_job.h"
#include "dialogs.h"
#include "failure_list.h"
#include "folder_job.h"
#include "path_text.h"
#include "ui_form1.h"
#include "window_registry.h"

#include <QDir>
#include <filesystem>
#include <memory>

namespace zr::ui {

namespace fs = std::filesystem;
using app::Record;
using platform::Current;
using platform::MessageButtons;
using platform::MessageIcon;

namespace {

const QString kNote = QStringLiteral("注意：");

QString textOf(const fs::path& path) {
    return QDir::toNativeSeparators(platform::TextFromPath(path));
}

// The files that were not done as asked, grouped: failed, done but their sources stayed, or
// looking wrongly decrypted. sourcesStayed counts the second kind among all the files; the
// result keeps only the first lines.
QString failureMessage(const FolderJobResult& r, int sourcesStayed) {
    app::FailureReport report;
    report.failed.count = r.failedCount - sourcesStayed;
    report.sourceStayed.count = sourcesStayed;
    report.suspect.count = r.suspectCount;
    for (const FolderFileOutcome& f : r.failures) {
        if (f.ok())
            report.suspect.lines << QString::fromStdString(f.notice);
        else
            (f.transformed ? report.sourceStayed : report.failed).lines
                << QString::fromStdString(f.reason);
    }
    return app::FailureListText(report);
}

// Files that failed or look wrongly decrypted are not passed over in silence.
void reportFailures(QWidget* window, const FolderJobResult& r, int sourcesStayed) {
    if (r.failedCount > 0 || r.suspectCount > 0)
        Current().Message(window, failureMessage(r, sourcesStayed), kNote, MessageButtons::Ok,
                          MessageIcon::Warning);
}

} // namespace

void Form1::Command3_clicked() {
    if (busy_)
        return;
    if (ui_->T_EnCode->text() != ui_->T_ConfirmEnCode->text())
        return Refuse(QStringLiteral("确认密钥不对！"), kNote, MessageIcon::Question,
                      ui_->T_EnCode);
    // A key outside the limits would fail every file alike: it is refused once, before the
    // folder is listed, so that no file and no folder changes.
    std::int32_t seed = 0;
    if (!KeySeedOf(seed))
        return;

    // During the job the two boxes show the file at work; a stopped job gives the folders back.
    shownBefore_ = {ui_->L_SourceFile->text(), ui_->T_SourceFile->text(), ui_->L_TargetFile->text(),
                    ui_->T_TargetFile->text()};
    ui_->L_SourceFile->setText(QStringLiteral("源文件名"));
    ui_->L_TargetFile->setText(QStringLiteral("目标文件名"));
    ui_->L_TargetFile->setVisible(true);
    ui_->T_TargetFile->setVisible(true);

    // The folders come from the record, not from the boxes, which are for display only.
    const bool deleteSource = ui_->CB_Del->isChecked();
    const fs::path sourceFolder = PathOf(Record().SourceFolder);
    const fs::path targetFolder = PathOf(Record().TargetFolder);
    const std::u16string key = ui_->T_EnCode->text().toStdU16String();
    auto result = std::make_shared<FolderJobResult>();
    auto sourcesStayed = std::make_shared<int>(0);
    SetBusy(true);
    connect(
        job_, &platform::BackgroundJob::finished, this,
        [this, result, sourcesStayed] { FolderJobEnded(*result, *sourcesStayed); },
        Qt::SingleShotConnection);
    job_->Start([=, this](platform::BackgroundJob& worker) {
        FolderJob folderJob(sourceFolder, targetFolder);
        folderJob.SetKey(std::u16string_view(key));
        folderJob.SetDeleteSource(deleteSource);
        folderJob.SetCancelFlag(worker.CancelFlag());
        folderJob.onFileStart = [this, &worker](const FolderFileOutcome& file, int, int) {
            // Behind the progress of the file before; of files that follow each other faster than
            // a screen shows them, the last one is shown (and only its names become text).
            worker.Show(kFileShown, [this, source = file.source, target = file.target] {
                ui_->T_SourceFile->setText(textOf(source));
                ui_->T_TargetFile->setText(textOf(target));
                SetProgress(0, 1);
            });
        };
        folderJob.onProgress = [&worker](std::int64_t done, std::int64_t length) {
            worker.Report(done, length);
        };
        // The check before a deletion reads the whole target: it is shown at once.
        folderJob.onVerifying = [this, &worker] { worker.Post([this] { ShowVerifying(); }); };
        folderJob.onFileDone = [sourcesStayed](const FolderFileOutcome& file) {
            if (!file.ok() && file.transformed)
                ++*sourcesStayed;
        };
        *result = folderJob.Run();
    });
}

void Form1::FolderJobEnded(const FolderJobResult& result, int sourcesStayed) {
    if (result.cancelled) {
        // Files done so far stay done; the window is back in folder mode, ready to go on.
        ui_->L_SourceFile->setText(shownBefore_.value(0));
        ui_->T_SourceFile->setText(shownBefore_.value(1));
        ui_->L_TargetFile->setText(shownBefore_.value(2));
        ui_->T_TargetFile->setText(shownBefore_.value(3));
        SetBusy(false);
        Current().Message(this, QStringLiteral("操作已取消"), kNote, MessageButtons::Ok,
                          MessageIcon::None);
        reportFailures(this, result, sourcesStayed);
        return;
    }
    SetBusy(false);
    QString& target = Record().TargetFolder;
    if (target.endsWith(QLatin1Char('/')) || target.endsWith(QLatin1Char('\\')))
        target.chop(1);

    if (!result.listingError.empty())
        Current().Message(this, QString::fromStdString(result.listingError), QString(),
                          MessageButtons::Ok, MessageIcon::Critical);
    if (!result.folderError.empty()) {
        Current().Message(this, QString::fromStdString(result.folderError), kNote,
                          MessageButtons::Ok, MessageIcon::Warning);
    } else {
        Current().Message(this, QStringLiteral("加密/解密完毕！"), kNote, MessageButtons::Ok,
                          MessageIcon::None);
        reportFailures(this, result, sourcesStayed);
    }

    app::Windows().Get(QStringLiteral("Form3")).show();
    ui_->Command3->hide();
    ui_->C_Ok->hide();
    close();
}

} // namespace zr::ui
