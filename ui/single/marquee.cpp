#include "marquee.h"

namespace zr::ui {

QString MarqueeTitle() {
    return QString(42, QLatin1Char(' ')) + QStringLiteral("文件加密/解密");
}

QString MarqueeStep(int& count, bool& alt, const QString& authorLine,
                    const QString& institutionLine) {
    if (count == 0) {
        count = 50;
        alt = !alt;
    }
    const int c = --count;
    if (!alt)
        return MarqueeTitle().right(c);
    QString caption = authorLine;
    if (c == 45 || c == 40 || c == 35 || c == 34 || c == 28)
        caption.clear(); // a blink
    if (c >= 29 && c <= 33)
        caption = institutionLine;
    if (c == 28)
        count = 0; // the next tick starts the title phase
    return caption;
}

} // namespace zr::ui
