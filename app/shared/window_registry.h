#pragma once
// Exactly one instance per window, made on first reference and shown modeless. Unloading, or
// closing it by its title bar, discards the instance with its contents, so the next reference
// starts from the initial state. The registry includes no window: Get<W>() is instantiated
// where W is known.

#include <QPointer>
#include <QWidget>
#include <map>
#include <typeindex>

namespace zr::app {

class WindowRegistry {
public:
    static WindowRegistry& Instance();

    // The instance of W, created (and its load handler run) on first reference.
    template <class W> W& Get() {
        if (QWidget* w = find(typeid(W)))
            return *static_cast<W*>(w);
        W* w = new W();
        w->setAttribute(Qt::WA_DeleteOnClose);
        add(typeid(W), w);
        return *w;
    }
    // The instance of W if it is loaded, else nullptr; never creates one.
    template <class W> W* Find() const { return static_cast<W*>(find(typeid(W))); }
    template <class W> bool IsLoaded() const { return find(typeid(W)) != nullptr; }
    // Hides and discards the instance of W (if loaded), without running its close handling.
    template <class W> void Unload() { unload(typeid(W)); }
    void Unload(QWidget* window);

    // Called by a window whose close was accepted: the next Get() makes a new one.
    void Forget(QWidget* window);
    // Discards every window (for tests, and when the program ends).
    void UnloadAll();

private:
    QWidget* find(std::type_index key) const;
    void add(std::type_index key, QWidget* w);
    void unload(std::type_index key);
    std::map<std::type_index, QPointer<QWidget>> windows_;
};

inline WindowRegistry& Windows() { return WindowRegistry::Instance(); }

} // namespace zr::app
