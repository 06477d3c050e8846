#include "path_text.h"

#include <gtest/gtest.h>

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
    const QString name = QStringLiteral("/数据/报告 1.doc.ZR😀");
    EXPECT_EQ(TextFromPath(PathFromText(name)), name);
#ifndef _WIN32
    EXPECT_EQ(PathFromText(name).native(), name.toStdString());
#endif
}
