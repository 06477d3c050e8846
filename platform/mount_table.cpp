// The mount table of a system with one folder tree, read for the drive list. Pure text work on
// Qt Core, so that it can be fuzzed without a window.

#include "mount_table.h"

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

// A mount table escapes blank, tab, newline and backslash in names as three octal digits. A
// byte above 127 written that way stands for itself, as the file names' text keeps such bytes
// (U+DC80 + byte), so that the folder it names is found again.
QString UnescapeMountField(const QString& field) {
    QString out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == QLatin1Char('\\') && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok && code < 256) {
                out += QChar(static_cast<char16_t>(code < 0x80 ? code : 0xDC00 + code));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

} // namespace

QStringList RealMountPoints(const QString& mountTable) {
    QStringList roots{QStringLiteral("/")};
    const QStringList lines = mountTable.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const QStringList f = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (f.size() < 3)
            continue;
        const QString point = UnescapeMountField(f[1]);
        // "/" is listed first whatever it is mounted as (an overlay in a container).
        if (!point.startsWith(QLatin1Char('/')) || IsPseudoFileSystem(f[2]))
            continue;
        if (!roots.contains(point))
            roots << point;
    }
    return roots;
}

} // namespace zr::platform
