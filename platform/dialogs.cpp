#include "dialogs.h"

#include "qt_platform.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace zr::platform {

namespace {
Platform* g_current = nullptr;
} // namespace

Platform& Current() {
    static QtPlatform qt;
    return g_current ? *g_current : qt;
}

void SetCurrent(Platform* p) { g_current = p; }

QStringList ToQtFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString t = p.trimmed();
            if (t == QLatin1String("*.*")) {
                patterns << QStringLiteral("*");
            } else {
                patterns << t;
                if (t.toLower() != t)
                    patterns << t.toLower();
            }
        }
        out << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                   QLatin1Char(')');
    }
    return out;
}

bool CommonDialog::ShowOpen(QWidget* parent) {
    OpenFileRequest req;
    req.title = DialogTitle;
    req.filter = Filter;
    req.multiSelect = MultiSelect;
    req.initialName = FileName;
    const OpenFileResult r = Current().OpenFile(parent, req);
    if (!r.confirmed || r.paths.isEmpty())
        return false;
    FileNames = r.paths;
    FileName = r.paths.front();
    FileTitle = QFileInfo(FileName).fileName();
    return true;
}

std::optional<FontChoice> CommonDialog::ShowFont(QWidget* parent, const FontChoice& initial) {
    return Current().ChooseFont(parent, initial);
}

} // namespace zr::platform
