#pragma once
// The title marquee of the single-file window and the main menu: a title that scrolls in from
// the right and out at the left (50 ticks), then two credit lines with blinks (22 ticks).

#include <QString>

namespace zr::ui {

// 42 blanks and "文件加密/解密", 49 characters.
QString MarqueeTitle();
inline const char* const kAuthorCredit = "作者：zr 开发组";
inline const char* const kInstitutionCredit = "zr 开源项目";

// One tick. count is the countdown (50 at every load of the window), alt the phase flag (kept
// across loads); both live in the shared record. Returns the caption to show.
QString MarqueeStep(int& count, bool& alt,
                    const QString& authorLine = QString::fromUtf8(kAuthorCredit),
                    const QString& institutionLine = QString::fromUtf8(kInstitutionCredit));

} // namespace zr::ui
