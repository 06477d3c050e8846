#pragma once
// Shared set-up of the multi-file window tests: the three windows registered, the scripted
// platform installed, the program's end observed instead of taken.

#include "app_record.h"
#include "background_job.h"
#include "end_program.h"
#include "form5.h"
#include "form6.h"
#include "mfiles.h"
#include "scripted_platform.h"
#include "temp_dir.h"
#include "window_registry.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

namespace zr::test {

using zr::app::Control;
using zr::app::Windows;

inline QString Q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

class BatchWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        zr::app::RegisterWindow<zr::ui::mfiles>();
        zr::app::RegisterWindow<zr::ui::Form5>();
        zr::app::RegisterWindow<zr::ui::form6>();
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
    QStringList Items(QListWidget* l) {
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

    // Start button, key, confirmation: the run starts when both agree.
    // beforeRun runs when form6 is filled in, before its OK button (to watch the job).
    void Start(const QString& key, const QString& confirm,
               const std::function<void()>& beforeRun = {}) {
        m->Command3_clicked();
        auto& f5 = Windows().Get(QStringLiteral("Form5"));
        Control<QLineEdit>(f5, "Text1")->setText(key);
        Control<QPushButton>(f5, "Command1")->click();
        auto& f6 = Windows().Get(QStringLiteral("form6"));
        Control<QLineEdit>(f6, "Text1")->setText(confirm);
        if (beforeRun)
            beforeRun();
        Control<QPushButton>(f6, "Command1")->click();
    }
    zr::platform::BackgroundJob* Job() {
        return Windows()
            .Get(QStringLiteral("form6"))
            .findChild<zr::platform::BackgroundJob*>(QStringLiteral("BatchJob"));
    }
    bool RunEnded() { return !Windows().IsLoaded(QStringLiteral("form6")); }

    zr::platform::ScriptedPlatform p;
    zr::ui::mfiles* m = nullptr;
    int ended = 0;
};

} // namespace zr::test
