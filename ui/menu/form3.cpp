#include "form3.h"

#include "about.h"
#include "app_record.h"
#include "end_program.h"
#include "marquee.h"
#include "menu_logic.h"
#include "path_text.h"
#include "target_name.h"
#include "ui_form3.h"
#include "window_caption.h"
#include "window_registry.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <filesystem>

namespace zr::ui {

using zr::app::Windows;

namespace {

const QColor kDarkRed(192, 0, 0);
const QColor kWhite(255, 255, 255);
const QString kDesignerLine = QStringLiteral("设计人：zr 开发组");
const QString kExitText = QStringLiteral("退          出");

void SetTextColor(QWidget* w, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    w->setPalette(p);
}

// The named window, or nullptr when this program has none of that name (a window that is
// not built yet): the menu entry then does nothing.
zr::app::ZrWindow* Open(const char* name) {
    const QString n = QString::fromLatin1(name);
    return Windows().IsRegistered(n) ? &Windows().Get(n) : nullptr;
}

// The single-file window, or nullptr likewise.
zr::app::SingleFileWindow* SingleFile() {
    using Bound = zr::app::Contract<zr::app::SingleFileWindow>;
    return Bound::Bound() ? &Bound::Get() : nullptr;
}

zr::app::MultiFileWindow* MultiFile() {
    using Bound = zr::app::Contract<zr::app::MultiFileWindow>;
    return Bound::Bound() ? &Bound::Get() : nullptr;
}

// What a drop on the menu is: one folder, or files only.
struct Dropped {
    QStringList files;
    QString folder;
};

Dropped Classify(const QMimeData* data) {
    Dropped d;
    const QStringList paths = zr::platform::DroppedPaths(data);
    std::error_code ec;
    for (const QString& p : paths) {
        if (!std::filesystem::is_directory(zr::platform::PathFromText(p), ec))
            d.files << p;
        else if (paths.size() == 1)
            d.folder = p;
        else
            return {};
    }
    return d;
}

} // namespace

Form3::Form3() : ui(std::make_unique<Ui::Form3>()) {
    ui->setupUi(this);
    setFixedSize(size());
    // Designer files take whole points only.
    for (QWidget* w : {static_cast<QWidget*>(ui->Label1), static_cast<QWidget*>(ui->Label3),
                       static_cast<QWidget*>(ui->Label7), static_cast<QWidget*>(ui->Label8),
                       static_cast<QWidget*>(ui->Command1), static_cast<QWidget*>(ui->Command2)}) {
        QFont f = w->font();
        f.setPointSizeF(10.5);
        w->setFont(f);
    }
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());

    SetDefaultButton(ui->Command6);
    SetCancelButton(ui->Command2);

    setAcceptDrops(true);

    // Hover colouring follows mouse movement over the link labels and the bare window.
    setMouseTracking(true);
    for (QLabel* l : {ui->Label2, ui->Label4, ui->Label9}) {
        l->setMouseTracking(true);
        l->installEventFilter(this);
    }
    ui->Label6->installEventFilter(this);
    for (QLabel* l : {ui->Label2, ui->Label4, ui->Label9, ui->Label6})
        l->setCursor(Qt::PointingHandCursor);

    connect(ui->Command1, &QPushButton::clicked, this, &Form3::Command1_clicked);
    connect(ui->Command2, &QPushButton::clicked, this, &Form3::Command2_clicked);
    connect(ui->Command3, &QPushButton::clicked, this, &Form3::Command3_clicked);
    connect(ui->Command4, &QPushButton::clicked, this, &Form3::Command4_clicked);
    connect(ui->Command6, &QPushButton::clicked, this, &Form3::Command6_clicked);
    connect(ui->Drive1, &zr::platform::DriveListBox::changed, this, &Form3::Drive1_changed);
    connect(ui->Dir1, &zr::platform::DirListBox::changed, this, &Form3::Dir1_changed);

    // The lists start at the current folder and the drive that holds it.
    ui->Drive1->FollowFolder(ui->Dir1->Path());

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer2.setObjectName(QStringLiteral("Timer2"));
    connect(&Timer1, &QTimer::timeout, this, &Form3::Timer1_timeout);
    connect(&Timer2, &QTimer::timeout, this, &Form3::Timer2_timeout);

    // Load.
    Timer1.start(500);
    Timer2.start(100);
    zr::app::Record().MenuTitleCount = 50;
}

Form3::~Form3() = default;

void Form3::chc(QLabel* cont, int color1, int color2, int color3) {
    const int now = TagValue(cont->property("Tag").toString().toStdString());
    const int next = ChcStep(now, color1, color2, color3);
    cont->setProperty("Tag", QString::number(next));
    const Rgb c = CgaColor(next);
    SetTextColor(cont, QColor(c.red, c.green, c.blue));
}

void Form3::CloseMenu() {
    Timer1.stop();
    Timer2.stop();
    Windows().Unload(this);
}

void Form3::Label2_click() {
    zr::app::SingleFileWindow* f1 = SingleFile();
    if (!f1)
        return;
    f1->ShowForFile();
    const QPointer<QWidget> alive = &f1->Widget();
    CloseMenu();

    CommonDialog1.DialogTitle = QStringLiteral("打开源文件名:");
    CommonDialog1.Filter = QStringLiteral("所有文件(*.*)|*.*|*.ZR文件|*.ZR");
    const bool confirmed = CommonDialog1.ShowOpen(alive);
    // Form1 may have been closed while the dialog was open.
    if (!alive)
        return;
    if (!confirmed)
        return f1->FocusSourceField();
    f1->SetFile(CommonDialog1.FileName);
}

void Form3::Label9_click() {
    zr::app::ZrWindow* w = Open("mfiles");
    if (!w)
        return;
    w->show();
    CloseMenu();
}

void Form3::Label4_click() {
    ui->Label7->setText(ui->Dir1->Path());
    SetFolderView(true);
    ui->Dir1->setFocus();
}

void Form3::Label6_click() {
    zr::app::EndProgram();
}

void Form3::SetFolderView(bool folder) {
    folderView_ = folder;
    for (QWidget* w : {static_cast<QWidget*>(ui->Label1), static_cast<QWidget*>(ui->Label3),
                       static_cast<QWidget*>(ui->Label4), static_cast<QWidget*>(ui->Label6),
                       static_cast<QWidget*>(ui->Command3), static_cast<QWidget*>(ui->Command4),
                       static_cast<QWidget*>(ui->Command6)})
        w->setVisible(!folder);
    for (QWidget* w : {static_cast<QWidget*>(ui->Label7), static_cast<QWidget*>(ui->Label8),
                       static_cast<QWidget*>(ui->Dir1), static_cast<QWidget*>(ui->Drive1),
                       static_cast<QWidget*>(ui->Command1), static_cast<QWidget*>(ui->Command2)})
        w->setVisible(folder);
}

void Form3::Label2_mouseMove() {
    SetTextColor(ui->Label2, kWhite);
}
void Form3::Label4_mouseMove() {
    SetTextColor(ui->Label4, kWhite);
}
void Form3::Label9_mouseMove() {
    SetTextColor(ui->Label9, kWhite);
}

void Form3::Form_mouseMove() {
    for (QLabel* l : {ui->Label2, ui->Label4, ui->Label9})
        SetTextColor(l, kDarkRed);
}

void Form3::mouseMoveEvent(QMouseEvent* event) {
    // Movement that a control passed on (it tracks none of its own) is not over the bare
    // window.
    if (!childAt(event->position().toPoint()))
        Form_mouseMove();
    ZrWindow::mouseMoveEvent(event);
}

bool Form3::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        if (watched == ui->Label2)
            Label2_mouseMove();
        else if (watched == ui->Label4)
            Label4_mouseMove();
        else if (watched == ui->Label9)
            Label9_mouseMove();
        return watched != ui->Label6;
    }
    // Taking the press makes the label the receiver of the release that completes the click.
    if (event->type() == QEvent::MouseButtonPress && qobject_cast<QLabel*>(watched) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        return true;
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* me = static_cast<QMouseEvent*>(event);
        auto* label = qobject_cast<QLabel*>(watched);
        // A click is a press and release of the left button over the same label.
        if (label && me->button() == Qt::LeftButton &&
            label->rect().contains(me->position().toPoint())) {
            if (watched == ui->Label2)
                Label2_click();
            else if (watched == ui->Label4)
                Label4_click();
            else if (watched == ui->Label9)
                Label9_click();
            else if (watched == ui->Label6)
                Label6_click();
            return true;
        }
    }
    return ZrWindow::eventFilter(watched, event);
}

void Form3::dragEnterEvent(QDragEnterEvent* event) {
    const Dropped d = Classify(event->mimeData());
    if (!d.folder.isEmpty() || (d.files.size() == 1 && SingleFile()) ||
        (d.files.size() > 1 && MultiFile()))
        event->acceptProposedAction();
}

void Form3::dropEvent(QDropEvent* event) {
    const Dropped d = Classify(event->mimeData());
    if (!d.folder.isEmpty()) {
        if (!ui->Dir1->SetPath(d.folder))
            return;
        event->acceptProposedAction();
        activateWindow();
        // The folder view shows Dir1's folder; in it already, the list's change has shown it.
        if (!folderView_)
            Label4_click();
        return;
    }
    if (d.files.size() == 1) {
        if (zr::app::SingleFileWindow* f1 = SingleFile()) {
            event->acceptProposedAction();
            f1->ShowForFile();
            f1->SetFile(d.files.front());
            f1->Widget().activateWindow();
            CloseMenu();
        }
    } else if (d.files.size() > 1) {
        if (zr::app::MultiFileWindow* m = MultiFile()) {
            event->acceptProposedAction();
            m->ShowForFiles(d.files);
            CloseMenu();
        }
    }
}

void Form3::Command1_clicked() {
    const QString S = ui->Label7->text();
    if (S.isEmpty()) // no folder chosen: never make a folder relative to the working folder
        return;
    const QString sep = QDir::separator();
    auto& record = zr::app::Record();
    record.SourceFolder = S + sep;
    const QString T = QString::fromStdU16String(zr::FolderTargetFor(S.toStdU16String()));
    // An existing folder is reused, and one that cannot be made is left to the folder job. A
    // new one gets the source folder's rights (less the umask): a private folder stays private.
    std::error_code ec;
    std::filesystem::create_directory(zr::platform::PathFromText(T), zr::platform::PathFromText(S),
                                      ec);
    record.TargetFolder = T + sep;

    if (zr::app::SingleFileWindow* f1 = SingleFile()) {
        f1->ShowForFolder(record.SourceFolder, record.TargetFolder);
        CloseMenu();
    }
}

void Form3::ShowMenu() {
    show();
    for (QWidget* w : {static_cast<QWidget*>(ui->Dir1), static_cast<QWidget*>(ui->Drive1),
                       static_cast<QWidget*>(ui->Command1)})
        w->hide();
}

void Form3::Command2_clicked() {
    SetFolderView(false);
    ui->Label7->setText(QString());
}

void Form3::Command3_clicked() {
    ShowAbout(this);
}

void Form3::Command4_clicked() {
    zr::app::ZrWindow* w = Open("Form2");
    if (!w)
        return;
    zr::app::Record().HelpCaller = 3;
    w->show();
    CloseMenu();
}

void Form3::Command6_clicked() {
    // The shredder places itself, centred on the screen; the menu stays open.
    if (zr::app::ZrWindow* w = Open("Form7"))
        w->show();
}

void Form3::Drive1_changed() {
    if (ui->Dir1->SetPath(ui->Drive1->Drive()))
        return;
    // A drive that cannot be read (gone, or not ready): the list stays where it was, and the
    // drive list goes back to the drive that holds it.
    ui->Drive1->FollowFolder(ui->Dir1->Path());
}

void Form3::Dir1_changed() {
    ui->Drive1->FollowFolder(ui->Dir1->Path());
    if (folderView_)
        ui->Label7->setText(ui->Dir1->Path());
}

void Form3::Timer1_timeout() {
    chc(ui->Label6, 9, 12, 2);
    const ExitLabelTick t = StepExitLabel(exitTicks_);
    exitTicks_ = t.count;
    ui->Label6->setText(t.showExit ? kExitText : kDesignerLine);
}

void Form3::Timer2_timeout() {
    auto& record = zr::app::Record();
    const QString caption = MarqueeStep(record.MenuTitleCount, record.MenuTitleAlt);
    zr::platform::SetWindowCaption(this, caption);
}

} // namespace zr::ui
