#pragma once
// The about message, the same from every window that offers it.

class QWidget;

namespace zr::ui {

// "版本：1.0    作者：zr 开发组" titled "加密解密", OK only, no icon; blocks until closed.
void ShowAbout(QWidget* parent);

} // namespace zr::ui
