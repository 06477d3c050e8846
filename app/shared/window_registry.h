#pragma once
// Exactly one instance per window, made on first reference and shown modeless. Unloading, or
// closing it by its title bar, discards the instance with its contents, so the next reference
// starts from the initial state.
//
// Windows are reached by name ("Form1", "mfiles", ...), as every window reaches every other:
// a window that opens another needs no header of it. The program registers every window's
// factory once at startup (RegisterWindow<W>()); a window's own library may use the typed
// Get<W>(), which registers W on the way. What a window asks of another beyond showing,
// hiding and unloading it goes through the interfaces of window_contracts.h; tests reach
// controls by their object names with Control<T>().

#include "zr_window.h"

#include <QPointer>
#include <QString>
#include <functional>
#include <map>

namespace zr::app {

class WindowRegistry {
public:
    using Factory = std::function<ZrWindow*()>;
    static WindowRegistry& Instance();

    void Register(const QString& name, Factory factory);
    bool IsRegistered(const QString& name) const;

    // The instance of the named window, created (its load handler run) on first reference.
    // The name must be registered.
    ZrWindow& Get(const QString& name);
    // The instance if it is loaded, else nullptr; never creates one.
    ZrWindow* Find(const QString& name) const;
    bool IsLoaded(const QString& name) const { return Find(name) != nullptr; }
    // Hides and discards the instance (if loaded), without running its close handling.
    void Unload(const QString& name);
    void Unload(QWidget* window);

    template <class W> W& Get() {
        if (!IsRegistered(QString::fromLatin1(W::kName)))
            Register(QString::fromLatin1(W::kName), [] { return new W(); });
        return static_cast<W&>(Get(QString::fromLatin1(W::kName)));
    }
    template <class W> W* Find() const {
        return static_cast<W*>(Find(QString::fromLatin1(W::kName)));
    }

    // Called by a window whose close was accepted: the next Get() makes a new one.
    void Forget(QWidget* window);
    // Discards every window at once (for tests, and when the program ends).
    void UnloadAll();

private:
    std::map<QString, Factory> factories_;
    std::map<QString, QPointer<ZrWindow>> windows_;
};

inline WindowRegistry& Windows() { return WindowRegistry::Instance(); }

template <class W> void RegisterWindow() {
    Windows().Register(QString::fromLatin1(W::kName), [] { return new W(); });
}

// A control of a window by its object name, for tests; never null for the names a window's
// form defines.
template <class T> T* Control(QWidget& window, const char* name) {
    T* c = window.findChild<T*>(QString::fromLatin1(name));
    Q_ASSERT_X(c, "Control", name);
    return c;
}

} // namespace zr::app
