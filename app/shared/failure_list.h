#pragma once
// The message that follows a completion message when some files of a folder job or a batch
// are not as the user asked: grouped by what became of them, each group under a heading with
// its count, then the first ones with their reasons. The same shape lists the entries of a
// batch that was refused before it began.

#include <QString>
#include <QStringList>

namespace zr::app {

// How many lines such a message lists at most, over all its groups.
inline constexpr int kListedFailures = 20;

// Files of one kind: how many, and the lines of the first ones (lines may hold fewer than count,
// or more than are listed).
struct FailureGroup {
    int count = 0;
    QStringList lines;
};

struct FailureReport {
    FailureGroup failed;       // no target was written
    FailureGroup sourceStayed; // the target was written, but the source that was to go stays
    FailureGroup suspect;      // done, but the decrypted result looks wrong for its type
};

// Each group that has files: "有 N 个文件未能加密/解密：", "有 N 个文件已加密/解密，但源文件
// 没有删除：" or "有 N 个文件的解密结果看起来不对，密钥可能不对：", its lines one to a line
// while fewer than kListedFailures are listed in all, then how many of it were left out.
QString FailureListText(const FailureReport& report);

// heading, then the first kListedFailures of lines one to a line, then how many of count were
// left out.
QString ListedText(const QString& heading, int count, const QStringList& lines);

} // namespace zr::app
