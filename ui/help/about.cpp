#include "about.h"

#include "dialogs.h"

namespace zr::ui {

void ShowAbout(QWidget* parent) {
    platform::Current().Message(parent, QStringLiteral("版本：1.0    作者：zr 开发组"),
                                QStringLiteral("加密解密"), platform::MessageButtons::Ok,
                                platform::MessageIcon::None);
}

} // namespace zr::ui
