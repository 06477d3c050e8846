// The folder job of the single-file window. Not provided yet.

#include "dialogs.h"
#include "form1.h"

namespace zr::ui {

void Form1::Command3_clicked() {
    platform::Current().Message(this, QStringLiteral("此功能尚未提供"), QStringLiteral("注意："),
                                platform::MessageButtons::Ok, platform::MessageIcon::None);
}

} // namespace zr::ui
