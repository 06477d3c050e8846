// Drives on a system with one folder tree: the mounted volumes' roots and the home folder.

#include "drive_list_box.h"

#include <QDir>
#include <QFile>

namespace zr::platform {

QStringList SystemDriveRoots() {
    QFile table(QStringLiteral("/proc/self/mounts"));
    QByteArray text;
    // /proc files report no size: read them to the end instead of by size.
    if (table.open(QIODevice::ReadOnly))
        text = table.readAll();
    QStringList roots = RealMountPoints(text);
    const QString home = QDir::homePath();
    if (!home.isEmpty() && !roots.contains(home))
        roots << home;
    return roots;
}

} // namespace zr::platform
