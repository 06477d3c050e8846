#include "background_job.h"
#include "dialogs.h"
#include "scripted_platform.h"
#include "window_registry.h"
#include "zr_window.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <optional>

using namespace zr::platform;

TEST(QtFilters, MatchPatternsInAnyLetterCase) {
    EXPECT_EQ(
        ToQtFilters(QStringLiteral("所有文件(*.*)|*.*|*.ZR文件|*.ZR")),
        QStringList({QStringLiteral("所有文件(*.*) (*)"), QStringLiteral("*.ZR文件 (*.ZR *.zr)")}));
}

TEST(CommonDialogTest, RemembersTheLastConfirmedNameAcrossCancels) {
    ScriptedPlatform p;
    CommonDialog d;
    p.AnswerOpen({QStringLiteral("/data/plan.doc")});
    EXPECT_TRUE(d.ShowOpen(nullptr));
    EXPECT_EQ(d.FileName, QStringLiteral("/data/plan.doc"));
    EXPECT_EQ(d.FileTitle, QStringLiteral("plan.doc"));
    p.CancelOpen();
    EXPECT_FALSE(d.ShowOpen(nullptr));
    EXPECT_EQ(d.FileName, QStringLiteral("/data/plan.doc"));
    // The second opening started from the remembered name.
    ASSERT_EQ(p.calls.size(), 2);
    EXPECT_EQ(p.calls[1].request.initialName, QStringLiteral("/data/plan.doc"));
}

namespace {
struct Probe : zr::app::ZrWindow {
    static constexpr const char* kName = "Probe";
    static int made;
    Probe() { ++made; }
};
int Probe::made = 0;
} // namespace

TEST(Registry, OneInstanceUntilClosedThenAFreshOne) {
    auto& reg = zr::app::Windows();
    Probe& a = reg.Get<Probe>();
    EXPECT_EQ(&reg.Get<Probe>(), &a);
    EXPECT_EQ(Probe::made, 1);
    a.close(); // the title-bar close
    EXPECT_FALSE(reg.IsLoaded(QStringLiteral("Probe")));
    reg.Get(QStringLiteral("Probe")); // by name, as another window reaches it
    EXPECT_EQ(Probe::made, 2);
    EXPECT_EQ(reg.Find<Probe>()->objectName(), QStringLiteral("Probe"));
    reg.Unload(QStringLiteral("Probe"));
    EXPECT_EQ(reg.Find<Probe>(), nullptr);
    reg.UnloadAll();
}

TEST(Worker, ReportsProgressOnTheUiThreadAndFinishes) {
    BackgroundJob job;
    QList<qint64> seen;
    QObject::connect(&job, &BackgroundJob::progress, &job, [&](qint64 a, qint64) {
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
        seen << a;
    });
    QSignalSpy done(&job, &BackgroundJob::finished);
    job.Start([](BackgroundJob& j) {
        for (int i = 1; i <= 3; ++i)
            j.Report(i, 3);
    });
    ASSERT_TRUE(done.wait(5000));
    EXPECT_EQ(seen, QList<qint64>({1, 2, 3}));
    EXPECT_FALSE(job.IsRunning());
}

TEST(Worker, ShowsTheLatestOfEachKindInOrderAndEverythingBeforeFinishing) {
    BackgroundJob job;
    QList<qint64> bar;
    QStringList seen;
    QObject::connect(&job, &BackgroundJob::progressShown, &job, [&](qint64 a, qint64) {
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
        bar << a;
    });
    QObject::connect(&job, &BackgroundJob::finished, &job, [&] { seen << "finished"; });
    QSignalSpy done(&job, &BackgroundJob::finished);
    job.Start([&](BackgroundJob& j) {
        for (int i = 1; i <= 1000; ++i) {
            j.Report(i, 1000);
            j.Show(0, [&, i] { seen << QString::number(i); });
        }
        j.Post([&] { seen << "posted"; }); // behind everything before it, never replaced
        j.Show(0, [&] { seen << "last"; });
    });
    ASSERT_TRUE(done.wait(5000));
    // The first value goes out at once; the rest as fast as a screen shows them, in order.
    EXPECT_LT(bar.size(), 1000);
    EXPECT_EQ(bar.first(), 1);
    EXPECT_EQ(bar.last(), 1000);
    EXPECT_TRUE(std::is_sorted(bar.begin(), bar.end()));
    ASSERT_GE(seen.size(), 4);
    EXPECT_EQ(seen.mid(seen.size() - 4), QStringList({"1000", "posted", "last", "finished"}));
}

TEST(Worker, AsksTheUiThreadAfterItsReportsAndGivesUpWhenCancelled) {
    BackgroundJob job;
    QList<qint64> seen;
    QObject::connect(&job, &BackgroundJob::progress, &job, [&](qint64 a, qint64) { seen << a; });
    std::optional<bool> answer;
    QSignalSpy done(&job, &BackgroundJob::finished);
    job.Start([&](BackgroundJob& j) {
        j.Report(1, 1);
        answer = j.Ask([&] { return seen.size() == 1; });
    });
    ASSERT_TRUE(done.wait(5000));
    EXPECT_EQ(answer, std::optional<bool>(true));

    // The UI thread waits for the worker instead of answering: no answer, and no deadlock.
    std::atomic<bool> asking{false};
    std::optional<bool> unanswered = true;
    job.Start([&](BackgroundJob& j) {
        asking = true;
        unanswered = j.Ask([] { return true; });
    });
    while (!asking)
        QThread::msleep(1);
    job.RequestCancel();
    job.Wait();
    EXPECT_FALSE(unanswered.has_value());
}

TEST(ZrWindowKeys, EnterClicksTheFocusedButtonElseTheDefaultAndEscTheCancelButton) {
    zr::app::ZrWindow w;
    auto* field = new QLineEdit(&w);
    auto* ok = new QPushButton(QStringLiteral("ok"), &w);
    auto* help = new QPushButton(QStringLiteral("help"), &w);
    auto* cancel = new QPushButton(QStringLiteral("cancel"), &w);
    auto* layout = new QVBoxLayout(&w);
    for (QWidget* c : {static_cast<QWidget*>(field), static_cast<QWidget*>(ok),
                       static_cast<QWidget*>(help), static_cast<QWidget*>(cancel)})
        layout->addWidget(c);
    w.SetDefaultButton(ok);
    w.SetCancelButton(cancel);
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QSignalSpy okSpy(ok, &QPushButton::clicked), helpSpy(help, &QPushButton::clicked),
        cancelSpy(cancel, &QPushButton::clicked);
    // Keys enter through the window, as the window system hands them over, and go to the
    // focused control first.
    const auto press = [&](Qt::Key key, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(w.windowHandle(), key, m);
    };

    field->setFocus();
    press(Qt::Key_Return);
    press(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(okSpy.count(), 2);
    EXPECT_TRUE(ok->isDefault());

    help->setFocus(); // the focused button answers Enter and carries the default frame
    EXPECT_TRUE(help->isDefault());
    EXPECT_FALSE(ok->isDefault());
    press(Qt::Key_Return);
    press(Qt::Key_Enter, Qt::KeypadModifier);
    press(Qt::Key_Escape);
    EXPECT_EQ(helpSpy.count(), 2);
    EXPECT_EQ(okSpy.count(), 2);
    EXPECT_EQ(cancelSpy.count(), 1);

    field->setFocus(); // the frame goes back to the default button
    EXPECT_TRUE(ok->isDefault());
    EXPECT_FALSE(help->isDefault());
    ok->hide(); // a hidden default button is not clicked
    press(Qt::Key_Return);
    EXPECT_EQ(okSpy.count(), 2);
}
