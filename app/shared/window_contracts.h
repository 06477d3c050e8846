#pragma once
// What one window asks of another. A window still reaches another by its name (show, hide,
// unload), but whatever goes further (filling its fields, choosing its mode, starting its work)
// goes through one of these interfaces, so that the compiler checks every hand-over. main.cpp
// binds each interface to its window once; tests bind stand-ins.

#include "window_registry.h"

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace zr::app {

// The single-file window (Form1), as the startup routine, the main menu and the help window
// open it.
class SingleFileWindow {
public:
    virtual ~SingleFileWindow() = default;
    // Shows the window in single-file mode: C_Ok visible.
    virtual void ShowForFile() = 0;
    // Puts file into T_SourceFile and its target by the ".ZR" rule into T_TargetFile (both
    // stay as they are for an empty file), then moves the focus to T_EnCode.
    virtual void SetFile(const QString& file) = 0;
    virtual void FocusSourceField() = 0;
    // Shows the window in folder mode: labels and boxes name the two folders (the folder job
    // itself reads them from the record), Command3 is visible and the default button, the
    // focus is in T_EnCode.
    virtual void ShowForFolder(const QString& sourceFolder, const QString& targetFolder) = 0;
    // The window itself: the parent of a dialog shown for it, and a way to tell whether it has
    // been closed meanwhile.
    virtual QWidget& Widget() = 0;
};

// The main menu (Form3), as the single-file window returns to it.
class MainMenuWindow {
public:
    virtual ~MainMenuWindow() = default;
    // Shows the menu with its folder list, drive list and folder OK button hidden.
    virtual void ShowMenu() = 0;
};

// The multi-file window (mfiles), as the startup routine and the main menu hand it several
// files.
class MultiFileWindow {
public:
    virtual ~MultiFileWindow() = default;
    // Shows the window with files added to its list as "取消" in Frame1 adds chosen ones:
    // targets beside the sources by the ".ZR" rule, a file listed already refused with its
    // message.
    virtual void ShowForFiles(const QStringList& files) = 0;
};

// The batch run of the multi-file window (mfiles), as the key confirmation dialog hands the key
// over to it.
class BatchRunState {
public:
    virtual ~BatchRunState() = default;
    virtual bool Running() const = 0;
    // Runs the window's job list with key, which both key dialogs have agreed on.
    virtual void StartRun(const QString& key) = 0;
};

// The window bound to interface I. Binding is the program's (or a test's) business; asking for
// an interface nothing was bound to is a programming error.
template <class I> class Contract {
public:
    static void Bind(std::function<I&()> window) { slot() = std::move(window); }
    static bool Bound() { return static_cast<bool>(slot()); }
    static I& Get() { return slot()(); }

private:
    static std::function<I&()>& slot() {
        static std::function<I&()> s;
        return s;
    }
};

template <class I> I& Window() {
    return Contract<I>::Get();
}

// Binds I to the registry's instance of window W (made on first reference, as every window).
template <class I, class W> void BindWindow() {
    Contract<I>::Bind([]() -> I& { return Windows().Get<W>(); });
}

} // namespace zr::app
