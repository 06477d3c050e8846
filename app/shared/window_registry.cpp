#include "window_registry.h"

namespace zr::app {

WindowRegistry& WindowRegistry::Instance() {
    static WindowRegistry registry;
    return registry;
}

QWidget* WindowRegistry::find(std::type_index key) const {
    const auto it = windows_.find(key);
    return it == windows_.end() ? nullptr : it->second.data();
}

void WindowRegistry::add(std::type_index key, QWidget* w) { windows_[key] = w; }

void WindowRegistry::unload(std::type_index key) {
    const auto it = windows_.find(key);
    if (it == windows_.end())
        return;
    QPointer<QWidget> w = it->second;
    windows_.erase(it);
    if (w) {
        w->hide();
        w->deleteLater();
    }
}

void WindowRegistry::Unload(QWidget* window) {
    for (auto it = windows_.begin(); it != windows_.end(); ++it)
        if (it->second == window) {
            unload(it->first);
            return;
        }
}

void WindowRegistry::Forget(QWidget* window) {
    for (auto it = windows_.begin(); it != windows_.end(); ++it)
        if (it->second == window) {
            windows_.erase(it);
            return;
        }
}

void WindowRegistry::UnloadAll() {
    auto all = std::move(windows_);
    windows_.clear();
    for (auto& [key, w] : all)
        if (w) {
            w->hide();
            delete w.data();
        }
}

} // namespace zr::app
