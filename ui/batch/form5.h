#pragma once
// The key entry dialog of a batch run: takes the key, refuses one the cipher cannot use, and
// hands over to the confirmation dialog form6.

#include "zr_window.h"

#include <memory>

namespace Ui {
class Form5;
}

namespace zr::ui {

class Form5 : public zr::app::ZrWindow {
    Q_OBJECT
public:
    static constexpr const char* kName = "Form5";
    Form5();
    ~Form5() override;

    void Command1_clicked();
    void Command2_clicked();

protected:
    // The frame's close button acts as the cancel button.
    bool OnClose() override;

private:
    std::unique_ptr<Ui::Form5> ui_;
};

// The message for a key outside the cipher's limits, with its title.
inline const char* const kKeyRefusedText = "密钥只能由英文字母、数字和半角符号组成，且不能太长！";
inline const char* const kKeyRefusedTitle = "注意：";

} // namespace zr::ui
