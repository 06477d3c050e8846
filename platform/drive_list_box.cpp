#include "drive_list_box.h"

#include <QDir>

namespace zr::platform {

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
    connect(this, &QComboBox::currentIndexChanged, this, &DriveListBox::IndexChanged);
    SetDrives(SystemDriveRoots());
}

QString DriveListBox::Drive() const {
    return currentData().toString();
}

void DriveListBox::SetDrives(const QStringList& roots) {
    const QString was = Drive();
    {
        const QSignalBlocker block(this);
        clear();
        for (const QString& r : roots)
            addItem(QDir::toNativeSeparators(r), r);
        const int keep = findData(was);
        setCurrentIndex(keep >= 0 ? keep : (count() ? 0 : -1));
    }
    if (Drive() != was && !was.isEmpty())
        emit changed(Drive());
}

void DriveListBox::Refresh() {
    SetDrives(SystemDriveRoots());
}

bool DriveListBox::SetDriveFor(const QString& path) {
    const QString p = QDir::cleanPath(QDir::fromNativeSeparators(path));
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < count(); ++i) {
        const QString root = QDir::cleanPath(QDir::fromNativeSeparators(itemData(i).toString()));
        // "/" and the drive roots "C:/" end in a separator; drive letters match in any case.
        const bool holds = root.endsWith(QLatin1Char('/'))
                               ? p.startsWith(root, Qt::CaseInsensitive)
                               : p == root || p.startsWith(root + QLatin1Char('/'));
        if (holds && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    if (best < 0)
        return false;
    setCurrentIndex(best);
    return true;
}

bool DriveListBox::FollowFolder(const QString& path) {
    const QSignalBlocker block(this);
    return SetDriveFor(path);
}

void DriveListBox::IndexChanged(int index) {
    if (index >= 0)
        emit changed(Drive());
}

} // namespace zr::platform
