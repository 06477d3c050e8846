#include "failure_list.h"

namespace zr::app {

QString FailureListText(int failedCount, const QStringList& reasons) {
    return ListedText(QStringLiteral("有 %1 个文件未能加密/解密：").arg(failedCount), failedCount,
                      reasons);
}

QString ListedText(const QString& heading, int count, const QStringList& lines) {
    QString text = heading;
    const QStringList listed = lines.mid(0, kListedFailures);
    for (const QString& r : listed)
        text += QLatin1Char('\n') + r;
    const int unlisted = count - static_cast<int>(listed.size());
    if (unlisted > 0)
        text += QStringLiteral("\n……另有 %1 个未列出").arg(unlisted);
    return text;
}

} // namespace zr::app
