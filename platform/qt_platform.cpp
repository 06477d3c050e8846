#include "qt_platform.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBoundaryFinder>

namespace zr::platform {

QString ChineseFileTypes::type(const QFileInfo& info) const {
    if (info.isRoot())
        return QStringLiteral("驱动器");
    if (info.isDir())
        return QStringLiteral("文件夹");
    const QString known = QFileIconProvider::type(info);
    // The toolkit's fallback for a kind it cannot name is "<suffix> File" or "File"; the
    // installed type descriptions it finds otherwise are already in the user's language.
    if (known == QLatin1String("File") || known.endsWith(QLatin1String(" File")) ||
        known == QLatin1String("Alias") || known == QLatin1String("Shortcut")) {
        const QString suffix = info.suffix();
        return suffix.isEmpty() ? QStringLiteral("文件") : suffix + QStringLiteral(" 文件");
    }
    return known;
}

void UseChineseFileTypes(QFileDialog& dialog) {
    static ChineseFileTypes types;
    dialog.setIconProvider(&types);
}

void HideFontEffects(QFontDialog& dialog) {
    // The dialog names none of its parts; its effects are the one group of check boxes. Its
    // place stays: the sample beside it takes its height from that row.
    for (QGroupBox* group : dialog.findChildren<QGroupBox*>()) {
        if (group->findChildren<QCheckBox*>().isEmpty())
            continue;
        QSizePolicy keepPlace = group->sizePolicy();
        keepPlace.setRetainSizeWhenHidden(true);
        group->setSizePolicy(keepPlace);
        group->hide();
    }
}

namespace {

QString WithLineBreaks(const QString& text) {
    // A line may break only where the rules of line breaking allow it; a long file name of
    // letters and digits has no such place, and the box would cut it at its edge. Every run
    // longer than this gets a zero-width space every so many characters.
    constexpr qsizetype kLongestRun = 40;
    QString out;
    out.reserve(text.size() + text.size() / kLongestRun);
    QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, text);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = breaks.toNextBoundary();
        if (end < 0)
            end = text.size();
        qsizetype run = 0;
        for (qsizetype i = start; i < end; ++i, ++run) {
            if (run >= kLongestRun && !text[i].isLowSurrogate()) {
                out += QChar(0x200B);
                run = 0;
            }
            out += text[i];
        }
        start = end;
    }
    return out;
}

// The width a box needs for its title beside the title bar's icon and buttons. Window managers
// size the title bar to the window, which the toolkit sizes to the text alone: a short text cut
// "注意：" down to "注…". The title bar's own font is the window manager's, so the title is
// measured in the system's title font, bold, and the room for the icon and up to four buttons
// is reckoned in its line heights.
int TitleBarWidth(const QString& title) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    font.setBold(true);
    const QFontMetrics fm(font);
    return fm.horizontalAdvance(title) + 10 * fm.height();
}

// One box for both kinds: OK, then Cancel or the caller's own button (or neither).
MessageAnswer ShowBox(QWidget* parent, const QString& text, const QString& title, MessageIcon icon,
                      bool withCancel, const QString& other) {
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(WithLineBreaks(text));
    switch (icon) {
    case MessageIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MessageIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MessageIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MessageIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case MessageIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    }
    QPushButton* ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    QPushButton* cancel = nullptr;
    if (withCancel)
        cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    QPushButton* second = nullptr;
    if (!other.isEmpty())
        second = box.addButton(other, QMessageBox::ActionRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(cancel ? cancel : ok);
    // The box fixes its own size when shown, from its layout's minimum: a spacer as wide as the
    // title needs widens it (a row of nothing but a spacer adds no height). Set last: the box
    // makes its layout anew when its icon changes.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(
            new QSpacerItem(TitleBarWidth(title), 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
            grid->rowCount(), 0, 1, grid->columnCount());
    box.exec();
    if (box.clickedButton() == ok)
        return MessageAnswer::Ok;
    if (second && box.clickedButton() == second)
        return MessageAnswer::Other;
    return MessageAnswer::Cancel;
}

} // namespace

MessageAnswer QtPlatform::Message(QWidget* parent, const QString& text, const QString& title,
                                  MessageButtons buttons, MessageIcon icon) {
    return ShowBox(parent, text, title, icon, buttons == MessageButtons::OkCancel, {});
}

MessageAnswer QtPlatform::MessageWithButton(QWidget* parent, const QString& text,
                                            const QString& title, MessageIcon icon,
                                            const QString& other) {
    return ShowBox(parent, text, title, icon, false, other);
}

OpenFileResult QtPlatform::OpenFile(QWidget* parent, const OpenFileRequest& request) {
    QFileDialog dialog(parent, request.title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // One file may also be a name that does not exist yet (a new target); the windows check
    // their sources themselves. Several files are chosen among existing ones.
    dialog.setFileMode(request.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::AnyFile);
    // The list of types shows each description as the window wrote it, without the patterns
    // the toolkit would add ("所有文件(*.*)", not "所有文件(*.*) (*)").
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(ToQtFilters(request.filter));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("打开"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("取消"));
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("查找范围："));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("文件名："));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("文件类型："));
    UseChineseFileTypes(dialog);
    if (!request.initialName.isEmpty())
        dialog.selectFile(request.initialName);
    OpenFileResult r;
    if (dialog.exec() == QDialog::Accepted) {
        r.paths = dialog.selectedFiles();
        r.confirmed = !r.paths.isEmpty();
    }
    return r;
}

std::optional<FontChoice> QtPlatform::ChooseFont(QWidget* parent, const FontChoice& initial) {
    QFont start(initial.family);
    if (initial.pointSize > 0)
        start.setPointSizeF(initial.pointSize);
    start.setBold(initial.bold);
    start.setItalic(initial.italic);
    QFontDialog dialog(start, parent);
    dialog.setWindowTitle(QStringLiteral("字体"));
    HideFontEffects(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QFont f = dialog.selectedFont();
    return FontChoice{f.family(), f.pointSizeF(), f.bold(), f.italic()};
}

void QtPlatform::Beep() {
    QApplication::beep();
}

void QtPlatform::SetBusy(QWidget* window, bool busy) {
    if (!window)
        return;
    if (busy)
        window->setCursor(Qt::WaitCursor);
    else
        window->unsetCursor();
}

} // namespace zr::platform
