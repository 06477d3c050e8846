// The mount table of a system with one folder tree, read for the drive list. Pure text work on
// Qt Core, so that it can be fuzzed without a window.

#include "mount_table.h"

#include "path_text.h"

#include <QSet>

namespace zr::platform {

namespace {

// Kernel file systems that hold no user files, and in-memory ones that vanish with the machine.
bool IsPseudoFileSystem(const QString& type) {
    static const QSet<QString> pseudo = {
        QStringLiteral("proc"),
        QStringLiteral("sysfs"),
        QStringLiteral("devtmpfs"),
        QStringLiteral("devpts"),
        QStringLiteral("tmpfs"),
        QStringLiteral("ramfs"),
        QStringLiteral("cgroup"),
        QStringLiteral("cgroup2"),
        QStringLiteral("securityfs"),
        QStringLiteral("pstore"),
        QStringLiteral("efivarfs"),
        QStringLiteral("debugfs"),
        QStringLiteral("tracefs"),
        QStringLiteral("configfs"),
        QStringLiteral("fusectl"),
        QStringLiteral("mqueue"),
        QStringLiteral("hugetlbfs"),
        QStringLiteral("bpf"),
        QStringLiteral("autofs"),
        QStringLiteral("binfmt_misc"),
        QStringLiteral("rpc_pipefs"),
        QStringLiteral("nsfs"),
        QStringLiteral("selinuxfs"),
        QStringLiteral("squashfs"),
        QStringLiteral("fuse.gvfsd-fuse"),
        QStringLiteral("fuse.portal"),
        QStringLiteral("overlay"),
    };
    return pseudo.contains(type);
}

// A mount table escapes blank, tab, newline and backslash in names as three octal digits.
QByteArray UnescapeMountField(const QByteArray& in) {
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '\\' && i + 3 < in.size()) {
            bool ok = false;
            const int code = in.mid(i + 1, 3).toInt(&ok, 8);
            if (ok && code < 256) {
                out.append(static_cast<char>(code));
                i += 3;
                continue;
            }
        }
        out.append(in[i]);
    }
    return out;
}

// The parts of a line between blanks, empty ones left out.
QList<QByteArray> Fields(const QByteArray& line) {
    QList<QByteArray> fields = line.split(' ');
    fields.removeAll(QByteArray());
    return fields;
}

} // namespace

QStringList RealMountPoints(const QByteArray& mountTable) {
    QStringList roots{QStringLiteral("/")};
    for (const QByteArray& line : mountTable.split('\n')) {
        const QList<QByteArray> f = Fields(line);
        if (f.size() < 3)
            continue;
        // A mount point's name is a file name like any other, UTF-8 or not.
        const QString point = TextFromNativeBytes(UnescapeMountField(f[1]).constData());
        // "/" is listed first whatever it is mounted as (an overlay in a container).
        if (!point.startsWith(QLatin1Char('/')) || IsPseudoFileSystem(QString::fromLatin1(f[2])))
            continue;
        if (!roots.contains(point))
            roots << point;
    }
    return roots;
}

} // namespace zr::platform
