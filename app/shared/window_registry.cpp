#include "window_registry.h"

namespace zr::app {

WindowRegistry& WindowRegistry::Instance() {
    static WindowRegistry registry;
    return registry;
}

void WindowRegistry::Register(const QString& name, Factory factory) {
    factories_[name] = std::move(factory);
}

bool WindowRegistry::IsRegistered(const QString& name) const {
    return factories_.count(name) != 0;
}

ZrWindow& WindowRegistry::Get(const QString& name) {
    if (ZrWindow* w = Find(name))
        return *w;
    const auto f = factories_.find(name);
    Q_ASSERT_X(f != factories_.end(), "WindowRegistry::Get", qPrintable(name));
    ZrWindow* w = f->second();
    w->setObjectName(name);
    w->setAttribute(Qt::WA_DeleteOnClose);
    windows_[name] = w;
    return *w;
}

ZrWindow* WindowRegistry::Find(const QString& name) const {
    const auto it = windows_.find(name);
    return it == windows_.end() ? nullptr : it->second.data();
}

void WindowRegistry::Unload(const QString& name) {
    const auto it = windows_.find(name);
    if (it == windows_.end())
        return;
    QPointer<ZrWindow> w = it->second;
    windows_.erase(it);
    if (w) {
        w->hide();
        w->deleteLater();
    }
}

void WindowRegistry::Unload(QWidget* window) {
    for (const auto& [name, w] : windows_)
        if (w == window) {
            Unload(QString(name));
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
    for (auto& [name, w] : all)
        if (w) {
            w->hide();
            delete w.data();
        }
}

} // namespace zr::app
