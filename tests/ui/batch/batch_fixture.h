#pragma once
// Set-up of the multi-file window tests: the three windows registered, the scripted platform
// installed, the program's end observed instead of taken.

#include "app_record.h"
#include "background_job.h"
#include "end_program.h"
#include "form5.h"
#include "form6.h"
#include "mfiles.h"
#include "scripted_platform.h"
#include "temp_dir.h"
#include "window_contracts.h"
#include "window_registry.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

namespace zr::test {

using zr::app::Control;
using zr::app::Windows;

inline QString S(const char* s) {
    return QString::fromUtf8(s);
}
inline QString Q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

class BatchWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        zr::app::RegisterWindow<zr::ui::mfiles>();
        zr::app::RegisterWindow<zr::ui::Form5>();
        zr::app::RegisterWindow<zr::ui::form6>();
        zr::app::BindWindow<zr::app::BatchRunState, zr::ui::mfiles>();
        zr::app::SetEndProgramAction([this] { ++ended; });
        m = &Windows().Get<zr::ui::mfiles>();
        m->show();
    }
    void TearDown() override {
        Windows().UnloadAll();
        zr::app::ResetRecord();
        zr::app::SetEndProgramAction({});
    }

    template <class T> T* C(const char* name) { return Control<T>(*m, name); }
    QListWidget* List1() { return C<QListWidget>("List1"); }
    QListWidget* List2() { return C<QListWidget>("List2"); }
    static QStringList Items(QListWidget* l) {
        QStringList out;
        for (int i = 0; i < l->count(); ++i)
            out << l->item(i)->text();
        return out;
    }

    // Chooses files in the open dialog; with a folder the question is answered OK and the
    // frame's OK button takes the folder, without one the question is declined.
    void Add(const QStringList& paths, std::optional<QString> folder = std::nullopt) {
        p.AnswerOpen(paths);
        p.AnswerMessage(folder ? zr::platform::MessageAnswer::Ok
                               : zr::platform::MessageAnswer::Cancel);
        m->Command1_clicked();
        if (folder) {
            C<QLineEdit>("Text1")->setText(*folder);
            m->Command4_clicked();
        }
    }

    // Start button, key, confirmation. beforeRun runs once form6 is filled in, before its OK.
    void Start(const QString& key, const QString& confirm,
               const std::function<void()>& beforeRun = {}) {
        m->Command3_clicked();
        auto& f5 = Windows().Get(S("Form5"));
        Control<QLineEdit>(f5, "Text1")->setText(key);
        Control<QPushButton>(f5, "Command1")->click();
        auto& f6 = Windows().Get(S("form6"));
        Control<QLineEdit>(f6, "Text1")->setText(confirm);
        if (beforeRun)
            beforeRun();
        Control<QPushButton>(f6, "Command1")->click();
    }
    // The worker of the run, which the window owns.
    zr::platform::BackgroundJob* Job() {
        return m->findChild<zr::platform::BackgroundJob*>(S("BatchJob"));
    }
    // Runs fn on the UI thread after every block the run reports.
    void OnBlock(std::function<void()> fn) {
        QObject::connect(Job(), &zr::platform::BackgroundJob::progress, m, std::move(fn));
    }
    // True once the run has ended (form6 is closed by its last step).
    static bool RunEnds() {
        return QTest::qWaitFor([] { return !Windows().IsLoaded(S("form6")); }, 20000);
    }

    zr::platform::ScriptedPlatform p;
    zr::ui::mfiles* m = nullptr;
    int ended = 0;
};

} // namespace zr::test
