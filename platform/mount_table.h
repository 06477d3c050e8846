#pragma once
// Reading a mount table (/proc/self/mounts) for the drive list; no widgets.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace zr::platform {

// The mount points of real volumes in a mount table in the format of /proc/self/mounts
// ("device mountpoint type options dump pass" per line, blanks in names escaped as \040):
// "/" first whether or not the table lists it, then every other mount point in table order,
// each once, leaving out pseudo file systems (proc, sysfs, tmpfs, cgroup, ...). Names are
// given as the file names' text (path_text.h), so that one that is not UTF-8 is found again.
QStringList RealMountPoints(const QByteArray& mountTable);

} // namespace zr::platform
