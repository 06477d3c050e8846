#include "failure_list.h"

namespace zr::app {

QString FailureListText(int failedCount, const QStringList& reasons, int suspectCount) {
    QString heading;
    if (suspectCount == 0)
        heading = QStringLiteral("有 %1 个文件未能加密/解密：").arg(failedCount);
    else if (failedCount == 0)
        heading =
            QStringLiteral("有 %1 个文件的解密结果看起来不对，密钥可能不对：").arg(suspectCount);
    else
        heading = QStringLiteral("有 %1 个文件未能加密/解密，%2 个文件的密钥可能不对：")
                      .arg(failedCount)
                      .arg(suspectCount);
    return ListedText(heading, failedCount + suspectCount, reasons);
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
