#pragma once
// The seam between the windows and the toolkit's modal dialogs. Windows never call
// QMessageBox, QFileDialog, QFontDialog or QApplication::beep themselves: they call the current
// Platform with exactly what they need (text, title, buttons, icon; dialog title, filter,
// multi-select), so that tests can script the answers and record every call.

#include <QFont>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace zr::platform {

// The title a message box bears when it names none of its own.
inline const char* const kAppTitle = "zr";

enum class MessageIcon { None, Question, Warning, Critical, Information };
enum class MessageButtons { Ok, OkCancel };
enum class MessageAnswer { Ok, Cancel, Other }; // Other: the box's own second button

struct OpenFileRequest {
    QString title;       // dialog title; empty leaves the toolkit's own
    QString filter;      // "description|pattern|description|pattern", as the windows give it
    bool multiSelect = false; // several existing files; else one name, which need not exist
    QString initialName; // the file name the dialog opens with
};

struct OpenFileResult {
    bool confirmed = false;
    QStringList paths; // full paths, in the order the dialog returns them
};

struct FontChoice {
    QString family;
    double pointSize = 9;
    bool bold = false;
    bool italic = false;
};

class Platform {
public:
    virtual ~Platform() = default;
    virtual MessageAnswer Message(QWidget* parent, const QString& text, const QString& title,
                                  MessageButtons buttons, MessageIcon icon) = 0;
    // A message box with OK and a second button labelled other, which answers Other; Esc and
    // the close box answer Ok.
    virtual MessageAnswer MessageWithButton(QWidget* parent, const QString& text,
                                            const QString& title, MessageIcon icon,
                                            const QString& other) = 0;
    virtual OpenFileResult OpenFile(QWidget* parent, const OpenFileRequest& request) = 0;
    virtual std::optional<FontChoice> ChooseFont(QWidget* parent, const FontChoice& initial) = 0;
    virtual void Beep() = 0;
    // The window's mouse pointer: the hourglass while busy, the normal arrow otherwise.
    virtual void SetBusy(QWidget* window, bool busy) = 0;
};

// The platform the windows use: the Qt one unless a test installed another.
Platform& Current();
// Installs p (not owned) as the current platform; nullptr restores the Qt one.
void SetCurrent(Platform* p);

// Splits a filter "所有文件(*.*)|*.*|*.ZR文件|*.ZR" into the toolkit's form
// "所有文件(*.*) (*)" ";;" "*.ZR文件 (*.ZR *.zr)": the patterns match in any letter case, as
// they do on the system the filters were written for.
QStringList ToQtFilters(const QString& filter);

// One window's instance of the common file dialog. It remembers the last confirmed file name
// for as long as the window lives: a cancel leaves FileName as it was, and the next opening
// starts from it.
class CommonDialog {
public:
    QString DialogTitle;
    QString Filter;
    bool MultiSelect = false;
    // Set by a confirmed open: FileName is the first path, FileNames all of them, FileTitle the
    // bare name of the first.
    QString FileName;
    QString FileTitle;
    QStringList FileNames;

    // Shows the open-file dialog; returns true when the user confirmed a choice.
    bool ShowOpen(QWidget* parent);
    // Shows the font dialog starting from initial; nullopt after a cancel.
    std::optional<FontChoice> ShowFont(QWidget* parent, const FontChoice& initial);
};

} // namespace zr::platform
