#include "menu_logic.h"

#include <climits>

namespace zr::ui {

Rgb CgaColor(int index) {
    static constexpr Rgb palette[16] = {
        {0, 0, 0},       {0, 0, 128},   {0, 128, 0},   {0, 128, 128},
        {128, 0, 0},     {128, 0, 128}, {128, 128, 0}, {192, 192, 192},
        {128, 128, 128}, {0, 0, 255},   {0, 255, 0},   {0, 255, 255},
        {255, 0, 0},     {255, 0, 255}, {255, 255, 0}, {255, 255, 255},
    };
    return palette[((index % 16) + 16) % 16];
}

int TagValue(std::string_view tag) {
    std::size_t i = 0;
    while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < tag.size() && (tag[i] == '+' || tag[i] == '-'))
        negative = tag[i++] == '-';
    long long value = 0;
    for (; i < tag.size() && tag[i] >= '0' && tag[i] <= '9'; ++i) {
        value = value * 10 + (tag[i] - '0');
        if (value > INT_MAX) // a value no palette index can equal
            return INT_MAX;
    }
    return static_cast<int>(negative ? -value : value);
}

int ChcStep(int current, int color1, int color2, int color3) {
    if (current == color1)
        return color2;
    if (current == color2)
        return color3;
    return color1;
}

ExitLabelTick StepExitLabel(int count) {
    ++count;
    if (count >= 4)
        return {0, true};
    return {count < 0 ? 0 : count, false};
}

} // namespace zr::ui
