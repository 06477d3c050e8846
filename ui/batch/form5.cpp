#include "form5.h"

#include "app_record.h"
#include "dialogs.h"
#include "key_seed.h"
#include "ui_form5.h"
#include "window_registry.h"

#include <QGuiApplication>
#include <QScreen>

namespace zr::ui {

using zr::app::Windows;

Form5::Form5() : ui_(std::make_unique<Ui::Form5>()) {
    ui_->setupUi(this);
    SetDefaultButton(ui_->Command1);
    SetCancelButton(ui_->Command2);
    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    connect(ui_->Command1, &QPushButton::clicked, this, &Form5::Command1_clicked);
    connect(ui_->Command2, &QPushButton::clicked, this, &Form5::Command2_clicked);
    ui_->Text1->setFocus(); // the first of the focus order
}

Form5::~Form5() = default;

void Form5::Command1_clicked() {
    const QString key = ui_->Text1->text();
    // A key the cipher cannot reduce to a seed would fail every job; refuse it here, before
    // anything is touched.
    if (!zr::DeriveKeySeed(key.toStdU16String()).ok()) {
        auto& p = zr::platform::Current();
        p.Beep();
        p.Message(this, QString::fromUtf8(kKeyRefusedText), QString::fromUtf8(kKeyRefusedTitle),
                  zr::platform::MessageButtons::Ok, zr::platform::MessageIcon::Question);
        ui_->Text1->setFocus();
        return;
    }
    zr::app::Record().KeyText = key;
    Windows().Get(QStringLiteral("form6")).show();
    Windows().Unload(this);
}

void Form5::Command2_clicked() {
    Windows().Get(QStringLiteral("mfiles")).show();
    Windows().Unload(this);
}

bool Form5::OnClose() {
    Windows().Get(QStringLiteral("mfiles")).show();
    return true;
}

} // namespace zr::ui
