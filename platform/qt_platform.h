#pragma once
// The real seam: Qt's own dialogs, with buttons labelled in Simplified Chinese.

#include "dialogs.h"

namespace zr::platform {

class QtPlatform : public Platform {
public:
    MessageAnswer Message(QWidget* parent, const QString& text, const QString& title,
                          MessageButtons buttons, MessageIcon icon) override;
    OpenFileResult OpenFile(QWidget* parent, const OpenFileRequest& request) override;
    std::optional<FontChoice> ChooseFont(QWidget* parent, const FontChoice& initial) override;
    void Beep() override;
    void SetBusy(QWidget* window, bool busy) override;
};

} // namespace zr::platform
