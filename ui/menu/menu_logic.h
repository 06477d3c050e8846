#pragma once
// The main menu's animations without a window: the colour cycle of a control (chc) over the
// standard 16-colour palette, and the exit label's tick.

#include <string_view>

namespace zr::ui {

struct Rgb {
    int red = 0, green = 0, blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The colour of a palette index 0..15 of the standard CGA palette; indices outside it wrap.
Rgb CgaColor(int index);

// The numeric value of a control's Tag text as the colour cycle reads it: leading blanks, an
// optional sign and the digits that follow; an empty or non-numeric text reads as 0.
int TagValue(std::string_view tag);

// One step of chc: after color1 comes color2, after color2 color3, and after color3 (or any
// other index) color1 again. Returns the index to store in the Tag and paint with.
int ChcStep(int current, int color1, int color2, int color3);

struct ExitLabelTick {
    int count = 0;         // the exit-label tick count after this tick, 0 to 3
    bool showExit = false; // the label reads "退          出" (else the designer line)
};

// The exit label's tick: the count goes up by one; on reaching 4 it is 0 again and the label
// shows the exit text, so three ticks of the designer line are followed by one of "退出".
ExitLabelTick StepExitLabel(int count);

} // namespace zr::ui
