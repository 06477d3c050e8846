#pragma once
// The message that follows a completion message when some files of a folder job or a batch
// could not be done: how many, then the first ones with their reasons. The same shape lists
// the entries of a batch that was refused before it began.

#include <QString>
#include <QStringList>

namespace zr::app {

// How many failures such a message lists at most.
inline constexpr int kListedFailures = 20;

// "有 N 个文件未能加密/解密：", the first kListedFailures reasons one to a line, then how many
// were left out. reasons may hold more than are listed. suspectCount files were done but their
// decrypted results look wrong: the heading names them too, and their lines are among reasons.
QString FailureListText(int failedCount, const QStringList& reasons, int suspectCount = 0);

// heading, then the first kListedFailures of lines one to a line, then how many of count were
// left out.
QString ListedText(const QString& heading, int count, const QStringList& lines);

} // namespace zr::app
