#include "qt_platform.h"
#include "temp_dir.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <gtest/gtest.h>

namespace {

QString Q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

bool IsAscii(const QString& s) {
    for (QChar c : s)
        if (c.unicode() > 0x7f)
            return false;
    return true;
}

// The file dialog's type column must not fall back to the toolkit's English names.
TEST(FileDialogTypes, FoldersDrivesAndUnknownFilesAreNamedInChinese) {
    zr::test::TempDir dir;
    const QString unknown = Q(dir / "data.zzq");
    const QString bare = Q(dir / "README");
    for (const QString& name : {unknown, bare}) {
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\x01\x02\x03\xff", 4);
    }

    // The program runs with a Chinese default locale; installed type descriptions follow it.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QFileDialog dialog;
    zr::platform::UseChineseFileTypes(dialog);
    ASSERT_NE(dialog.iconProvider(), nullptr);
    const auto* types = dialog.iconProvider();
    EXPECT_EQ(types->type(QFileInfo(Q(dir.path()))), QStringLiteral("文件夹"));
    EXPECT_EQ(types->type(QFileInfo(QDir::rootPath())), QStringLiteral("驱动器"));
    EXPECT_FALSE(IsAscii(types->type(QFileInfo(unknown))))
        << types->type(QFileInfo(unknown)).toStdString();
    EXPECT_FALSE(IsAscii(types->type(QFileInfo(bare))))
        << types->type(QFileInfo(bare)).toStdString();
    QLocale::setDefault(before);
}

} // namespace
