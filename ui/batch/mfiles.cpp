#include "mfiles.h"

#include "batch_run.h"
#include "dir_list_box.h"
#include "drive_list_box.h"
#include "end_program.h"
#include "job_list.h"
#include "path_text.h"
#include "ui_mfiles.h"
#include "window_registry.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QMetaObject>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cmath>
#include <filesystem>

namespace zr::ui {

using zr::app::Windows;
using zr::platform::Current;
using zr::platform::MessageAnswer;
using zr::platform::MessageButtons;
using zr::platform::MessageIcon;

namespace {
constexpr float kTwipsPerPixel = 15.0f;
constexpr float kList1Top = 1680.0f; // design top of List1; the layout keeps it

int px(float twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}
int extent(float twips) {
    return std::max(0, px(twips));
}

QStringList entries(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}
} // namespace

mfiles::mfiles() : ui_(std::make_unique<Ui::mfiles>()) {
    ui_->setupUi(this);
    if (QFile::exists(QStringLiteral(":/zr/mfiles.png")))
        setWindowIcon(QIcon(QStringLiteral(":/zr/mfiles.png")));
    SetDefaultButton(ui_->Command4);
    SetCancelButton(ui_->Command5);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());

    connect(ui_->Command1, &QPushButton::clicked, this, &mfiles::Command1_clicked);
    connect(ui_->Command2, &QPushButton::clicked, this, &mfiles::Command2_clicked);
    connect(ui_->Command3, &QPushButton::clicked, this, &mfiles::Command3_clicked);
    connect(ui_->Command4, &QPushButton::clicked, this, &mfiles::Command4_clicked);
    connect(ui_->Command5, &QPushButton::clicked, this, &mfiles::Command5_clicked);
    connect(ui_->Command6, &QPushButton::clicked, this, &mfiles::Command6_clicked);

    CommonDialog1.Filter = QStringLiteral("所有文件(*.*)|*.*");
    CommonDialog1.MultiSelect = true;
    setAcceptDrops(true);
    ui_->Text1->setAcceptDrops(false); // it would take a file's URL as text

    batch_ = new BatchRun({this, ui_->List1, ui_->List2, ui_->Check2, ui_->ProgressBar1,
                           ui_->Label3, [this](bool running) { LockButtons(running); }},
                          this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, &mfiles::Timer1_timeout);
    Timer1->start();

    // Both lists start at the current folder (the drive list on the drive that holds it); the
    // first tick shows it in Text1.
    if (ui_->Drive1->SetDriveFor(ui_->Dir1->Path()))
        syncedDrive_ = ui_->Drive1->Drive();
    // A folder opened above the drive's root (or on another drive) moves the drive list along,
    // without sending Dir1 back to that drive's root on the next tick.
    connect(ui_->Dir1, &zr::platform::DirListBox::changed, this, [this](const QString& path) {
        if (ui_->Drive1->FollowFolder(path))
            syncedDrive_ = ui_->Drive1->Drive();
    });

    // Load: the layout, then both buttons that need a list entry off. Dir1 and Text1 wait for
    // the first tick.
    Layout();
    ui_->Command2->setEnabled(false);
    ui_->Command3->setEnabled(false);
    // The first control of the focus order has the focus when the window opens.
    ui_->List1->setFocus();
}

mfiles::~mfiles() = default;

void mfiles::Layout() {
    const QRect outer = frameGeometry();
    const ListLayout l =
        ComputeListLayout(outer.width() * kTwipsPerPixel, outer.height() * kTwipsPerPixel,
                          kList1Top, ui_->Label3->width() * kTwipsPerPixel);
    const auto place = [](QWidget* w, float left, float width, std::optional<float> height) {
        w->setGeometry(px(left), w->y(), extent(width), height ? extent(*height) : w->height());
    };
    place(ui_->List1, l.list1Left, l.listWidth, l.listHeight);
    place(ui_->List2, l.list2Left, l.listWidth, l.listHeight);
    ui_->Label1->move(px(l.label1Left), ui_->Label1->y());
    ui_->Label2->move(px(l.label2Left), ui_->Label2->y());
    ui_->Label3->move(px(l.label3Left), ui_->Label3->y());
    place(ui_->ProgressBar1, l.barLeft, l.barWidth, std::nullopt);
}

bool mfiles::SyncFolder() {
    // Dir1 moves to the root of a newly chosen drive; within one drive it keeps the folder the
    // user opened, so that a folder chosen in it is still there when Command4 is clicked.
    const QString drive = ui_->Drive1->Drive();
    if (drive.isEmpty())
        return false;
    if (drive != syncedDrive_) {
        if (!ui_->Dir1->SetPath(drive))
            return false;
        syncedDrive_ = drive;
    }
    ui_->Text1->setText(ui_->Dir1->Path());
    return true;
}

void mfiles::Timer1_timeout() {
    // A drive that cannot be read stops the tick here, so everything below keeps its state
    // until a readable drive is chosen.
    if (!SyncFolder())
        return;
    Layout();
    // During a batch run the buttons that change the list or start a run stay off.
    const bool running = batch_->Running();
    if (!running)
        ui_->Command2->setEnabled(!ui_->List1->selectedItems().isEmpty());
    const Qt::CheckState underline = ui_->Check1->checkState();
    if (underline != Qt::PartiallyChecked) {
        for (QListWidget* list : {ui_->List1, ui_->List2}) {
            QFont f = list->font();
            if (f.underline() != (underline == Qt::Checked)) {
                f.setUnderline(underline == Qt::Checked);
                list->setFont(f);
            }
        }
    }
    if (!running)
        ui_->Command3->setEnabled(ui_->List1->count() > 0);
}

void mfiles::Command1_clicked() {
    // A cancelled dialog ends the handler with nothing changed, Frame1 included.
    if (!CommonDialog1.ShowOpen(this))
        return;
    const MessageAnswer a = Current().Message(
        this, QStringLiteral("选择目标文件路径吗？如果按取消，将与源文件路径相同。"),
        QStringLiteral("选择目标文件路径吗？"), MessageButtons::OkCancel, MessageIcon::None);
    if (a == MessageAnswer::Ok) {
        ui_->Frame1->show();
        return;
    }
    Command5_clicked();
}

void mfiles::Command4_clicked() {
    AddSelection(ui_->Text1->text());
}

void mfiles::Command5_clicked() {
    AddSelection(std::nullopt);
}

void mfiles::AddSelection(const std::optional<QString>& folder) {
    AddFiles(SplitSelection(CommonDialog1.FileNames, CommonDialog1.FileTitle), folder);
}

void mfiles::AddFiles(const QList<SelectedFile>& files, const std::optional<QString>& folder) {
    for (const SelectedFile& f : files) {
        if (IsListed(entries(ui_->List1), f.source)) {
            Current().Message(this, DuplicateText(f.source), QStringLiteral("警告"),
                              MessageButtons::Ok, MessageIcon::None);
            continue;
        }
        ui_->List1->addItem(f.source);
        ui_->List2->addItem(TargetFor(f, folder));
    }
    ui_->Frame1->hide();
}

void mfiles::Command2_clicked() {
    const QList<QListWidgetItem*> selected = ui_->List1->selectedItems();
    if (selected.isEmpty())
        return;
    const int RemoveIndex = ui_->List1->row(selected.front());
    delete ui_->List1->takeItem(RemoveIndex);
    delete ui_->List2->takeItem(RemoveIndex);
    // Nothing stays selected after a removal (the toolkit would move on to the next entry),
    // so a second click cannot remove another pair by accident.
    for (QListWidget* list : {ui_->List1, ui_->List2}) {
        list->clearSelection();
        list->setCurrentRow(-1);
    }
}

void mfiles::Command6_clicked() {
    zr::platform::FontChoice initial;
    initial.family = ui_->List1->font().family();
    initial.pointSize = ui_->List1->font().pointSizeF();
    const auto chosen = CommonDialog1.ShowFont(this, initial);
    if (!chosen)
        return;
    // Underline is not the dialog's: it follows Check1.
    for (QListWidget* list : {ui_->List1, ui_->List2}) {
        QFont f = list->font();
        if (chosen->pointSize > 0)
            f.setPointSizeF(chosen->pointSize);
        f.setFamily(chosen->family);
        f.setBold(chosen->bold);
        f.setItalic(chosen->italic);
        list->setFont(f);
    }
}

void mfiles::Command3_clicked() {
    Windows().Get(QStringLiteral("Form5")).show();
    hide();
}

bool mfiles::Running() const {
    return batch_->Running();
}

void mfiles::StartRun(const QString& key) {
    batch_->Start(key);
}

void mfiles::LockButtons(bool locked) {
    // Command4 and Command5 of a frame left open would add files behind the run's back.
    for (QPushButton* b :
         {ui_->Command1, ui_->Command2, ui_->Command3, ui_->Command4, ui_->Command5, ui_->Command6})
        b->setEnabled(!locked);
    // Back to what the list allows, without waiting for the next tick.
    if (!locked) {
        ui_->Command2->setEnabled(!ui_->List1->selectedItems().isEmpty());
        ui_->Command3->setEnabled(ui_->List1->count() > 0);
    }
}

void mfiles::ShowForFiles(const QStringList& files) {
    show();
    AddFiles(SplitSelection(files), std::nullopt);
}

bool mfiles::StopJob() {
    if (!batch_->Running())
        return false;
    batch_->Stop();
    return true;
}

QStringList mfiles::DroppedFiles(const QMimeData* data) const {
    if (batch_->Running())
        return {};
    QStringList files;
    std::error_code ec;
    for (const QString& path : zr::platform::DroppedPaths(data))
        if (!std::filesystem::is_directory(zr::platform::PathFromText(path), ec))
            files << path;
    return files;
}

void mfiles::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void mfiles::dropEvent(QDropEvent* event) {
    const QStringList files = DroppedFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    activateWindow();
    AddFiles(SplitSelection(files), std::nullopt);
}

bool mfiles::OnClose() {
    // A run in progress stops first: its job at work is cancelled and waited for, so it
    // leaves no partial target; then the program ends.
    batch_->Cancel();
    // Ending unloads every window, this one too, so it happens once this close is done.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { zr::app::EndProgram(); }, Qt::QueuedConnection);
    return true;
}

} // namespace zr::ui
