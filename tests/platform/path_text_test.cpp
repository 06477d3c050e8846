#include "path_text.h"

#include <QMimeData>
#include <gtest/gtest.h>

using zr::platform::DroppedPaths;
using zr::platform::PathFromText;
using zr::platform::TextFromNativeBytes;
using zr::platform::TextFromPath;

#ifndef _WIN32
TEST(PathText, EveryByteOfANameSurvivesTheRoundTrip) {
    // A GBK name ("测试.doc"), a stray continuation byte, a truncated sequence, an overlong
    // slash and an encoded surrogate: none of them is UTF-8, all must come back unchanged.
    for (const std::string& bytes :
         {std::string("/tmp/\xb2\xe2\xca\xd4.doc"), std::string("/a/\x80x"),
          std::string("/a/\xe6\xb5"), std::string("/a/\xc0\xaf"), std::string("/a/\xed\xa0\x80")}) {
        const QString text = TextFromPath(std::filesystem::path(bytes));
        EXPECT_EQ(PathFromText(text).native(), bytes);
        EXPECT_EQ(TextFromNativeBytes(bytes.c_str()), text);
    }
}
#endif

TEST(PathText, ValidNamesReadAsTheirCharacters) {
    // U+FEFF in a name is a character like any other, not a byte-order mark to drop.
    const QString name = QStringLiteral("/数据/报告 1.doc.ZR😀");
    EXPECT_EQ(TextFromPath(PathFromText(name)), name);
    const QString marked = QStringLiteral("\uFEFFa\uFEFF.txt");
    EXPECT_EQ(TextFromPath(PathFromText(marked)), marked);
#ifndef _WIN32
    EXPECT_EQ(PathFromText(name).native(), name.toStdString());
#endif
}

#ifndef _WIN32
TEST(PathText, DroppedFileUrlsKeepTheBytesOfTheirNames) {
    QMimeData data;
    data.setData(QStringLiteral("text/uri-list"),
                 "file:///tmp/%B2%E2%CA%D4.doc\r\nfile:///tmp/%E6%8A%A5%E5%91%8A%201.txt\r\n");
    const QStringList paths = DroppedPaths(&data);
    ASSERT_EQ(paths.size(), 2);
    EXPECT_EQ(PathFromText(paths[0]).native(), "/tmp/\xb2\xe2\xca\xd4.doc");
    EXPECT_EQ(paths[1], QStringLiteral("/tmp/报告 1.txt"));

    // Anything that is not a local file spoils the whole drop.
    data.setData(QStringLiteral("text/uri-list"), "file:///tmp/a\r\nhttps://example.org/b\r\n");
    EXPECT_TRUE(DroppedPaths(&data).isEmpty());
}
#endif
