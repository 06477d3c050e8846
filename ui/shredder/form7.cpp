#include "form7.h"

#include "path_text.h"
#include "ui_form7.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <filesystem>

namespace zr::ui {

namespace {

std::filesystem::path toPath(const QString& name) {
    return platform::PathFromText(name);
}

} // namespace

Form7::Form7() : ui_(std::make_unique<::Ui::Form7>()) {
    setObjectName(QString::fromLatin1(kName));
    ui_->setupUi(this);
    setFixedSize(size());
    // The window shows no icon of its own, not even the program's.
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    setWindowIcon(QIcon(blank));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    SetDefaultButton(ui_->Command1);
    SetCancelButton(ui_->Command3);
    connect(ui_->Command1, &QPushButton::clicked, this, &Form7::Command1_clicked);
    connect(ui_->Command2, &QPushButton::clicked, this, &Form7::Command2_clicked);
    connect(ui_->Command3, &QPushButton::clicked, this, &Form7::Command3_clicked);
    connect(&job_, &zr::platform::BackgroundJob::finished, this, &Form7::Job_finished);
    ui_->Option1->setFocus();
}

Form7::~Form7() {
    // A window discarded during a run stops after the file at work. The wait is here rather
    // than in the job's destructor because failures_, which the worker writes, goes first.
    job_.RequestCancel();
    job_.Wait();
}

QString Form7::HelpText() {
    return QStringLiteral("一般删除：是指我们平时最常做的删除，与在Windows资源管理器中的删除一样。"
                          "\n\r"
                          "快速删除：是指将所要删除的文件长度置零，然后删除，给反删除带来难度。"
                          "\n\r"
                          "彻底删除：是指将要删除的文件区域重写若干次，然后将文件删除，注意，删除"
                          "大文件要耐心等待，这里不再设置进度条。");
}

bool Form7::OnClose() {
    return !job_.IsRunning();
}

std::optional<ShredMode> Form7::SelectedMode() const {
    if (ui_->Option1->isChecked())
        return ShredMode::Normal;
    if (ui_->Option2->isChecked())
        return ShredMode::Quick;
    if (ui_->Option3->isChecked())
        return ShredMode::Thorough;
    return std::nullopt;
}

void Form7::Command1_clicked() {
    if (job_.IsRunning())
        return;
    CommonDialog1.MultiSelect = true;
    CommonDialog1.Filter = QStringLiteral("所有文件(*.*)|*.*");
    if (!CommonDialog1.ShowOpen(this)) {
        close();
        return;
    }
    const std::optional<ShredMode> mode = SelectedMode();
    if (!mode) {
        close();
        return;
    }

    std::vector<std::filesystem::path> names;
    for (const QString& name : CommonDialog1.FileNames)
        names.push_back(toPath(name));
    for (QWidget* control : std::initializer_list<QWidget*>{
             ui_->Option1, ui_->Option2, ui_->Option3, ui_->Command1, ui_->Command2, ui_->Command3})
        control->setEnabled(false);
    zr::platform::Current().SetBusy(this, true);
    failures_.clear();
    job_.Start([this, names = std::move(names), mode = *mode](zr::platform::BackgroundJob& job) {
        // In the dialog's order; a file that fails is left and the next one taken.
        for (const std::filesystem::path& ShredPath : names) {
            if (job.CancelRequested())
                return;
            ShredResult result = ShredFile(ShredPath, mode);
            if (!result.ok())
                failures_.push_back(std::move(result));
        }
    });
}

void Form7::Job_finished() {
    zr::platform::Current().SetBusy(this, false);
    if (!failures_.empty()) {
        QStringList lines{QStringLiteral("下列文件未能粉碎：")};
        for (const ShredResult& f : failures_)
            lines << QString::fromStdString(ShredFailureText(f));
        zr::platform::Current().Message(this, lines.join(QLatin1Char('\n')),
                                        QStringLiteral("碎纸机"), zr::platform::MessageButtons::Ok,
                                        zr::platform::MessageIcon::Warning);
    }
    close();
}

void Form7::Command2_clicked() {
    zr::platform::Current().Message(this, HelpText(), QStringLiteral("帮助"),
                                    zr::platform::MessageButtons::Ok,
                                    zr::platform::MessageIcon::None);
}

void Form7::Command3_clicked() {
    close();
}

} // namespace zr::ui
