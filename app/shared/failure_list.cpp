#include "failure_list.h"

namespace zr::app {

QString FailureListText(int failedCount, const QStringList& reasons) {
    QString text = QStringLiteral("有 %1 个文件未能加密/解密：").arg(failedCount);
    const QStringList listed = reasons.mid(0, kListedFailures);
    for (const QString& r : listed)
        text += QLatin1Char('\n') + r;
    const int unlisted = failedCount - static_cast<int>(listed.size());
    if (unlisted > 0)
        text += QStringLiteral("\n……另有 %1 个未列出").arg(unlisted);
    return text;
}

} // namespace zr::app
