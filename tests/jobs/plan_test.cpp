// Plans: the check as a whole (the same file under other names, shared targets, targets that
// are other entries' sources), and the run's deletion rule.

#include "key_recovery.h"
#include "keystream_expect.h"
#include "plan.h"
#include "temp_dir.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using zr::jobs::CheckPlan;
using zr::jobs::ConflictKind;
using zr::jobs::Plan;
using zr::test::PatternBytes;
using zr::test::ReadBytes;
using zr::test::TempDir;
using zr::test::WriteBytes;

namespace {

using Kinds = std::vector<std::pair<std::size_t, ConflictKind>>;

Kinds KindsOf(const Plan& plan) {
    Kinds out;
    for (const auto& c : CheckPlan(plan).conflicts)
        out.emplace_back(c.entry, c.kind);
    return out;
}

} // namespace

TEST(PlanCheck, ExistingFilesConflictByIdentity) {
    TempDir dir;
    WriteBytes(dir / "doc.txt", PatternBytes(10));
    WriteBytes(dir / "doc.txt.ZR", PatternBytes(10, 2));
    fs::create_hard_link(dir / "doc.txt", dir / "hard");
    fs::create_directory(dir / "sub");

    // An older result beside its source: each entry's target is the other's source.
    EXPECT_EQ(
        KindsOf({{{dir / "doc.txt", dir / "doc.txt.ZR"}, {dir / "doc.txt.ZR", dir / "doc.txt"}}}),
        (Kinds{{0, ConflictKind::TargetIsSource},
               {0, ConflictKind::SourceIsTarget},
               {1, ConflictKind::TargetIsSource},
               {1, ConflictKind::SourceIsTarget}}));
    // The source under a hard link and through "..".
    EXPECT_EQ(KindsOf({{{dir / "doc.txt", dir / "hard"},
                        {dir / "doc.txt.ZR", dir / "sub" / ".." / "doc.txt.ZR"}}}),
              (Kinds{{0, ConflictKind::SameFile}, {1, ConflictKind::SameFile}}));
    // Two entries writing one existing file.
    const auto shared = CheckPlan({{{dir / "doc.txt", dir / "hard"}, {dir / "sub", dir / "hard"}}});
    EXPECT_EQ(shared.Entries(), (std::vector<std::size_t>{0, 1}));
    EXPECT_TRUE(
        CheckPlan({{{dir / "doc.txt", dir / "new.ZR"}, {dir / "doc.txt.ZR", dir / "doc"}}}).ok());
}

TEST(PlanCheck, AmongManyEntriesTheFewConflictsAreFoundAndNoOthers) {
    // Lists long enough to be sorted in bytes rather than by comparisons.
    TempDir dir;
    fs::create_directory(dir / "out");
    WriteBytes(dir / "kept", PatternBytes(10));
    Plan plan;
    for (int i = 0; i < 400; ++i)
        plan.Add(dir / ("f" + std::to_string(i)), dir / "out" / ("F" + std::to_string(i) + ".ZR"));
    plan.Add(dir / "g", dir / "out" / "F7.ZR");   // 400: a target of another entry
    plan.Add(dir / "out" / "F9.ZR", dir / "h");   // 401: its source is entry 9's target
    plan.Add(dir / "kept", dir / "sub" / ".." / "kept"); // 402: its own source
    EXPECT_EQ(KindsOf(plan), (Kinds{{7, ConflictKind::SharedTarget},
                                    {9, ConflictKind::TargetIsSource},
                                    {400, ConflictKind::SharedTarget},
                                    {401, ConflictKind::SourceIsTarget},
                                    {402, ConflictKind::SameFile}}));
}

TEST(PlanCheck, MissingTargetsConflictByNormalisedPath) {
    TempDir dir;
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    WriteBytes(dir / "a" / "report.txt", PatternBytes(10));
    WriteBytes(dir / "b" / "report.txt", PatternBytes(10, 2));
    const fs::path out = dir / "out";
    fs::create_directory(out);
    const auto check =
        CheckPlan({{{dir / "a" / "report.txt", out / "report.txt.ZR"},
                    {dir / "b" / "report.txt", dir / "a" / ".." / "out" / "report.txt.ZR"},
                    {dir / "b" / "report.txt", out / "other.ZR"}}});
    EXPECT_EQ(check.Entries(), (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(check.FirstOf(1).kind, ConflictKind::SharedTarget);
    EXPECT_EQ(check.FirstOf(1).other, 0u);
    // A folder that does not exist yet is compared by its path as well.
    EXPECT_FALSE(CheckPlan({{{dir / "a" / "report.txt", dir / "no" / "x"},
                             {dir / "b" / "report.txt", dir / "no" / "." / "x"}}})
                     .ok());
}

#ifndef _WIN32
// Links and folders that keep letter case are what POSIX systems have.
TEST(PlanCheck, ALinkedFolderIsTheFolderItLeadsTo) {
    TempDir dir;
    fs::create_directory(dir / "real");
    fs::create_directory_symlink(dir / "real", dir / "alias");
    WriteBytes(dir / "real" / "src", PatternBytes(10));
    WriteBytes(dir / "other", PatternBytes(10));
    EXPECT_EQ(KindsOf({{{dir / "real" / "src", dir / "alias" / "x.ZR"},
                        {dir / "other", dir / "real" / "x.ZR"},
                        {dir / "other", dir / "alias" / "src"}}}),
              (Kinds{{0, ConflictKind::SharedTarget},
                     {0, ConflictKind::SourceIsTarget},
                     {1, ConflictKind::SharedTarget},
                     {2, ConflictKind::TargetIsSource}}));
}

TEST(PlanCheck, ATargetThatNamesNoFileIsRefused) {
    TempDir dir;
    WriteBytes(dir / "a", PatternBytes(10));
    const Plan plan{{{dir / "a", dir.path() / ""},
                     {dir / "a", dir / "."},
                     {dir / "a", dir / ".."},
                     {dir / "a", dir / "a.ZR"}}};
    EXPECT_EQ(KindsOf(plan), (Kinds{{0, ConflictKind::NoTargetName},
                                    {1, ConflictKind::NoTargetName},
                                    {2, ConflictKind::NoTargetName}}));
    EXPECT_EQ(zr::jobs::ConflictReason(ConflictKind::NoTargetName), "得不出目标文件名");
}

TEST(PlanCheck, LetterCaseCountsWhereTheFolderKeepsIt) {
    TempDir dir;
    WriteBytes(dir / "a.txt", PatternBytes(10));
    WriteBytes(dir / "A.TXT", PatternBytes(10, 2));
    EXPECT_TRUE(
        CheckPlan({{{dir / "a.txt", dir / "A.TXT.ZR"}, {dir / "A.TXT", dir / "a.txt.ZR"}}}).ok());
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"A.TXT", "a.txt"})) << "no probe left behind";
}

// A FAT image through the FUSE driver, which gives every spelling of a name an inode of its own.
TEST(PlanCheck, LetterCaseIsIgnoredWhereTheFolderIgnoresIt) {
    TempDir dir;
    const fs::path image = dir / "fat.img", mnt = dir / "mnt";
    fs::create_directory(mnt);
    const std::string mkfs = "truncate -s 4M '" + image.string() + "' && mkfs.vfat '" +
                             image.string() + "' >/dev/null 2>&1";
    if (!zr::test::CanMount() || std::system(mkfs.c_str()) != 0 ||
        std::system(
            ("fusefat -o rw+ '" + image.string() + "' '" + mnt.string() + "' >/dev/null 2>&1")
                .c_str()) != 0)
        GTEST_SKIP() << "needs root, mkfs.vfat and fusefat to mount a FAT image";
    struct Unmount {
        fs::path at;
        ~Unmount() {
            if (std::system(("fusermount -u '" + at.string() + "'").c_str()) != 0)
                ADD_FAILURE() << "could not unmount " << at;
        }
    } unmount{mnt};
    WriteBytes(mnt / "a.txt", PatternBytes(10));
    WriteBytes(dir / "b", PatternBytes(10));
    fs::create_directory(mnt / "Sub");
    EXPECT_EQ(KindsOf({{{mnt / "a.txt", mnt / "A.TXT"},
                        {dir / "b", mnt / "sub" / "x.ZR"},
                        {dir / "b", mnt / "SUB" / "X.zr"}}}),
              (Kinds{{0, ConflictKind::SameFile},
                     {1, ConflictKind::SharedTarget},
                     {2, ConflictKind::SharedTarget}}));
}
#endif

TEST(RunPlan, ARefusedPlanTouchesAndDeletesNothing) {
    TempDir dir;
    WriteBytes(dir / "doc.txt", PatternBytes(100));
    WriteBytes(dir / "doc.txt.ZR", PatternBytes(100, 2));
    WriteBytes(dir / "free", PatternBytes(100, 3));
    Plan plan{{{dir / "free", dir / "free.ZR"},
               {dir / "doc.txt", dir / "doc.txt.ZR"},
               {dir / "doc.txt.ZR", dir / "doc.txt"}},
              true};
    int events = 0;
    zr::jobs::PlanEvents ev;
    ev.fileStarted = [&](std::size_t) { ++events; };
    const auto r = zr::jobs::RunPlan(plan, 7, ev);
    EXPECT_TRUE(r.refused);
    EXPECT_EQ(r.check.Entries(), (std::vector<std::size_t>{1, 2}));
    EXPECT_EQ(events, 0);
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"doc.txt", "doc.txt.ZR", "free"}));
    EXPECT_EQ(ReadBytes(dir / "doc.txt.ZR"), PatternBytes(100, 2));
}

TEST(RunPlan, ASourceAskedForAtTheEndGoesOnlyAfterItsTargetReadsBackEqual) {
    TempDir dir;
    for (const char* name : {"kept", "gone", "spoilt"})
        WriteBytes(dir / name, PatternBytes(70000));
    Plan plan{{{dir / "kept", dir / "kept.ZR"},
               {dir / "gone", dir / "gone.ZR"},
               {dir / "spoilt", dir / "spoilt.ZR"}},
              false};
    std::vector<std::size_t> verified;
    std::vector<std::string> failures;
    zr::jobs::PlanEvents ev;
    ev.deleteSource = [&](std::size_t i) {
        // The target is in place when the question comes; spoil the last one before its check.
        if (i == 2)
            WriteBytes(dir / "spoilt.ZR", PatternBytes(70000, 9));
        return i != 0;
    };
    ev.verifying = [&](std::size_t i) { verified.push_back(i); };
    ev.fileDone = [&](const zr::jobs::FileOutcome& o) {
        if (!o.ok())
            failures.push_back(zr::jobs::FailureText(o, plan.Entry(o.entry)));
    };
    const auto r = zr::jobs::RunPlan(plan, 5, ev);
    EXPECT_EQ(r.done, 2);
    EXPECT_EQ(r.failed, 1);
    EXPECT_EQ(verified, (std::vector<std::size_t>{1, 2}));
    EXPECT_TRUE(fs::exists(dir / "kept"));
    EXPECT_FALSE(fs::exists(dir / "gone"));
    EXPECT_TRUE(fs::exists(dir / "spoilt"));
    EXPECT_EQ(ReadBytes(dir / "gone.ZR"), zr::test::Transformed(PatternBytes(70000), 5));
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("spoilt.ZR"), std::string::npos) << failures[0];
}

namespace {
std::vector<std::uint8_t> Minutes() {
    std::string text;
    for (int i = 1; i <= 20; ++i)
        text += "Item " + std::to_string(i) + ": the budget for next year was discussed again.\n";
    return {text.begin(), text.end()};
}
} // namespace

TEST(RunPlan, AWrongLookingDecryptionKeepsItsSourceAndARightOneIsNotFlagged) {
    TempDir dir;
    WriteBytes(dir / "minutes.txt.ZR", zr::test::Transformed(Minutes(), "right"));
    const Plan plan{{{dir / "minutes.txt.ZR", dir / "minutes.txt"}}, true};
    std::vector<zr::jobs::FileOutcome> outcomes;
    zr::jobs::PlanEvents ev;
    ev.fileDone = [&](const zr::jobs::FileOutcome& o) { outcomes.push_back(o); };

    auto r = zr::jobs::RunPlan(plan, zr::DeriveKeySeed(std::string_view("wrong")).seed, ev);
    EXPECT_EQ(r.failed, 1);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].suspicion, zr::WrongKeyText("txt"));
    EXPECT_TRUE(outcomes[0].sourceKept);
    EXPECT_EQ(zr::jobs::FailureText(outcomes[0], plan.Entry(0)),
              "未删除源文件 " + (dir / "minutes.txt.ZR").string() + "：" + zr::WrongKeyText("txt"));
    EXPECT_TRUE(fs::exists(dir / "minutes.txt.ZR"));

    // Asked for at the end, as the batch asks, the source stays all the same.
    ev.deleteSource = [](std::size_t) { return true; };
    zr::jobs::Plan keeping = plan;
    keeping.deleteSources = false;
    r = zr::jobs::RunPlan(keeping, zr::DeriveKeySeed(std::string_view("wrong")).seed, ev);
    EXPECT_EQ(r.failed, 1);
    EXPECT_TRUE(fs::exists(dir / "minutes.txt.ZR"));

    outcomes.clear();
    r = zr::jobs::RunPlan(plan, zr::DeriveKeySeed(std::string_view("right")).seed, ev);
    EXPECT_EQ(r.done, 1);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].suspicion.empty());
    EXPECT_FALSE(fs::exists(dir / "minutes.txt.ZR"));
    EXPECT_EQ(ReadBytes(dir / "minutes.txt"), Minutes());
}

TEST(RunPlan, ACancelledPlanLeavesNoTargetDeletesNothingAndStartsNoFurtherFile) {
    TempDir dir;
    WriteBytes(dir / "big", PatternBytes(300000));
    WriteBytes(dir / "next", PatternBytes(10));
    std::atomic<bool> cancel{false};
    std::vector<std::size_t> started;
    zr::jobs::PlanEvents ev;
    ev.fileStarted = [&](std::size_t i) { started.push_back(i); };
    ev.progress = [&](std::int64_t, std::int64_t) { cancel = true; };
    const auto r = zr::jobs::RunPlan(
        {{{dir / "big", dir / "big.ZR"}, {dir / "next", dir / "next.ZR"}}, true}, 3, ev, &cancel);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.done + r.failed, 0);
    EXPECT_EQ(started, std::vector<std::size_t>{0});
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"big", "next"}));
    EXPECT_EQ(ReadBytes(dir / "big"), PatternBytes(300000));
}

TEST(RunPlan, ALinkToNothingAsTargetIsRefusedBeforeAnythingIsWritten) {
    TempDir dir;
    WriteBytes(dir / "a", PatternBytes(100000));
    WriteBytes(dir / "b", PatternBytes(10));
    std::error_code ec;
    fs::create_symlink(dir / "nowhere", dir / "a.ZR", ec);
    if (ec)
        GTEST_SKIP() << "no symbolic links here: " << ec.message();
    int blocks = 0;
    zr::jobs::PlanEvents ev;
    ev.progress = [&](std::int64_t, std::int64_t) { ++blocks; };
    const auto r = zr::jobs::RunPlan(
        {{{dir / "a", dir / "a.ZR"}, {dir / "b", dir / "b.ZR"}}, false}, 3, ev);
    EXPECT_EQ(r.failed, 1);
    EXPECT_EQ(blocks, 1) << "only b's block";
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
}

TEST(RunPlan, ManyNewTargetsKeepTheOrderOfEventsAndBytesAndANameTakenMeanwhileIsNotReplaced) {
    // Jobs of small files with new targets are prepared ahead on a second thread: what the
    // caller sees must be what one file after the other gives.
    TempDir dir;
    fs::create_directory(dir / "out");
    const std::vector<std::size_t> sizes = {0, 1, 32768, 40000, 65536, 65537, 300000, 7};
    Plan plan;
    std::vector<std::string> expected;
    for (std::uint32_t i = 0; i < 60; ++i) {
        const std::string name = "f" + std::to_string(i);
        const std::size_t size = sizes[i % sizes.size()];
        WriteBytes(dir / name, PatternBytes(size, i));
        plan.Add(dir / name, dir / "out" / (name + ".ZR"));
        expected.push_back("start " + std::to_string(i));
        for (std::size_t d = 0; d < size;) {
            d = std::min<std::size_t>(d + 32768, size);
            expected.push_back(std::to_string(d) + "/" + std::to_string(size));
        }
        expected.push_back(std::string(i == 41 ? "failed " : "done ") + std::to_string(i));
    }
    std::vector<std::string> seen;
    zr::jobs::PlanEvents ev;
    ev.fileStarted = [&](std::size_t i) {
        seen.push_back("start " + std::to_string(i));
        if (i == 41) { // another program writes that name meanwhile, and keeps a second link
            WriteBytes(dir / "out" / "f41.ZR", PatternBytes(5, 9));
            fs::create_hard_link(dir / "out" / "f41.ZR", dir / "keep");
        }
    };
    ev.progress = [&](std::int64_t d, std::int64_t n) {
        seen.push_back(std::to_string(d) + "/" + std::to_string(n));
    };
    ev.fileDone = [&](const zr::jobs::FileOutcome& out) {
        seen.push_back((out.ok() ? "done " : "failed ") + std::to_string(out.entry));
    };
    const auto r = zr::jobs::RunPlan(plan, 3, ev);
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(r.done, 59);
    EXPECT_EQ(ReadBytes(dir / "out" / "f41.ZR"), PatternBytes(5, 9));
    for (std::uint32_t i = 0; i < 60; ++i) {
        if (i == 41)
            continue;
        EXPECT_EQ(ReadBytes(dir / "out" / ("f" + std::to_string(i) + ".ZR")),
                  zr::test::Transformed(PatternBytes(sizes[i % sizes.size()], i), 3))
            << i;
    }
    EXPECT_EQ(ReadBytes(dir / "keep"), PatternBytes(5, 9));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "out"), fs::directory_iterator()), 60)
        << "no temporary file is left";
}
