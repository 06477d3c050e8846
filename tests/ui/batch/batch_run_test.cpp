// The key dialogs and the batch run: the flow through Form5 and form6, the refused key, the
// progress sequences, deletion, failures, and what a run keeps the user from doing.

#include "batch_fixture.h"
#include "key_seed.h"
#include "keystream_expect.h"
#include "transform_file.h"

#include <QThread>
#include <atomic>
#include <filesystem>
#include <future>

using namespace zr::test;
using zr::platform::MessageIcon;
namespace fs = std::filesystem;

class BatchRunTest : public BatchWindowTest {
protected:
    // Files of the given sizes, f0.bin, f1.bin, ..., listed with their targets beside them.
    void MakeFiles(std::initializer_list<std::size_t> sizes) {
        QStringList paths;
        for (std::size_t n : sizes) {
            const fs::path f = dir / ("f" + std::to_string(sources.size()) + ".bin");
            WriteBytes(f, PatternBytes(n, static_cast<std::uint32_t>(sources.size() + 1)));
            sources.push_back(f);
            paths << Q(f);
        }
        Add(paths);
    }
    fs::path Target(int i) { return dir / ("f" + std::to_string(i) + ".bin.ZR"); }
    // What a job must write: the source through the keystream of the key.
    std::vector<std::uint8_t> Expected(int i, std::u16string_view key) {
        const fs::path out = dir.path().parent_path() / (dir.path().filename().string() + ".x");
        EXPECT_TRUE(zr::TransformFile(sources[i], out, zr::DeriveKeySeed(key).seed).ok());
        auto bytes = ReadBytes(out);
        fs::remove(out);
        return bytes;
    }
    // What the window shows, as fast as a screen shows it: each value the bar takes, with the
    // label saying the same whenever the window has taken what the worker showed.
    void WatchLabel() {
        auto* bar = C<QProgressBar>("ProgressBar1");
        QObject::connect(bar, &QProgressBar::valueChanged, m,
                         [this](int v) { labels << QString::number(v) + QLatin1Char('%'); });
        QObject::connect(Job(), &zr::platform::BackgroundJob::shown, m, [this, bar] {
            EXPECT_EQ(C<QLabel>("Label3")->text(),
                      QString::number(bar->value()) + QLatin1Char('%'));
        });
    }
    std::vector<std::string> Untouched() {
        std::vector<std::string> names;
        for (std::size_t i = 0; i < sources.size(); ++i)
            names.push_back("f" + std::to_string(i) + ".bin");
        return names;
    }

    TempDir dir;
    std::vector<fs::path> sources;
    QStringList labels;
};

TEST_F(BatchRunTest, OneFileShowsItsOwnPercentageThenCompletes) {
    MakeFiles({100000});
    const auto expected = Expected(0, u"Key1");
    p.Clear();
    Start(S("Key1"), S("Key1"), [this] { WatchLabel(); });
    ASSERT_TRUE(RunEnds());
    // In order, of 32, 65, 98 and 100 after the blocks, the last one always.
    ASSERT_FALSE(labels.isEmpty());
    EXPECT_EQ(labels.last(), S("100%"));
    const QStringList blocks{S("32%"), S("65%"), S("98%"), S("100%")};
    for (qsizetype i = 0; i < labels.size(); ++i) {
        EXPECT_TRUE(blocks.contains(labels[i])) << labels[i].toStdString();
        if (i > 0) {
            EXPECT_LT(blocks.indexOf(labels[i - 1]), blocks.indexOf(labels[i]));
        }
    }
    EXPECT_EQ(ReadBytes(Target(0)), expected);
    EXPECT_TRUE(fs::exists(sources[0]));
    EXPECT_FALSE(C<QProgressBar>("ProgressBar1")->isVisible());
    EXPECT_FALSE(C<QLabel>("Label3")->isVisible());
    const auto msgs = p.Messages();
    ASSERT_EQ(msgs.size(), 1);
    EXPECT_EQ(msgs[0].text, S("加密/解密完毕!"));
    EXPECT_EQ(msgs[0].title, S("注意"));
    EXPECT_EQ(msgs[0].icon, MessageIcon::None);
    // One beep, just before the message; the pointer normal again.
    EXPECT_EQ(p.BeepCount(), 1);
    qsizetype at = 0;
    while (p.calls[at].kind != zr::platform::RecordedCall::Message)
        ++at;
    EXPECT_EQ(p.calls[at - 1].kind, zr::platform::RecordedCall::Beep);
    EXPECT_EQ(p.calls[at - 2].kind, zr::platform::RecordedCall::Busy);
    EXPECT_FALSE(p.calls[at - 2].busy);
    EXPECT_EQ(List1()->count() + List2()->count(), 0);
    EXPECT_TRUE(m->isVisible());
    EXPECT_EQ(zr::app::Record().KeyText, S("Key1"));
}

TEST_F(BatchRunTest, SeveralFilesShowTheShareOfTheListBeforeTheJob) {
    MakeFiles({40000, 40000, 40000, 40000});
    Start(S("k"), S("k"), [this] { WatchLabel(); });
    ASSERT_TRUE(RunEnds());
    // The last value of every job is shown: 0 during the first, then 25, 50 and 75.
    EXPECT_EQ(C<QLabel>("Label3")->text(), S("75%"));
    EXPECT_EQ(labels, (QStringList{S("25%"), S("50%"), S("75%")}));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(ReadBytes(Target(i)), Expected(i, u"k")) << i;
}

TEST_F(BatchRunTest, EmptyKeyConfirmedEmptyRunsWithTheEmptyKeySeed) {
    MakeFiles({5000, 0});
    Start(QString(), QString());
    ASSERT_TRUE(RunEnds());
    EXPECT_EQ(zr::DeriveKeySeed(std::u16string_view()).seed, -50);
    EXPECT_EQ(ReadBytes(Target(0)), Expected(0, u""));
    EXPECT_EQ(fs::file_size(Target(1)), 0u);
}

TEST_F(BatchRunTest, CaseMismatchTouchesNothingAndKeepsTheConfirmation) {
    MakeFiles({1000});
    p.Clear();
    Start(S("Secret"), S("secret"));
    const auto msgs = p.Messages();
    ASSERT_EQ(msgs.size(), 1);
    EXPECT_EQ(msgs[0].text, S("两次输入的密码不一样"));
    EXPECT_EQ(msgs[0].title, S("zr"));
    EXPECT_EQ(msgs[0].icon, MessageIcon::None);
    EXPECT_EQ(dir.Names(), Untouched());
    EXPECT_EQ(List1()->count(), 1);
    EXPECT_TRUE(m->isVisible());
    ASSERT_TRUE(Windows().IsLoaded(S("form6")));
    EXPECT_FALSE(Windows().Get(S("form6")).isVisible());

    // Starting again: Form5 opens empty, form6 still holds the previous confirmation.
    m->Command3_clicked();
    EXPECT_FALSE(m->isVisible());
    auto& f5 = Windows().Get(S("Form5"));
    EXPECT_TRUE(Control<QLineEdit>(f5, "Text1")->text().isEmpty());
    Control<QLineEdit>(f5, "Text1")->setText(S("secret"));
    Control<QPushButton>(f5, "Command1")->click();
    auto& f6 = Windows().Get(S("form6"));
    EXPECT_TRUE(f6.isVisible());
    EXPECT_EQ(Control<QLineEdit>(f6, "Text1")->text(), S("secret"));
    Control<QPushButton>(f6, "Command1")->click();
    ASSERT_TRUE(RunEnds());
    EXPECT_TRUE(fs::exists(Target(0)));
}

TEST_F(BatchRunTest, CancelOrFrameCloseOfEitherDialogReturnsToTheList) {
    MakeFiles({1000});
    const auto toForm6 = [this] {
        m->Command3_clicked();
        auto& f5 = Windows().Get(S("Form5"));
        Control<QLineEdit>(f5, "Text1")->setText(S("abc"));
        Control<QPushButton>(f5, "Command1")->click();
        EXPECT_FALSE(Windows().IsLoaded(S("Form5")));
        return &Windows().Get(S("form6"));
    };
    m->Command3_clicked();
    Control<QPushButton>(Windows().Get(S("Form5")), "Command2")->click();
    EXPECT_TRUE(m->isVisible());
    m->Command3_clicked();
    Windows().Get(S("Form5")).close(); // the frame's close button
    EXPECT_TRUE(m->isVisible());
    EXPECT_FALSE(Windows().IsLoaded(S("Form5")));

    Control<QPushButton>(*toForm6(), "Command2")->click();
    EXPECT_TRUE(m->isVisible());
    EXPECT_FALSE(Windows().IsLoaded(S("form6")));
    toForm6()->close();
    EXPECT_TRUE(m->isVisible());
    EXPECT_FALSE(Windows().IsLoaded(S("form6")));
    EXPECT_EQ(List1()->count(), 1);
    EXPECT_EQ(dir.Names(), Untouched());
}

TEST_F(BatchRunTest, KeyOutsideTheLimitsIsRefusedInTheKeyDialog) {
    MakeFiles({1000});
    m->Command3_clicked();
    auto& f5 = Windows().Get(S("Form5"));
    // A character outside ASCII, and a key whose weighted sum is too large.
    for (const QString& key : {S("密钥"), QString(400, QLatin1Char('~'))}) {
        p.Clear();
        Control<QLineEdit>(f5, "Text1")->setText(key);
        Control<QPushButton>(f5, "Command1")->click();
        ASSERT_EQ(p.Messages().size(), 1);
        EXPECT_EQ(p.calls.front().kind, zr::platform::RecordedCall::Beep);
        EXPECT_EQ(p.Messages()[0].text, S("密钥只能由英文字母、数字和半角符号组成，且不能太长！"));
        EXPECT_EQ(p.Messages()[0].title, S("注意："));
        EXPECT_EQ(p.Messages()[0].icon, MessageIcon::Question);
        EXPECT_TRUE(Windows().IsLoaded(S("Form5")));
        EXPECT_EQ(f5.focusWidget(), Control<QLineEdit>(f5, "Text1"));
        EXPECT_FALSE(Windows().IsLoaded(S("form6")));
    }
    EXPECT_EQ(dir.Names(), Untouched());
}

TEST_F(BatchRunTest, Check2AsReadWhenEachJobEndsDecidesOnItsSource) {
    MakeFiles({70000, 70000, 70000});
    C<QCheckBox>("Check2")->setChecked(true);
    Start(S("k"), S("k"), [&] {
        // On the worker, after every block: the job at work (each file is three blocks).
        auto* job = Job();
        QObject::connect(
            job, &zr::platform::BackgroundJob::progress, job,
            [&, blocks = 0](qint64, qint64) mutable {
                const int at = blocks++ / 3;
                // Unticked during the last job, by the user on the UI thread: that job keeps
                // its source. The worker waits on a promise rather than a blocking connection,
                // whose hand-over inside Qt the thread checker cannot see.
                std::promise<void> clicked;
                QMetaObject::invokeMethod(
                    m,
                    [&, at] {
                        C<QCheckBox>("Check2")->setChecked(at < 2);
                        clicked.set_value();
                    },
                    Qt::QueuedConnection);
                clicked.get_future().wait();
            },
            Qt::DirectConnection);
    });
    ASSERT_TRUE(RunEnds());
    EXPECT_FALSE(fs::exists(sources[0]));
    EXPECT_FALSE(fs::exists(sources[1]));
    EXPECT_TRUE(fs::exists(sources[2]));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(fs::file_size(Target(i)), 70000u);
}

TEST_F(BatchRunTest, FailedJobsAreReportedAndTheirSourcesKept) {
    MakeFiles({3000, 3000, 3000});
    fs::remove(sources[1]);
    const fs::path stay = dir / "stay.bin"; // its target folder does not exist
    WriteBytes(stay, PatternBytes(100));
    Add({Q(stay)}, Q(dir / "missing"));
    C<QCheckBox>("Check2")->setChecked(true);
    p.Clear();
    Start(S("k"), S("k"));
    ASSERT_TRUE(RunEnds());
    EXPECT_TRUE(fs::exists(Target(0)));
    EXPECT_FALSE(fs::exists(Target(1)));
    EXPECT_TRUE(fs::exists(Target(2)));
    EXPECT_TRUE(fs::exists(stay));
    const auto msgs = p.Messages();
    ASSERT_EQ(msgs.size(), 2);
    EXPECT_EQ(msgs[0].text, S("加密/解密完毕!"));
    EXPECT_EQ(msgs[1].title, S("注意"));
    EXPECT_EQ(msgs[1].icon, MessageIcon::Warning);
    const QString text = msgs[1].text;
    EXPECT_TRUE(text.startsWith(S("有 2 个文件未能加密/解密：\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(S("无法读取源文件：") + Q(sources[1]))) << text.toStdString();
    EXPECT_TRUE(text.contains(S("无法写入目标文件：") + Q(dir / "missing"))) << text.toStdString();
    EXPECT_EQ(List1()->count() + List2()->count(), 0);
}

TEST_F(BatchRunTest, FailureMessageListsTheFirstTwentyAndTheCount) {
    QStringList missing;
    for (int i = 0; i < 23; ++i)
        missing << Q(dir / ("gone" + std::to_string(i)));
    Add(missing);
    p.Clear();
    Start(S("k"), S("k"));
    ASSERT_TRUE(RunEnds());
    ASSERT_EQ(p.Messages().size(), 2);
    const QString text = p.Messages()[1].text;
    EXPECT_TRUE(text.startsWith(S("有 23 个文件未能加密/解密：")));
    EXPECT_TRUE(text.endsWith(S("……另有 3 个未列出"))) << text.toStdString();
    EXPECT_EQ(text.count(S("无法读取源文件：")), 20);
    EXPECT_TRUE(text.contains(missing[19] + QLatin1Char('\n')) ||
                text.contains(missing[19] + S("（")));
    EXPECT_FALSE(text.contains(missing[22]));
}

TEST_F(BatchRunTest, DuringARunTheListIsLockedCheck2WorksAndJobsRunOffTheUiThread) {
    MakeFiles({70000, 70000});
    List1()->setCurrentRow(0);
    C<QGroupBox>("Frame1")->show(); // left open: its buttons must not add files during the run
    int blocks = 0, unlockedBlocks = 0;
    std::atomic<bool> onUiThread{false};
    QThread* ui = QThread::currentThread();
    Start(S("k"), S("k"), [&] {
        QObject::connect(
            Job(), &zr::platform::BackgroundJob::progress, Job(),
            [&] { onUiThread = onUiThread || QThread::currentThread() == ui; },
            Qt::DirectConnection);
        OnBlock([&] {
            m->Timer1_timeout(); // the tick goes on during the run
            ++blocks;
            // The lists still scroll and select.
            bool locked = List1()->isEnabled() && List2()->isEnabled();
            for (const char* b :
                 {"Command1", "Command2", "Command3", "Command4", "Command5", "Command6"})
                locked = locked && !C<QPushButton>(b)->isEnabled();
            unlockedBlocks += !(locked && C<QCheckBox>("Check2")->isEnabled());
        });
    });
    ASSERT_TRUE(RunEnds());
    EXPECT_EQ(blocks, 6);
    EXPECT_EQ(unlockedBlocks, 0);
    EXPECT_FALSE(onUiThread);
    EXPECT_TRUE(List1()->isEnabled());
    EXPECT_TRUE(C<QPushButton>("Command1")->isEnabled());
    EXPECT_TRUE(C<QPushButton>("Command6")->isEnabled());
    EXPECT_FALSE(C<QPushButton>("Command3")->isEnabled()); // the list is empty now
}

TEST_F(BatchRunTest, ClosingTheWindowDuringARunStopsTheJobWithoutAPartialTarget) {
    MakeFiles({1000000, 1000});
    std::atomic<bool> atWork{false};
    Start(S("k"), S("k"), [&] {
        auto* job = Job();
        // Holds the worker after its first block until the cancellation arrives.
        QObject::connect(
            job, &zr::platform::BackgroundJob::progress, job,
            [&, job] {
                atWork = true;
                while (!job->CancelRequested())
                    QThread::msleep(1);
            },
            Qt::DirectConnection);
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return atWork.load(); }, 20000));
    p.Clear();
    m->close();
    EXPECT_TRUE(QTest::qWaitFor([this] { return ended == 1; }));
    EXPECT_EQ(dir.Names(), Untouched());
    EXPECT_TRUE(p.Messages().isEmpty());
}

TEST_F(BatchRunTest, AConflictingListIsRefusedWithNothingTouchedAndTheListKept) {
    for (const char* sub : {"a", "b", "out"})
        fs::create_directory(dir / sub);
    WriteBytes(dir / "a" / "report.txt", PatternBytes(100, 1));
    WriteBytes(dir / "b" / "report.txt", PatternBytes(100, 2));
    WriteBytes(dir / "doc.txt", PatternBytes(100, 3));
    WriteBytes(dir / "doc.txt.ZR", PatternBytes(100, 4));
    WriteBytes(dir / "free.txt", PatternBytes(100, 5));
    // One folder for two files of one name; an older result beside its source.
    Add({Q(dir / "a" / "report.txt"), Q(dir / "b" / "report.txt")}, Q(dir / "out"));
    Add({Q(dir / "free.txt"), Q(dir / "doc.txt"), Q(dir / "doc.txt.ZR")});
    const QStringList sources = Items(List1()), targets = Items(List2());
    C<QCheckBox>("Check2")->setChecked(true);
    p.Clear();
    Start(S("k"), S("k"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return !m->Running(); }, 20000));

    ASSERT_EQ(p.Messages().size(), 1);
    EXPECT_EQ(p.calls.front().kind, zr::platform::RecordedCall::Beep);
    const auto box = p.Messages()[0];
    EXPECT_EQ(box.title, S("警告"));
    EXPECT_EQ(box.icon, MessageIcon::Warning);
    const QStringList lines = box.text.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 5) << box.text.toStdString();
    EXPECT_EQ(lines[0], S("下列文件的目标有冲突，未做任何处理："));
    for (int row : {0, 1, 3, 4})
        EXPECT_TRUE(box.text.contains(sources[row] + S(" → ") + targets[row])) << row;
    EXPECT_FALSE(box.text.contains(sources[2]));

    EXPECT_EQ(Items(List1()), sources);
    EXPECT_EQ(Items(List2()), targets);
    EXPECT_TRUE(fs::is_empty(dir / "out"));
    EXPECT_EQ(dir.Names(),
              (std::vector<std::string>{"a", "b", "doc.txt", "doc.txt.ZR", "free.txt", "out"}));
    EXPECT_EQ(ReadBytes(dir / "doc.txt.ZR"), PatternBytes(100, 4));
    EXPECT_TRUE(C<QPushButton>("Command3")->isEnabled());

    // Unlike after a mismatch, the next start asks for the confirmation in an empty box.
    EXPECT_FALSE(Windows().IsLoaded(S("form6")));
    m->Command3_clicked();
    Control<QLineEdit>(Windows().Get(S("Form5")), "Text1")->setText(S("k"));
    Control<QPushButton>(Windows().Get(S("Form5")), "Command1")->click();
    EXPECT_TRUE(Control<QLineEdit>(Windows().Get(S("form6")), "Text1")->text().isEmpty());
}

TEST_F(BatchRunTest, EveryRunStartsFromZeroAndTheCheckBeforeADeletionShowsAsWork) {
    // What the bar shows as each step of the run reaches the window.
    QList<int> values, maxima;
    struct Watch : QObject {
        std::function<void()> seen;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::MetaCall)
                seen();
            return false;
        }
    } watch;
    auto* bar = C<QProgressBar>("ProgressBar1");
    watch.seen = [&] {
        values << bar->value();
        maxima << bar->maximum();
    };
    Job()->installEventFilter(&watch);

    MakeFiles({100000});
    Start(S("k"), S("k"));
    ASSERT_TRUE(RunEnds());
    EXPECT_EQ(bar->value(), 100);
    EXPECT_FALSE(maxima.contains(0)) << "nothing to check without a deletion";

    MakeFiles({100000});
    C<QCheckBox>("Check2")->setChecked(true);
    values.clear();
    Start(S("k"), S("k"));
    ASSERT_TRUE(RunEnds());
    ASSERT_FALSE(values.isEmpty());
    EXPECT_EQ(values.first(), 0);
    EXPECT_TRUE(maxima.contains(0));
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_FALSE(fs::exists(sources[1]));
}

TEST_F(BatchRunTest, EscStopsTheRunTheDoneLeaveTheListTheRestStay) {
    MakeFiles({1000, 1000000, 1000});
    std::atomic<int> blocks{0};
    Start(S("k"), S("k"), [&] {
        auto* job = Job();
        // Holds the worker in the second job's first block until the stop arrives.
        QObject::connect(
            job, &zr::platform::BackgroundJob::progress, job,
            [&, job] {
                if (++blocks == 2)
                    while (!job->CancelRequested())
                        QThread::msleep(1);
            },
            Qt::DirectConnection);
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return blocks.load() == 2; }, 20000));
    p.Clear();
    QTest::keyClick(m, Qt::Key_Escape);
    ASSERT_TRUE(RunEnds());
    EXPECT_EQ(Items(List1()), (QStringList{Q(sources[1]), Q(sources[2])}));
    EXPECT_EQ(Items(List2()), (QStringList{Q(Target(1)), Q(Target(2))}));
    EXPECT_TRUE(fs::exists(Target(0)));
    EXPECT_FALSE(fs::exists(Target(1))) << "no partial target";
    EXPECT_EQ(ReadBytes(sources[1]), PatternBytes(1000000, 2));
    ASSERT_EQ(p.Messages().size(), 1);
    EXPECT_EQ(p.Messages()[0].text, S("操作已取消"));
    EXPECT_EQ(p.Messages()[0].title, S("注意"));
    EXPECT_TRUE(C<QPushButton>("Command3")->isEnabled()) << "ready to run the rest";
}

TEST_F(BatchRunTest, AWrongLookingDecryptionIsListedAndKeepsItsSource) {
    std::string text;
    for (int i = 1; i <= 20; ++i)
        text += "Item " + std::to_string(i) + ": the budget for next year was discussed again.\n";
    const fs::path encrypted = dir / "minutes.txt.ZR";
    WriteBytes(encrypted, Transformed({text.begin(), text.end()}, "right"));
    MakeFiles({3000});
    Add({Q(encrypted)});
    C<QCheckBox>("Check2")->setChecked(true);
    p.Clear();
    Start(S("wrong"), S("wrong"));
    ASSERT_TRUE(RunEnds());
    EXPECT_TRUE(fs::exists(encrypted));
    EXPECT_FALSE(fs::exists(sources[0]));
    const auto msgs = p.Messages();
    ASSERT_EQ(msgs.size(), 2);
    EXPECT_EQ(msgs[1].text, S("有 1 个文件已加密/解密，但源文件没有删除：\n未删除源文件 ") +
                                Q(encrypted) + S("：解密结果看起来不像 .txt 文件，密钥可能不对"));
}
