// The multi-file window: adding, the duplicate check, removal, the tick, font and underline,
// and closing.

#include "batch_fixture.h"
#include "dir_list_box.h"
#include "drive_list_box.h"
#include "job_list.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <filesystem>

using namespace zr::test;
using zr::platform::MessageAnswer;
using zr::platform::MessageButtons;
using zr::platform::MessageIcon;
using zr::ui::DuplicateText;
namespace fs = std::filesystem;

TEST_F(BatchWindowTest, AddsIntoTheChosenFolderOrBesideTheSources) {
    p.AnswerOpen({S("/data/a.txt")});
    p.AnswerMessage(MessageAnswer::Ok);
    m->Command1_clicked();
    ASSERT_EQ(p.calls.size(), 2);
    EXPECT_TRUE(p.calls[0].request.multiSelect);
    EXPECT_EQ(p.calls[0].request.filter, S("所有文件(*.*)|*.*"));
    EXPECT_EQ(p.calls[1].text, S("选择目标文件路径吗？如果按取消，将与源文件路径相同。"));
    EXPECT_EQ(p.calls[1].title, S("选择目标文件路径吗？"));
    EXPECT_EQ(p.calls[1].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(p.calls[1].icon, MessageIcon::None);
    EXPECT_TRUE(C<QGroupBox>("Frame1")->isVisible());
    EXPECT_EQ(List1()->count(), 0); // nothing before the frame's OK
    C<QLineEdit>("Text1")->setText(S("/out"));
    m->Command4_clicked();
    EXPECT_FALSE(C<QGroupBox>("Frame1")->isVisible());

    // Declined: at once, beside the sources, several files with blanks in their names.
    Add({S("/my data/b c.txt"), S("/my data/d.zr")});
    EXPECT_FALSE(C<QGroupBox>("Frame1")->isVisible());
    EXPECT_EQ(Items(List1()),
              (QStringList{S("/data/a.txt"), S("/my data/b c.txt"), S("/my data/d.zr")}));
    EXPECT_EQ(Items(List2()),
              (QStringList{S("/out/a.txt.ZR"), S("/my data/b c.txt.ZR"), S("/my data/d")}));
}

TEST_F(BatchWindowTest, DuplicateIsRefusedAndTheRestOfTheSelectionStillAdded) {
    Add({S("/data/a.txt")});
    p.Clear();
    Add({S("/data/x.txt"), S("/data/a.txt"), S("/DATA/A.TXT")});
    EXPECT_EQ(Items(List1()), (QStringList{S("/data/a.txt"), S("/data/x.txt"), S("/DATA/A.TXT")}));
    EXPECT_EQ(List2()->count(), 3);
    const auto msgs = p.Messages();
    ASSERT_EQ(msgs.size(), 2); // the question, then the one duplicate
    EXPECT_EQ(msgs[1].text, S("文件/data/a.txt已经加入列表中了，不能重复加入!"));
    EXPECT_EQ(msgs[1].title, S("警告"));
    EXPECT_EQ(msgs[1].icon, MessageIcon::None);

    // A cancelled open dialog asks nothing and leaves the frame as it was.
    p.AnswerOpen({S("/data/b.txt")});
    p.AnswerMessage(MessageAnswer::Ok);
    m->Command1_clicked();
    p.CancelOpen();
    m->Command1_clicked();
    EXPECT_TRUE(C<QGroupBox>("Frame1")->isVisible());
    EXPECT_EQ(p.Messages().size(), 3);
    EXPECT_EQ(List1()->count(), 3);
}

TEST_F(BatchWindowTest, RemovalAndButtonsFollowTheListWithinATick) {
    auto* remove = C<QPushButton>("Command2");
    auto* start = C<QPushButton>("Command3");
    EXPECT_EQ(m->focusWidget(), List1()); // the first of the focus order
    EXPECT_FALSE(remove->isEnabled());
    EXPECT_FALSE(start->isEnabled());
    Add({S("/d/1"), S("/d/2"), S("/d/3"), S("/d/4")});
    List2()->setCurrentRow(1); // a selection in List2 alone does not count
    m->Timer1_timeout();
    EXPECT_TRUE(start->isEnabled());
    EXPECT_FALSE(remove->isEnabled());

    List1()->setCurrentRow(2);
    m->Timer1_timeout();
    ASSERT_TRUE(remove->isEnabled());
    remove->click();
    EXPECT_EQ(Items(List1()), (QStringList{S("/d/1"), S("/d/2"), S("/d/4")}));
    EXPECT_EQ(Items(List2()), (QStringList{S("/d/1.ZR"), S("/d/2.ZR"), S("/d/4.ZR")}));
    m->Timer1_timeout();
    EXPECT_FALSE(remove->isEnabled());
    m->Command2_clicked(); // nothing selected: nothing happens
    EXPECT_EQ(List1()->count(), 3);

    while (List1()->count()) {
        List1()->setCurrentRow(0);
        m->Command2_clicked();
    }
    EXPECT_EQ(List2()->count(), 0);
    m->Timer1_timeout();
    EXPECT_FALSE(start->isEnabled());
}

TEST_F(BatchWindowTest, LayoutFollowsTheOuterSizeOnTheTick) {
    m->resize(640, 480);
    m->Timer1_timeout();
    const double w = m->frameGeometry().width() * 15.0, h = m->frameGeometry().height() * 15.0;
    const auto twips = [](int px) { return px * 15.0; };
    EXPECT_NEAR(twips(List1()->x()), 10, 15);
    EXPECT_NEAR(twips(List1()->width()), w / 2 - 100, 15);
    EXPECT_EQ(List2()->width(), List1()->width());
    EXPECT_NEAR(twips(List1()->height()), h - 2080, 15);
    EXPECT_EQ(List2()->height(), List1()->height());
    EXPECT_EQ(List1()->y(), 112); // the design top stays
    EXPECT_NEAR(twips(List2()->x() + List2()->width()), w - 150, 22);
    EXPECT_EQ(C<QLabel>("Label2")->x(), List2()->x());
    EXPECT_EQ(C<QProgressBar>("ProgressBar1")->geometry().left(), List2()->x());
    EXPECT_EQ(C<QProgressBar>("ProgressBar1")->width(), List2()->width());
    const QLabel* l3 = C<QLabel>("Label3");
    EXPECT_NEAR(l3->x() + l3->width() / 2.0, List2()->x() + List2()->width() / 2.0, 1.5);
}

TEST_F(BatchWindowTest, UnderlineFollowsCheck1AndTheFontDialogSetsTheRest) {
    auto* check = C<QCheckBox>("Check1");
    check->setChecked(true);
    EXPECT_FALSE(List1()->font().underline());
    m->Timer1_timeout();
    EXPECT_TRUE(List1()->font().underline());
    EXPECT_TRUE(List2()->font().underline());

    p.AnswerFont(zr::platform::FontChoice{S("WenQuanYi Micro Hei"), 14, true, true});
    m->Command6_clicked();
    for (QListWidget* l : {List1(), List2()}) {
        EXPECT_EQ(l->font().family(), S("WenQuanYi Micro Hei"));
        EXPECT_EQ(l->font().pointSizeF(), 14);
        EXPECT_TRUE(l->font().bold() && l->font().italic() && l->font().underline());
    }
    m->Command6_clicked(); // cancelled
    EXPECT_EQ(List2()->font().pointSizeF(), 14);

    check->setTristate(true);
    check->setCheckState(Qt::PartiallyChecked); // the grey state changes nothing
    m->Timer1_timeout();
    EXPECT_TRUE(List2()->font().underline());
    check->setCheckState(Qt::Unchecked);
    m->Timer1_timeout();
    EXPECT_FALSE(List1()->font().underline());
    EXPECT_FALSE(List2()->font().underline());
}

TEST_F(BatchWindowTest, TickShowsTheFolderListsPathAndFollowsADriveChange) {
    TempDir a, b;
    fs::create_directory(a / "sub");
    auto* drives = C<zr::platform::DriveListBox>("Drive1");
    auto* text = C<QLineEdit>("Text1");
    EXPECT_TRUE(text->text().isEmpty()); // the load leaves it to the first tick
    drives->SetDrives({Q(a.path()), Q(b.path()), Q(b / "gone")});
    m->Timer1_timeout();
    EXPECT_EQ(text->text(), Q(a.path()));
    // A folder opened in the list stays chosen from one tick to the next.
    ASSERT_TRUE(C<zr::platform::DirListBox>("Dir1")->SetPath(Q(a / "sub")));
    m->Timer1_timeout();
    m->Timer1_timeout();
    EXPECT_EQ(text->text(), Q(a / "sub"));
    drives->setCurrentIndex(1);
    m->Timer1_timeout();
    EXPECT_EQ(text->text(), Q(b.path()));

    // A drive that cannot be read stops every tick at its first step.
    Add({S("/d/1")});
    drives->setCurrentIndex(2);
    m->Timer1_timeout();
    EXPECT_FALSE(C<QPushButton>("Command3")->isEnabled());
    EXPECT_EQ(text->text(), Q(b.path()));
    drives->setCurrentIndex(0);
    m->Timer1_timeout();
    EXPECT_TRUE(C<QPushButton>("Command3")->isEnabled());
}

TEST_F(BatchWindowTest, AFolderAboveTheDrivesRootStaysAndTheDriveListFollowsIt) {
    TempDir a;
    fs::create_directory(a / "home");
    auto* drives = C<zr::platform::DriveListBox>("Drive1");
    auto* text = C<QLineEdit>("Text1");
    drives->SetDrives({QStringLiteral("/"), Q(a / "home")});
    drives->setCurrentIndex(1);
    m->Timer1_timeout();
    ASSERT_EQ(text->text(), Q(a / "home"));
    QTest::keyClick(C<zr::platform::DirListBox>("Dir1"), Qt::Key_Backspace); // up, off the drive
    m->Timer1_timeout();
    EXPECT_EQ(text->text(), Q(a.path()));
    EXPECT_EQ(drives->Drive(), QStringLiteral("/"));
    drives->setCurrentIndex(1); // the earlier drive, chosen again
    m->Timer1_timeout();
    EXPECT_EQ(text->text(), Q(a / "home"));
    // Text1 only shows the folder: typing there changes nothing the tick would overwrite.
    QTest::keyClicks(text, QStringLiteral("lder"));
    EXPECT_EQ(text->text(), Q(a / "home"));
}

TEST_F(BatchWindowTest, ClosingTheWindowEndsTheProgramWithoutAQuestion) {
    Add({S("/d/1")});
    p.Clear();
    m->close();
    EXPECT_TRUE(QTest::qWaitFor([this] { return ended == 1; }));
    EXPECT_TRUE(p.Messages().isEmpty());
}

TEST_F(BatchWindowTest, DroppedFilesAreAddedBesideTheirSourcesFoldersPassedOver) {
    TempDir dir;
    WriteBytes(dir / "a.txt", {1});
    WriteBytes(dir / "b.ZR", {2});
    fs::create_directory(dir / "sub");
    Add({Q(dir / "a.txt")});
    p.Clear();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(Q(dir / "b.ZR")), QUrl::fromLocalFile(Q(dir / "sub")),
                  QUrl::fromLocalFile(Q(dir / "a.txt"))});
    QDragEnterEvent enter(QPoint(30, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(List1(), &enter); // the list passes it on to the window
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(30, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(List1(), &drop);
    EXPECT_EQ(Items(List1()), (QStringList{Q(dir / "a.txt"), Q(dir / "b.ZR")}));
    EXPECT_EQ(Items(List2()), (QStringList{Q(dir / "a.txt.ZR"), Q(dir / "b")}));
    ASSERT_EQ(p.Messages().size(), 1);
    EXPECT_EQ(p.Messages()[0].text, DuplicateText(Q(dir / "a.txt")));
}
