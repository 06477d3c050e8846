#include "job_list.h"

#include "target_name.h"
#include "transform_file.h"

#include <QDir>
#include <cmath>

namespace zr::ui {

QString BareName(const QString& path) {
    const qsizetype cut =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(cut + 1);
}

QList<SelectedFile> SplitSelection(const QStringList& paths, const QString& fileTitle) {
    QList<SelectedFile> out;
    if (paths.size() == 1) {
        out.push_back({paths.front(), fileTitle.isEmpty() ? BareName(paths.front()) : fileTitle});
        return out;
    }
    for (const QString& p : paths)
        if (!p.isEmpty())
            out.push_back({p, BareName(p)});
    return out;
}

QString TargetFor(const SelectedFile& file, const std::optional<QString>& folder) {
    const QString t = folder ? *folder + QDir::separator() + file.bareName : file.source;
    return QString::fromStdU16String(zr::TargetNameFor(t.toStdU16String()));
}

bool IsListed(const QStringList& sources, const QString& source) {
    return sources.contains(source, Qt::CaseSensitive);
}

QString DuplicateText(const QString& source) {
    return QStringLiteral("文件") + source + QStringLiteral("已经加入列表中了，不能重复加入!");
}

ListLayout ComputeListLayout(float w, float h, float list1Top, float label3Width) {
    ListLayout l;
    l.list1Left = 10.0f;
    l.listWidth = w / 2.0f - 100.0f;
    l.listHeight = h - list1Top - 400.0f;
    l.list2Left = w - l.listWidth - 150.0f;
    l.label1Left = l.list1Left;
    l.label2Left = l.list2Left;
    l.label3Left = l.list2Left + l.listWidth / 2.0f - label3Width / 2.0f;
    l.barLeft = l.list2Left;
    l.barWidth = l.listWidth;
    return l;
}

int BatchPercent(int listCount, int jobIndex, qint64 done, qint64 length) {
    if (listCount == 1)
        return zr::ProgressPercent(done, length);
    if (listCount <= 0)
        return 0;
    return static_cast<int>(
        std::floor(static_cast<double>(jobIndex) / static_cast<double>(listCount) * 100.0));
}

} // namespace zr::ui
