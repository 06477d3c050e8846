// Drives on Windows: the drive letters in use, as "C:\".

#include "drive_list_box.h"

#include <windows.h>

namespace zr::platform {

QStringList SystemDriveRoots() {
    QStringList roots;
    const DWORD mask = ::GetLogicalDrives();
    for (int i = 0; i < 26; ++i)
        if (mask & (1u << i))
            roots << QString(QChar(u'A' + i)) + QStringLiteral(":\\");
    return roots;
}

} // namespace zr::platform
