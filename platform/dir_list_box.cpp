#include "dir_list_box.h"

#include "path_text.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

namespace zr::platform {

namespace fs = std::filesystem;

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

// The folders from the root down to path, each as a full path.
std::vector<fs::path> Ancestry(const fs::path& path) {
    std::vector<fs::path> chain{path};
    for (fs::path at = path; at.has_relative_path();) {
        at = at.parent_path();
        chain.insert(chain.begin(), at);
    }
    return chain;
}

QString EntryName(const fs::path& path) {
    return TextFromPath(path.has_relative_path() ? path.filename() : path);
}

// The folder path names, absolute and cleaned (no "." or "..", no trailing separator, native
// separators), when it is one.
std::optional<fs::path> FolderOf(const QString& text) {
    std::error_code ec;
    const fs::path given = PathFromText(text);
    if (text.isEmpty() || !fs::is_directory(given, ec))
        return std::nullopt;
    fs::path clean = fs::absolute(given, ec).lexically_normal();
    if (ec)
        return std::nullopt;
    if (!clean.has_filename() && clean.has_relative_path())
        clean = clean.parent_path();
    return clean;
}

// The subfolders of folder that the list shows: hidden ones left out, sorted by name in any
// letter case. Listed here rather than by the toolkit, which passes over names that are not
// valid in the system's encoding (a GBK name unpacked on Linux).
std::vector<std::pair<QString, fs::path>> Subfolders(const fs::path& folder) {
    std::vector<std::pair<QString, fs::path>> subs;
    std::error_code ec;
    for (auto it =
             fs::directory_iterator(folder, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code kind;
        if (!it->is_directory(kind)) // a link to a folder counts as one
            continue;
        const QString name = TextFromPath(it->path().filename());
        if (name.startsWith(QLatin1Char('.')) || QFileInfo(TextFromPath(it->path())).isHidden())
            continue;
        subs.emplace_back(name, it->path());
    }
    std::sort(subs.begin(), subs.end(), [](const auto& a, const auto& b) {
        return a.first.compare(b.first, Qt::CaseInsensitive) < 0;
    });
    return subs;
}

} // namespace

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new IndentDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemDoubleClicked, this, &DirListBox::OpenItem);
    // The working folder may have been removed under the program.
    std::error_code ec;
    if (!SetPath(TextFromPath(fs::current_path(ec))) && !SetPath(QDir::homePath()))
        SetPath(QDir::rootPath());
}

QString DirListBox::EntryPath(const QListWidgetItem* item) {
    return item ? item->data(kPathRole).toString() : QString();
}

bool DirListBox::SetPath(const QString& path) {
    const std::optional<fs::path> folder = FolderOf(path);
    if (!folder)
        return false;
    const QString native = TextFromPath(*folder);
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
    const std::vector<fs::path> chain = Ancestry(PathFromText(path_));
    int level = 0;
    for (const fs::path& p : chain) {
        auto* item = new QListWidgetItem(st->standardIcon(QStyle::SP_DirOpenIcon), EntryName(p));
        item->setData(kPathRole, TextFromPath(p));
        item->setData(kLevelRole, level++);
        addItem(item);
    }
    QListWidgetItem* current = item(count() - 1);
    for (const auto& [name, path] : Subfolders(chain.back())) {
        auto* item = new QListWidgetItem(st->standardIcon(QStyle::SP_DirClosedIcon), name);
        item->setData(kPathRole, TextFromPath(path));
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
        const fs::path here = PathFromText(path_);
        if (here.has_relative_path())
            SetPath(TextFromPath(here.parent_path()));
        return;
    }
    default:
        QListWidget::keyPressEvent(event);
    }
}

} // namespace zr::platform
