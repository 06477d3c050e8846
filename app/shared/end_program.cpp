#include "end_program.h"

#include "window_registry.h"

#include <QCoreApplication>

namespace zr::app {

namespace {
std::function<void()>& action() {
    static std::function<void()> a;
    return a;
}
} // namespace

void EndProgram() {
    if (action()) {
        action()();
        return;
    }
    Windows().UnloadAll();
    QCoreApplication::exit(0);
}

void SetEndProgramAction(std::function<void()> a) { action() = std::move(a); }

} // namespace zr::app
