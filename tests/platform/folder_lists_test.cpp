#include "dir_list_box.h"
#include "drive_list_box.h"
#include "path_text.h"
#include "temp_dir.h"

#include <QDir>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

using namespace zr::platform;
namespace fs = std::filesystem;

namespace {
QString Q(const fs::path& p) {
    return QString::fromStdString(p.string());
}

// A double-click as the window system delivers it: the second press comes as the double-click.
void DoubleClick(QWidget* w, QPoint at) {
    const QPointF local(at), global(w->mapToGlobal(at));
    QMouseEvent dbl(QEvent::MouseButtonDblClick, local, global, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
    QCoreApplication::sendEvent(w, &dbl);
    QMouseEvent up(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                   Qt::NoModifier);
    QCoreApplication::sendEvent(w, &up);
}

QStringList Names(const DirListBox& list) {
    QStringList out;
    for (int i = 0; i < list.count(); ++i)
        out << list.item(i)->text();
    return out;
}
} // namespace

TEST(MountTable, RootFirstThenRealVolumesOnceEachWithoutPseudoFileSystems) {
    const QByteArray table("proc /proc proc rw 0 0\n"
                           "/dev/sdb1 /media/usb vfat rw 0 0\n"
                           "overlay / overlay rw 0 0\n"
                           "tmpfs /run tmpfs rw 0 0\n"
                           "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n"
                           "/dev/sda2 /home ext4 rw 0 0\n"
                           "/dev/sda2 /home ext4 rw 0 0\n"
                           "garbage\n"
                           "/dev/sdc1 /media/My\\040Disk\\134x ntfs3 rw 0 0\n"
                           "/dev/sdd1 /mnt/\\262\\342 vfat rw 0 0\n");
    const QStringList roots = RealMountPoints(table);
    EXPECT_EQ(roots.mid(0, 4),
              QStringList({"/", "/media/usb", "/home", QStringLiteral("/media/My Disk\\x")}));
    // Bytes that are not UTF-8 (a GBK name) lead back to the same folder.
    ASSERT_EQ(roots.size(), 5);
    EXPECT_EQ(zr::platform::PathFromText(roots[4]).native(), "/mnt/\xb2\xe2");
    EXPECT_EQ(RealMountPoints(QByteArray()), QStringList({"/"}));
}

TEST(MountTable, SystemListStartsAtTheRootAndHoldsTheHomeFolder) {
    const QStringList roots = SystemDriveRoots();
    ASSERT_FALSE(roots.isEmpty());
    EXPECT_EQ(roots.front(), QStringLiteral("/"));
    EXPECT_TRUE(roots.contains(QDir::homePath()));
}

TEST(DriveList, ChoosesTheDriveWithTheLongestRootHoldingAPath) {
    DriveListBox box;
    box.SetDrives({"/", "/media/usb", "/media/usb2", "/home/me"});
    EXPECT_EQ(box.Drive(), QStringLiteral("/"));
    QSignalSpy spy(&box, &DriveListBox::changed);
    EXPECT_TRUE(box.SetDriveFor(QStringLiteral("/media/usb2/photos")));
    EXPECT_EQ(box.Drive(), QStringLiteral("/media/usb2"));
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy[0][0].toString(), QStringLiteral("/media/usb2"));
    // "/media/usbx" is not inside "/media/usb".
    EXPECT_TRUE(box.SetDriveFor(QStringLiteral("/media/usbx")));
    EXPECT_EQ(box.Drive(), QStringLiteral("/"));
    EXPECT_TRUE(box.SetDriveFor(QStringLiteral("/home/me")));
    EXPECT_EQ(box.Drive(), QStringLiteral("/home/me"));
    spy.clear();
    EXPECT_TRUE(box.SetDriveFor(QStringLiteral("/home/me/docs"))); // same drive: no signal
    EXPECT_TRUE(spy.isEmpty());

    box.SetDrives({"/media/usb"});
    EXPECT_FALSE(box.SetDriveFor(QStringLiteral("/home/me")));
    EXPECT_EQ(box.Drive(), QStringLiteral("/media/usb"));
}

class FolderList : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* d :
             {"top/beta", "top/Alpha", "top/gamma dir", "top/中文", "top/beta/inner"})
            fs::create_directories(tmp / d);
        zr::test::WriteBytes(tmp / "top" / "file.txt", {1});
        top = Q(tmp / "top");
    }
    zr::test::TempDir tmp;
    QString top;
};

TEST_F(FolderList, ShowsAncestorsThenSubfoldersSortedWithTheCurrentHighlighted) {
    DirListBox list;
    QSignalSpy spy(&list, &DirListBox::changed);
    ASSERT_TRUE(list.SetPath(top + QStringLiteral("/")));
    EXPECT_EQ(list.Path(), top); // cleaned: no trailing separator
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy[0][0].toString(), top);

    QStringList expected;
    for (QString p = top;; p = QFileInfo(p).absolutePath()) {
        expected.prepend(QDir(p).isRoot() ? p : QFileInfo(p).fileName());
        if (QDir(p).isRoot())
            break;
    }
    const int current = expected.size() - 1;
    expected << "Alpha"
             << "beta"
             << "gamma dir" << QStringLiteral("中文"); // no file.txt
    EXPECT_EQ(Names(list), expected);
    EXPECT_EQ(list.currentRow(), current);
    EXPECT_EQ(DirListBox::EntryPath(list.item(0)), QStringLiteral("/"));

    // What is no folder is refused, and the path stays.
    EXPECT_FALSE(list.SetPath(top + QStringLiteral("/missing")));
    EXPECT_FALSE(list.SetPath(top + QStringLiteral("/file.txt")));
    EXPECT_FALSE(list.SetPath(QString()));
    EXPECT_TRUE(list.SetPath(top)); // the same path again: listed anew, no change signalled
    EXPECT_EQ(list.Path(), top);
    EXPECT_EQ(spy.size(), 1);
}

TEST_F(FolderList, OpensBySubfolderAndGoesBackUpByAncestorWithMouseAndKeys) {
    DirListBox list;
    list.resize(300, 400); // every entry in view: a click scrolls nothing
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    ASSERT_TRUE(list.SetPath(top));
    QSignalSpy spy(&list, &DirListBox::changed);

    const auto rowOf = [&](const QString& name) { return Names(list).indexOf(name); };
    const QRect r = list.visualItemRect(list.item(rowOf("beta")));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, r.center());
    DoubleClick(list.viewport(), r.center());
    EXPECT_EQ(list.Path(), top + QStringLiteral("/beta"));

    // Highlighting alone changes nothing; Enter opens the highlighted entry.
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Down);
    EXPECT_EQ(list.Path(), top + QStringLiteral("/beta"));
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_EQ(list.Path(), top + QStringLiteral("/beta/inner"));

    QTest::keyClick(&list, Qt::Key_Backspace);
    EXPECT_EQ(list.Path(), top + QStringLiteral("/beta"));

    list.setCurrentRow(0); // the root
    QTest::keyClick(&list, Qt::Key_Enter);
    EXPECT_EQ(list.Path(), QStringLiteral("/"));
    EXPECT_EQ(list.item(0)->text(), QStringLiteral("/"));
    QTest::keyClick(&list, Qt::Key_Backspace); // nothing above the root
    EXPECT_EQ(list.Path(), QStringLiteral("/"));

    QStringList seen;
    for (const auto& args : spy)
        seen << args[0].toString();
    EXPECT_EQ(seen, QStringList({top + "/beta", top + "/beta/inner", top + "/beta", "/"}));
}

TEST_F(FolderList, AFolderRemovedMeanwhileIsDroppedWithoutMovingThere) {
    DirListBox list;
    ASSERT_TRUE(list.SetPath(top));
    const int row = Names(list).indexOf("gamma dir");
    ASSERT_GE(row, 0);
    fs::remove(tmp / "top" / "gamma dir");
    list.setCurrentRow(row);
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_EQ(list.Path(), top);
    EXPECT_FALSE(Names(list).contains("gamma dir"));
}

TEST_F(FolderList, ANameThatIsNotUtf8IsListedOpenedAndStartedIn) {
    const fs::path latin = tmp / "top" / "caf\xe9"; // Latin-1, which the toolkit passes over
    fs::create_directory(latin);
    DirListBox list;
    ASSERT_TRUE(list.SetPath(top));
    const int row = Names(list).indexOf(zr::platform::TextFromPath(latin.filename()));
    ASSERT_GE(row, 0);
    list.setCurrentRow(row);
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_EQ(zr::platform::PathFromText(list.Path()), latin);

    // A program started in such a folder shows it, not the home folder.
    const fs::path before = fs::current_path();
    fs::current_path(latin);
    DirListBox started;
    fs::current_path(before);
    EXPECT_EQ(zr::platform::PathFromText(started.Path()), latin);
}
