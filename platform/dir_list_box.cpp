#include "dir_list_box.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStyle>
#include <QStyledItemDelegate>

namespace zr::platform {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kLevelRole = Qt::UserRole + 1;
constexpr int kIndent = 10; // pixels per level, as far as the classic list indents

// Indents each entry by its level in the tree.
class IndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem o(option);
        o.rect.setLeft(o.rect.left() + kIndent * index.data(kLevelRole).toInt());
        QStyledItemDelegate::paint(painter, o, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.rwidth() += kIndent * index.data(kLevelRole).toInt();
        return s;
    }
};

// The folders from the root down to path, each as a full path in Qt's form.
QStringList Ancestry(const QString& cleanPath) {
    QStringList chain;
    QDir d(cleanPath);
    chain.prepend(d.absolutePath());
    while (!d.isRoot() && d.cdUp())
        chain.prepend(d.absolutePath());
    return chain;
}

QString EntryName(const QString& path) {
    const QFileInfo fi(path);
    return QDir(path).isRoot() ? QDir::toNativeSeparators(path) : fi.fileName();
}

} // namespace

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new IndentDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemDoubleClicked, this, &DirListBox::OpenItem);
    // The working folder may have been removed under the program.
    if (!SetPath(QDir::currentPath()) && !SetPath(QDir::homePath()))
        SetPath(QDir::rootPath());
}

QString DirListBox::EntryPath(const QListWidgetItem* item) {
    return item ? QDir::toNativeSeparators(item->data(kPathRole).toString()) : QString();
}

bool DirListBox::SetPath(const QString& path) {
    const QFileInfo fi(QDir::fromNativeSeparators(path));
    if (path.isEmpty() || !fi.isDir())
        return false;
    const QString native = QDir::toNativeSeparators(QDir::cleanPath(fi.absoluteFilePath()));
    const bool differs = native != path_;
    path_ = native;
    Fill();
    if (differs)
        emit changed(path_);
    return true;
}

void DirListBox::Refresh() {
    Fill();
}

void DirListBox::Fill() {
    clear();
    const QStyle* st = style();
    const QStringList chain = Ancestry(QDir::fromNativeSeparators(path_));
    int level = 0;
    for (const QString& p : chain) {
        auto* item = new QListWidgetItem(st->standardIcon(QStyle::SP_DirOpenIcon), EntryName(p));
        item->setData(kPathRole, p);
        item->setData(kLevelRole, level++);
        addItem(item);
    }
    QListWidgetItem* current = item(count() - 1);
    const QDir here(chain.back());
    const QStringList subs =
        here.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : subs) {
        auto* item = new QListWidgetItem(st->standardIcon(QStyle::SP_DirClosedIcon), name);
        item->setData(kPathRole, here.absoluteFilePath(name));
        item->setData(kLevelRole, level);
        addItem(item);
    }
    setCurrentItem(current);
    scrollToItem(current);
}

void DirListBox::OpenItem(QListWidgetItem* item) {
    if (!item)
        return;
    // A folder that vanished since the list was made leaves the list as it is, refreshed.
    if (!SetPath(EntryPath(item)))
        Fill();
}

void DirListBox::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        OpenItem(currentItem());
        return;
    case Qt::Key_Backspace: {
        const QStringList chain = Ancestry(QDir::fromNativeSeparators(path_));
        if (chain.size() > 1)
            SetPath(chain[chain.size() - 2]);
        return;
    }
    default:
        QListWidget::keyPressEvent(event);
    }
}

} // namespace zr::platform
