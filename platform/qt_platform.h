#pragma once
// The real seam: Qt's own dialogs, with buttons labelled in Simplified Chinese.

#include "dialogs.h"

#include <QFileIconProvider>

class QFileDialog;
class QFontDialog;

namespace zr::platform {

// Names the "type" column of the toolkit's file dialog in Chinese. The toolkit's translations
// leave folders, drives and files without a known kind in English ("Folder", "Drive",
// "bin File").
class ChineseFileTypes : public QFileIconProvider {
public:
    QString type(const QFileInfo& info) const override;
};

// Gives the (non-native) file dialog Chinese type names; the dialog does not own the provider,
// so one shared instance serves every dialog.
void UseChineseFileTypes(QFileDialog& dialog);

// Hides the effects (underline, strike-out) of the toolkit's font dialog: a chosen font gives
// only its family, size, bold and italic, and the lists are underlined by a check box of their
// own.
void HideFontEffects(QFontDialog& dialog);

class QtPlatform : public Platform {
public:
    MessageAnswer Message(QWidget* parent, const QString& text, const QString& title,
                          MessageButtons buttons, MessageIcon icon) override;
    MessageAnswer MessageWithButton(QWidget* parent, const QString& text, const QString& title,
                                    MessageIcon icon, const QString& other) override;
    OpenFileResult OpenFile(QWidget* parent, const OpenFileRequest& request) override;
    std::optional<FontChoice> ChooseFont(QWidget* parent, const FontChoice& initial) override;
    void Beep() override;
    void SetBusy(QWidget* window, bool busy) override;
};

} // namespace zr::platform
