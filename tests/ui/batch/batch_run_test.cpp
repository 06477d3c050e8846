// The key dialogs and the batch run: the flow through Form5 and form6, the refused key, the
// progress sequences, deletion, failures, and what a run keeps the user from doing.

#include "batch_fixture.h"
#include "key_seed.h"
#include "transform_file.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <atomic>
#include <filesystem>

using namespace zr::test;
using zr::platform::MessageIcon;
namespace fs = std::filesystem;

namespace {
QString S(const char* s) {
    return QString::fromUtf8(s);
}

// What the batch must write: the source through the keystream of seed.
std::vector<std::uint8_t> Expected(const fs::path& source, std::int32_t seed, TempDir& dir) {
    const fs::path out = dir / "expected.bin";
    EXPECT_TRUE(zr::TransformFile(source, out, seed).ok());
    auto bytes = ReadBytes(out);
    fs::remove(out);
    return bytes;
}

constexpr int kWait = 20000;
} // namespace

class BatchRunTest : public BatchWindowTest {
protected:
    // Files of the given sizes, named f0.bin, f1.bin, ..., listed with targets beside them.
    void MakeFiles(std::initializer_list<std::size_t> sizes) {
        int i = 0;
        QStringList paths;
        for (std::size_t n : sizes) {
            const fs::path f = dir / ("f" + std::to_string(i) + ".bin");
            WriteBytes(f, PatternBytes(n, static_cast<std::uint32_t>(i + 1)));
            sources.push_back(f);
            paths << Q(f);
            ++i;
        }
        Add(paths);
    }
    fs::path Target(int i) { return dir / ("f" + std::to_string(i) + ".bin.ZR"); }
    // Label3 as the window shows it after every block.
    void WatchLabel() {
        QObject::connect(Job(), &zr::platform::BackgroundJob::progress, m,
                         [this] { labels << C<QLabel>("Label3")->text(); });
    }

    TempDir dir;
    std::vector<fs::path> sources;
    QStringList labels;
};

std::int32_t SeedOf(const char16_t* key) {
    return zr::DeriveKeySeed(std::u16string_view(key)).seed;
}

TEST_F(BatchRunTest, OneFileShowsItsOwnPercentageThenCompletes) {
    MakeFiles({100000});
    const auto expected = Expected(sources[0], SeedOf(u"Key1"), dir);
    p.Clear();
    Start(S("Key1"), S("Key1"), [this] { WatchLabel(); });
    QTRY_VERIFY_WITH_TIMEOUT(RunEnded(), kWait);
    EXPECT_EQ(labels, (QStringList{S("32%"), S("65%"), S("98%"), S("100%")}));
    EXPECT_EQ(ReadBytes(Target(0)), expected);
    EXPECT_TRUE(fs::exists(sources[0]));
    EXPECT_FALSE(C<QProgressBar>("ProgressBar1")->isVisible());
    EXPECT_FALSE(C<QLabel>("Label3")->isVisible());
    EXPECT_EQ(p.BeepCount(), 1);
    const auto msgs = p.Messages();
    ASSERT_EQ(msgs.size(), 1);
    EXPECT_EQ(msgs[0].text, S("加密/解密完毕!"));
    EXPECT_EQ(msgs[0].title, S("注意"));
    EXPECT_EQ(msgs[0].icon, MessageIcon::None);
    EXPECT_EQ(List1()->count(), 0);
    EXPECT_EQ(List2()->count(), 0);
    EXPECT_TRUE(m->isVisible());
    EXPECT_EQ(zr::app::Record().KeyText, S("Key1"));
    // The beep comes before the message, and the pointer is normal again.
    int beep = -1, msg = -1;
    for (int i = 0; i < p.calls.size(); ++i) {
        if (p.calls[i].kind == zr::platform::RecordedCall::Beep)
            beep = i;
        if (p.calls[i].kind == zr::platform::RecordedCall::Message && msg < 0)
            msg = i;
    }
    EXPECT_LT(beep, msg);
    bool busy = false;
    for (const auto& c : p.calls)
        if (c.kind == zr::platform::RecordedCall::Busy)
            busy = c.busy;
    EXPECT_FALSE(busy);
}

TEST_F(BatchRunTest, SeveralFilesShowTheShareOfTheListBeforeTheJob) {
    MakeFiles({40000, 40000, 40000, 40000});
    Start(S("k"), S("k"), [this] { WatchLabel(); });
    QTRY_VERIFY_WITH_TIMEOUT(RunEnded(), kWait);
    EXPECT_EQ(labels, (QStringList{S("0%"), S("0%"), S("25%"), S("25%"), S("50%"), S("50%"),
                                   S("75%"), S("75%")}));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(ReadBytes(Target(i)), Expected(sources[i], SeedOf(u"k"), dir)) << i;
}

TEST_F(BatchRunTest, EmptyKeyConfirmedEmptyRunsWithTheEmptyKeySeed) {
    MakeFiles({5000, 0});
    Start(QString(), QString());
    QTRY_VERIFY_WITH_TIMEOUT(RunEnded(), kWait);
    EXPECT_EQ(ReadBytes(Target(0)), Expected(sources[0], -50, dir));
    EXPECT_TRUE(fs::exists(Target(1)));
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
    EXPECT_EQ(p.BeepCount(), 0);
    EXPECT_FALSE(fs::exists(Target(0)));
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
    QTRY_VERIFY_WITH_TIMEOUT(RunEnded(), kWait);
    EXPECT_TRUE(fs::exists(Target(0)));
}

TEST_F(BatchRunTest, CancelInEitherDialogReturnsToTheListUntouched) {
    MakeFiles({1000});
    m->Command3_clicked();
    Control<QPushButton>(Windows().Get(S("Form5")), "Command2")->click();
    EXPECT_TRUE(m->isVisible());
    QTRY_VERIFY(!Windows().IsLoaded(S("Form5")));

    m->Command3_clicked();
    auto& f5 = Windows().Get(S("Form5"));
    Control<QLineEdit>(f5, "Text1")->setText(S("abc"));
    Control<QPushButton>(f5, "Command1")->click();
    EXPECT_FALSE(Windows().IsLoaded(S("Form5")));
    auto& f6 = Windows().Get(S("form6"));
    Control<QLineEdit>(f6, "Text1")->setText(S("abc"));
    Control<QPushButton>(f6, "Command2")->click();
    EXPECT_TRUE(m->isVisible());
    EXPECT_FALSE(Windows().IsLoaded(S("form6")));
    EXPECT_EQ(List1()->count(), 1);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"f0.bin"}));
}

TEST_F(BatchRunTest, ClosingAKeyDialogByItsFrameActsAsCancel) {
    MakeFiles({1000});
    m->Command3_clicked();
    Windows().Get(S("Form5")).close();
    EXPECT_TRUE(m->isVisible());
    EXPECT_FALSE(Windows().IsLoaded(S("Form5")));

    m->Command3_clicked();
    auto& f5 = Windows().Get(S("Form5"));
    Control<QLineEdit>(f5, "Text1")->setText(S("abc"));
    Control<QPushButton>(f5, "Command1")->click();
    EXPECT_FALSE(m->isVisible());
    Windows().Get(S("form6")).close();
    EXPECT_TRUE(m->isVisible());
    EXPECT_FALSE(Windows().IsLoaded(S("form6")));
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"f0.bin"}));
}

TEST_F(BatchRunTest, KeyOutsideTheLimitsIsRefusedInTheKeyDialog) {
    MakeFiles({1000});
    m->Command3_clicked();
    auto& f5 = Windows().Get(S("Form5"));
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
        EXPECT_FALSE(Windows().IsLoaded(S("form6")));
    }
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"f0.bin"}));
    EXPECT_EQ(List1()->count(), 1);
}

TEST_F(BatchRunTest, Check2DeletesEachSourceAfterItsOwnJob) {
    MakeFiles({70000, 70000, 70000});
    C<QCheckBox>("Check2")->setChecked(true);
    std::vector<bool> firstGoneDuringSecond;
    Start(S("k"), S("k"), [&] {
        QObject::connect(Job(), &zr::platform::BackgroundJob::progress, m, [&] {
            if (zr::app::Record().CharPos == 1)
                firstGoneDuringSecond.push_back(!fs::exists(sources[0]));
        });
    });
    QTRY_VERIFY_WITH_TIMEOUT(RunEnded(), kWait);
    ASSERT_FALSE(firstGoneDuringSecond.empty());
    EXPECT_TRUE(firstGoneDuringSecond.front());
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(fs::exists(sources[i])) << i;
        EXPECT_EQ(fs::file_size(Target(i)), 70000u);
    }
}

TEST_F(BatchRunTest, Check2IsReadWhenEachJobEnds) {
    MakeFiles({70000, 70000});
    // Ticked during the first job, unticked again during the second.
    Start(S("k"), S("k"), [&] {
        QObject::connect(Job(), &zr::platform::BackgroundJob::progress, m, [&] {
            C<QCheckBox>("Check2")->setChecked(zr::app::Record().CharPos == 0);
        });
    });
    QTRY_VERIFY_WITH_TIMEOUT(RunEnded(), kWait);
    EXPECT_FALSE(fs::exists(sources[0]));
    EXPECT_TRUE(fs::exists(sources[1]));
}

TEST_F(BatchRunTest, VanishedSecondSourceIsReportedAndTheOthersComplete) {
    MakeFiles({3000, 3000, 3000});
    fs::remove(sources[1]);
    C<QCheckBox>("Check2")->setChecked(true);
    // A third source whose target folder does not exist keeps its source.
    Add({Q(sources[2])}); // refused: already listed
    const fs::path stay = dir / "stay.bin";
    WriteBytes(stay, PatternBytes(100));
    Add({Q(stay)}, Q(dir / "missing"));
    p.Clear();
    Start(S("k"), S("k"));
    QTRY_VERIFY_WITH_TIMEOUT(RunEnded(), kWait);
    EXPECT_TRUE(fs::exists(Target(0)));
    EXPECT_FALSE(fs::exists(Target(1)));
    EXPECT_TRUE(fs::exists(Target(2)));
    EXPECT_TRUE(fs::exists(stay));
    const auto msgs = p.Messages();
    ASSERT_EQ(msgs.size(), 2);
    EXPECT_EQ(msgs[0].text, S("加密/解密完毕!"));
    EXPECT_EQ(msgs[1].title, S("注意"));
    EXPECT_EQ(msgs[1].icon, MessageIcon::Warning);
    EXPECT_TRUE(msgs[1].text.startsWith(S("有 2 个文件未能完成：\n")));
    EXPECT_TRUE(msgs[1].text.contains(S("无法读取源文件：") + Q(sources[1])))
        << msgs[1].text.toStdString();
    EXPECT_TRUE(msgs[1].text.contains(S("无法写入目标文件："))) << msgs[1].text.toStdString();
    EXPECT_EQ(List1()->count(), 0);
    EXPECT_EQ(List2()->count(), 0);
}

TEST_F(BatchRunTest, FailureMessageListsTheFirstTwentyAndTheCount) {
    QStringList missing;
    for (int i = 0; i < 23; ++i)
        missing << Q(dir / ("gone" + std::to_string(i)));
    Add(missing);
    p.Clear();
    Start(S("k"), S("k"));
    QTRY_VERIFY_WITH_TIMEOUT(RunEnded(), kWait);
    const auto msgs = p.Messages();
    ASSERT_EQ(msgs.size(), 2);
    EXPECT_TRUE(msgs[1].text.startsWith(S("有 23 个文件未能完成：")));
    EXPECT_TRUE(msgs[1].text.contains(missing[19]));
    EXPECT_FALSE(msgs[1].text.contains(missing[20] + QLatin1Char('\n')));
    EXPECT_FALSE(msgs[1].text.contains(missing[22]));
    EXPECT_EQ(msgs[1].text.count(S("无法读取源文件：")), 20);
}

TEST_F(BatchRunTest, DuringARunTheListAndItsButtonsAreLockedButCheck2Works) {
    MakeFiles({70000, 70000});
    List1()->setCurrentRow(0);
    std::vector<bool> locked;
    Start(S("k"), S("k"), [&] {
        QObject::connect(Job(), &zr::platform::BackgroundJob::progress, m, [&] {
            m->Timer1_timeout(); // the tick goes on during the run
            bool all = !List1()->isEnabled() && !List2()->isEnabled();
            for (const char* b : {"Command1", "Command2", "Command3", "Command6"})
                all = all && !C<QPushButton>(b)->isEnabled();
            locked.push_back(all && C<QCheckBox>("Check2")->isEnabled());
        });
    });
    QTRY_VERIFY_WITH_TIMEOUT(RunEnded(), kWait);
    ASSERT_FALSE(locked.empty());
    EXPECT_EQ(std::count(locked.begin(), locked.end(), false), 0);
    EXPECT_TRUE(List1()->isEnabled());
    EXPECT_TRUE(C<QPushButton>("Command1")->isEnabled());
    EXPECT_TRUE(C<QPushButton>("Command6")->isEnabled());
    EXPECT_FALSE(C<QPushButton>("Command3")->isEnabled()); // the list is empty now
}

TEST_F(BatchRunTest, JobsRunOffTheUiThread) {
    MakeFiles({40000});
    std::atomic<bool> offUi{false};
    QThread* ui = QThread::currentThread();
    Start(S("k"), S("k"), [&] {
        QObject::connect(
            Job(), &zr::platform::BackgroundJob::progress, Job(),
            [&] { offUi = QThread::currentThread() != ui; }, Qt::DirectConnection);
    });
    QTRY_VERIFY_WITH_TIMEOUT(RunEnded(), kWait);
    EXPECT_TRUE(offUi);
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
    QTRY_VERIFY_WITH_TIMEOUT(atWork.load(), kWait);
    p.Clear();
    m->close();
    QTRY_COMPARE(ended, 1);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"f0.bin", "f1.bin"}));
    EXPECT_TRUE(p.Messages().isEmpty());
}
