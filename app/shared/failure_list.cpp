#include "failure_list.h"

namespace zr::app {

namespace {

// The first budget of lines one to a line, then how many of count were left out; the budget
// shrinks by the lines listed.
void appendLines(QString& text, int count, const QStringList& lines, int& budget) {
    const QStringList listed = lines.mid(0, budget);
    for (const QString& line : listed)
        text += QLatin1Char('\n') + line;
    budget -= static_cast<int>(listed.size());
    const int unlisted = count - static_cast<int>(listed.size());
    if (unlisted > 0)
        text += QStringLiteral("\n……另有 %1 个未列出").arg(unlisted);
}

void appendGroup(QString& text, const QString& heading, const FailureGroup& group, int& budget) {
    if (group.count <= 0)
        return;
    if (!text.isEmpty())
        text += QLatin1Char('\n');
    text += heading.arg(group.count);
    appendLines(text, group.count, group.lines, budget);
}

} // namespace

QString FailureListText(const FailureReport& report) {
    QString text;
    int budget = kListedFailures;
    appendGroup(text, QStringLiteral("有 %1 个文件未能加密/解密："), report.failed, budget);
    appendGroup(text, QStringLiteral("有 %1 个文件已加密/解密，但源文件没有删除："),
                report.sourceStayed, budget);
    appendGroup(text, QStringLiteral("有 %1 个文件的解密结果看起来不对，密钥可能不对："),
                report.suspect, budget);
    return text;
}

QString ListedText(const QString& heading, int count, const QStringList& lines) {
    QString text = heading;
    int budget = kListedFailures;
    appendLines(text, count, lines, budget);
    return text;
}

} // namespace zr::app
