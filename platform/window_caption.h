#pragma once
// The caption of a top-level window as the window system shows it. For an empty title the
// toolkit puts the program's name into the title bar ("zr"); a window whose caption is meant
// to be empty (a title marquee between two texts) must show nothing there.

#include <QString>

class QWidget;

namespace zr::platform {

// Sets the caption of window; an empty caption is empty in the title bar too.
void SetWindowCaption(QWidget* window, const QString& caption);

// Writes the empty caption into the native window again, once the toolkit has made it (it
// names the program there when it creates the window). Does nothing before that, or when the
// caption is not empty. One implementation per window system.
void KeepEmptyCaption(QWidget* window);

} // namespace zr::platform
