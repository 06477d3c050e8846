#include "form6.h"

#include "app_record.h"
#include "dialogs.h"
#include "ui_form6.h"
#include "window_contracts.h"
#include "window_registry.h"

#include <QGuiApplication>
#include <QScreen>

namespace zr::ui {

using zr::app::Record;
using zr::app::Windows;
using zr::platform::Current;

namespace {
QWidget& Mfiles() {
    return Windows().Get(QStringLiteral("mfiles"));
}
} // namespace

form6::form6() : ui_(std::make_unique<Ui::form6>()) {
    ui_->setupUi(this);
    SetDefaultButton(ui_->Command1);
    SetCancelButton(ui_->Command2);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    connect(ui_->Command1, &QPushButton::clicked, this, &form6::Command1_clicked);
    connect(ui_->Command2, &QPushButton::clicked, this, &form6::Command2_clicked);
    ui_->Text1->setFocus(); // the first of the focus order
}

form6::~form6() = default;

void form6::Command1_clicked() {
    auto& run = zr::app::Window<zr::app::BatchRunState>();
    if (run.Running())
        return;
    auto& rec = Record();
    rec.KeyConfirm = ui_->Text1->text();
    QWidget& m = Mfiles();
    m.show();
    hide(); // not closed: after a mismatch the next start shows this confirmation again
    if (rec.KeyConfirm != rec.KeyText) {
        Current().Message(&m, QStringLiteral("两次输入的密码不一样"),
                          QString::fromLatin1(zr::platform::kAppTitle),
                          zr::platform::MessageButtons::Ok, zr::platform::MessageIcon::None);
        return;
    }
    run.StartRun(rec.KeyText);
}

void form6::Command2_clicked() {
    Mfiles().show();
    Windows().Unload(this);
}

bool form6::OnClose() {
    Mfiles().show();
    return true;
}

} // namespace zr::ui
