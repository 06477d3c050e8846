#pragma once
// A drop-down list of the drives the user can pick a folder from. On Windows these are the
// drive letters; on Linux, which has one tree, they are the root folders of the mounted
// volumes ("/" first, then the real mount points in mount order) and the user's home folder.

#include "mount_table.h"

#include <QComboBox>
#include <QString>
#include <QStringList>

namespace zr::platform {

// The roots the drive list offers on this system.
QStringList SystemDriveRoots();

class DriveListBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveListBox(QWidget* parent = nullptr);

    // The root of the chosen drive ("/" or "/media/usb" on Linux, "C:\" on Windows).
    QString Drive() const;
    // Chooses the listed drive that holds path (the longest root it starts with); emits
    // changed() when that is another drive than before. False when no listed drive holds it.
    bool SetDriveFor(const QString& path);
    // The same without changed(): for a folder list that moved by itself (above a drive's
    // root, or onto another drive), so that the list shows the drive that holds it and
    // choosing the earlier drive again is a change.
    bool FollowFolder(const QString& path);
    // Replaces the list (the system's roots by default; tests give their own).
    void SetDrives(const QStringList& roots);
    // Reads the system's drives again, keeping the choice when it is still listed.
    void Refresh();

signals:
    // The chosen drive changed, by the user or by SetDriveFor.
    void changed(const QString& drive);

private:
    void IndexChanged(int index);
};

} // namespace zr::platform
