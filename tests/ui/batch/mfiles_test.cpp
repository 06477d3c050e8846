// The multi-file window: adding, the duplicate check, removal, the tick, font and underline,
// and closing.

#include "batch_fixture.h"
#include "dir_list_box.h"
#include "drive_list_box.h"

#include <QApplication>
#include <QTest>
#include <filesystem>

using namespace zr::test;
using zr::platform::MessageAnswer;
using zr::platform::MessageButtons;
using zr::platform::MessageIcon;
using zr::platform::RecordedCall;
namespace fs = std::filesystem;

namespace {
QString S(const char* s) {
    return QString::fromUtf8(s);
}
} // namespace

TEST_F(BatchWindowTest, OneFileIntoTheChosenFolder) {
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
    EXPECT_EQ(List1()->count(), 0); // nothing is added before the frame's OK

    C<QLineEdit>("Text1")->setText(S("/out"));
    m->Command4_clicked();
    EXPECT_EQ(Items(List1()), QStringList{S("/data/a.txt")});
    EXPECT_EQ(Items(List2()), QStringList{S("/out/a.txt.ZR")});
    EXPECT_FALSE(C<QGroupBox>("Frame1")->isVisible());
}

TEST_F(BatchWindowTest, DeclinedQuestionPutsTargetsBesideTheSourcesAtOnce) {
    Add({S("/data/a.txt")});
    EXPECT_EQ(Items(List2()), QStringList{S("/data/a.txt.ZR")});
    EXPECT_FALSE(C<QGroupBox>("Frame1")->isVisible());

    // Several files, names with blanks, a ".zr" source and a root folder as target.
    Add({S("/my data/b c.txt"), S("/my data/d.zr")});
    Add({S("/data/e.txt")}, S("/"));
    EXPECT_EQ(Items(List1()), (QStringList{S("/data/a.txt"), S("/my data/b c.txt"),
                                           S("/my data/d.zr"), S("/data/e.txt")}));
    EXPECT_EQ(Items(List2()), (QStringList{S("/data/a.txt.ZR"), S("/my data/b c.txt.ZR"),
                                           S("/my data/d"), S("//e.txt.ZR")}));
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
    EXPECT_EQ(msgs[1].buttons, MessageButtons::Ok);
    EXPECT_EQ(msgs[1].icon, MessageIcon::None);
}

TEST_F(BatchWindowTest, CancelledOpenDialogChangesNothing) {
    Add({S("/data/a.txt")}, S("/out"));
    p.AnswerOpen({S("/data/b.txt")});
    p.AnswerMessage(MessageAnswer::Ok);
    m->Command1_clicked(); // frame shown again
    p.CancelOpen();
    m->Command1_clicked();
    EXPECT_TRUE(C<QGroupBox>("Frame1")->isVisible());
    EXPECT_EQ(List1()->count(), 1);
    EXPECT_EQ(p.Messages().size(), 2); // no question after the cancel
}

TEST_F(BatchWindowTest, RemovalAndButtonsFollowTheListWithinATick) {
    auto* remove = C<QPushButton>("Command2");
    auto* start = C<QPushButton>("Command3");
    EXPECT_FALSE(remove->isEnabled());
    EXPECT_FALSE(start->isEnabled());
    Add({S("/d/1"), S("/d/2"), S("/d/3"), S("/d/4")});
    m->Timer1_timeout();
    EXPECT_TRUE(start->isEnabled());
    EXPECT_FALSE(remove->isEnabled());

    List2()->setCurrentRow(1); // a selection in List2 alone does not count
    m->Timer1_timeout();
    EXPECT_FALSE(remove->isEnabled());
    m->Command2_clicked();
    EXPECT_EQ(List1()->count(), 4);

    List1()->setCurrentRow(2);
    m->Timer1_timeout();
    ASSERT_TRUE(remove->isEnabled());
    remove->click();
    EXPECT_EQ(Items(List1()), (QStringList{S("/d/1"), S("/d/2"), S("/d/4")}));
    EXPECT_EQ(Items(List2()), (QStringList{S("/d/1.ZR"), S("/d/2.ZR"), S("/d/4.ZR")}));

    List1()->clearSelection();
    m->Timer1_timeout();
    EXPECT_FALSE(remove->isEnabled());
    for (int i = 0; i < 3; ++i) {
        List1()->setCurrentRow(0);
        m->Command2_clicked();
    }
    EXPECT_EQ(List2()->count(), 0);
    EXPECT_TRUE(start->isEnabled()); // until the next tick
    m->Timer1_timeout();
    EXPECT_FALSE(start->isEnabled());
}

TEST_F(BatchWindowTest, LayoutFollowsTheOuterSizeOnTheTick) {
    m->resize(640, 480);
    m->Timer1_timeout();
    const QRect outer = m->frameGeometry();
    const double w = outer.width() * 15.0, h = outer.height() * 15.0;
    const auto twips = [](int px) { return px * 15.0; };
    EXPECT_NEAR(twips(List1()->x()), 10, 15);
    EXPECT_NEAR(twips(List1()->width()), w / 2 - 100, 15);
    EXPECT_NEAR(twips(List2()->width()), w / 2 - 100, 15);
    EXPECT_NEAR(twips(List1()->height()), h - 2080, 15);
    EXPECT_EQ(List1()->y(), 112); // the design top stays
    EXPECT_NEAR(twips(List2()->x() + List2()->width()), w - 150, 22);
    EXPECT_EQ(C<QLabel>("Label2")->x(), List2()->x());
    EXPECT_EQ(C<QProgressBar>("ProgressBar1")->x(), List2()->x());
    EXPECT_EQ(C<QProgressBar>("ProgressBar1")->width(), List2()->width());
    const QLabel* l3 = C<QLabel>("Label3");
    EXPECT_NEAR(l3->x() + l3->width() / 2.0, List2()->x() + List2()->width() / 2.0, 1.5);
}

TEST_F(BatchWindowTest, Check1UnderlinesBothListsOnTheTick) {
    C<QCheckBox>("Check1")->setChecked(true);
    EXPECT_FALSE(List1()->font().underline());
    m->Timer1_timeout();
    EXPECT_TRUE(List1()->font().underline());
    EXPECT_TRUE(List2()->font().underline());
    // The grey state changes nothing.
    C<QCheckBox>("Check1")->setTristate(true);
    C<QCheckBox>("Check1")->setCheckState(Qt::PartiallyChecked);
    m->Timer1_timeout();
    EXPECT_TRUE(List2()->font().underline());
    C<QCheckBox>("Check1")->setCheckState(Qt::Unchecked);
    m->Timer1_timeout();
    EXPECT_FALSE(List1()->font().underline());
    EXPECT_FALSE(List2()->font().underline());
}

TEST_F(BatchWindowTest, FontDialogSetsBothListsButNotTheUnderline) {
    C<QCheckBox>("Check1")->setChecked(true);
    m->Timer1_timeout();
    p.AnswerFont(zr::platform::FontChoice{S("WenQuanYi Micro Hei"), 14, true, true});
    m->Command6_clicked();
    for (QListWidget* l : {List1(), List2()}) {
        EXPECT_EQ(l->font().family(), S("WenQuanYi Micro Hei"));
        EXPECT_EQ(l->font().pointSizeF(), 14);
        EXPECT_TRUE(l->font().bold());
        EXPECT_TRUE(l->font().italic());
        EXPECT_TRUE(l->font().underline());
    }
    p.AnswerFont(std::nullopt);
    m->Command6_clicked();
    EXPECT_EQ(List2()->font().pointSizeF(), 14);
}

TEST_F(BatchWindowTest, ClosingTheWindowEndsTheProgramWithoutAQuestion) {
    Add({S("/d/1")});
    p.Clear();
    m->close();
    QTRY_COMPARE(ended, 1);
    EXPECT_TRUE(p.Messages().isEmpty());
}

TEST_F(BatchWindowTest, FocusOrderAndButtonRoles) {
    const char* order[] = {"List1",    "Command1", "List2", "Command2", "Check1",
                           "Command3", "Drive1",   "Text1", "Dir1",     "Command4",
                           "Command5", "Command6", "Check2"};
    C<QGroupBox>("Frame1")->show();
    QStringList wanted, seen;
    for (const char* n : order)
        wanted << S(n);
    QWidget* first = C<QWidget>(order[0]);
    QWidget* w = first;
    do {
        if (wanted.contains(w->objectName()) && !seen.contains(w->objectName()))
            seen << w->objectName();
        w = w->nextInFocusChain();
    } while (w != first);
    EXPECT_EQ(seen, wanted);
    EXPECT_EQ(m->DefaultButton(), C<QPushButton>("Command4"));
    EXPECT_EQ(m->CancelButton(), C<QPushButton>("Command5"));
}

// Renders the windows for a look by eye when ZR_RENDER_DIR names a folder.
TEST_F(BatchWindowTest, RenderForInspection) {
    const QString out = qEnvironmentVariable("ZR_RENDER_DIR");
    if (out.isEmpty())
        GTEST_SKIP() << "ZR_RENDER_DIR not set";
    Add({S("/data/a.txt"), S("/data/报告 2026.doc")});
    m->Timer1_timeout();
    m->grab().save(out + S("/mfiles.png"));
    C<QGroupBox>("Frame1")->show();
    C<QProgressBar>("ProgressBar1")->show();
    C<QProgressBar>("ProgressBar1")->setValue(37);
    C<QLabel>("Label3")->setText(S("37%"));
    C<QLabel>("Label3")->adjustSize();
    C<QLabel>("Label3")->show();
    m->Timer1_timeout();
    m->grab().save(out + S("/mfiles_frame.png"));
    for (const char* name : {"Form5", "form6"}) {
        auto& w = Windows().Get(S(name));
        Control<QLineEdit>(w, "Text1")->setText(S("abc"));
        w.show();
        w.grab().save(out + S("/") + S(name) + S(".png"));
    }
}

TEST_F(BatchWindowTest, TickShowsTheFolderListsPathAndFollowsADriveChange) {
    TempDir a, b;
    fs::create_directory(a / "sub");
    auto* drives = C<zr::platform::DriveListBox>("Drive1");
    auto* dirs = C<zr::platform::DirListBox>("Dir1");
    auto* text = C<QLineEdit>("Text1");
    EXPECT_TRUE(text->text().isEmpty()); // the load leaves it to the first tick
    drives->SetDrives({Q(a.path()), Q(b.path())});
    m->Timer1_timeout();
    EXPECT_EQ(text->text(), Q(a.path()));
    // A folder opened in the list stays chosen from one tick to the next.
    ASSERT_TRUE(dirs->SetPath(Q(a / "sub")));
    m->Timer1_timeout();
    m->Timer1_timeout();
    EXPECT_EQ(text->text(), Q(a / "sub"));
    drives->setCurrentIndex(1);
    m->Timer1_timeout();
    EXPECT_EQ(text->text(), Q(b.path()));
}

TEST_F(BatchWindowTest, UnreadableDriveStopsEveryTickAtItsFirstStep) {
    TempDir a;
    auto* drives = C<zr::platform::DriveListBox>("Drive1");
    drives->SetDrives({Q(a.path()), Q(a / "gone")});
    m->Timer1_timeout();
    Add({S("/d/1")});
    drives->setCurrentIndex(1);
    m->Timer1_timeout();
    EXPECT_FALSE(C<QPushButton>("Command3")->isEnabled());
    EXPECT_EQ(C<QLineEdit>("Text1")->text(), Q(a.path()));
    drives->setCurrentIndex(0);
    m->Timer1_timeout();
    EXPECT_TRUE(C<QPushButton>("Command3")->isEnabled());
}
