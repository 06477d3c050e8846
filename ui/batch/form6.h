#pragma once
// The key confirmation dialog of a batch run: takes the key a second time, hides itself, and
// when both entries agree hands the key over to the multi-file window's run.

#include "zr_window.h"

#include <memory>

namespace Ui {
class form6;
}

namespace zr::ui {

class form6 : public zr::app::ZrWindow {
    Q_OBJECT
public:
    static constexpr const char* kName = "form6";
    form6();
    ~form6() override;

    void Command1_clicked();
    void Command2_clicked();

protected:
    // The frame's close button acts as the cancel button.
    bool OnClose() override;

private:
    std::unique_ptr<Ui::form6> ui_;
};

} // namespace zr::ui
