#pragma once
// The message that follows a completion message when some files of a folder job or a batch
// could not be done: how many, then the first ones with their reasons.

#include <QString>
#include <QStringList>

namespace zr::app {

// How many failures such a message lists at most.
inline constexpr int kListedFailures = 20;

// "有 N 个文件未能加密/解密：", the first kListedFailures reasons one to a line, then how many
// were left out. reasons may hold more than are listed.
QString FailureListText(int failedCount, const QStringList& reasons);

} // namespace zr::app
