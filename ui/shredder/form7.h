#pragma once
// The shredder window: choose files in the open dialog and destroy them in the mode of the
// selected option button, then close. The work runs off the UI thread; the window takes no
// input until it closes.

#include "background_job.h"
#include "dialogs.h"
#include "shred_file.h"
#include "zr_window.h"

#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace Ui {
class Form7;
}

namespace zr::ui {

class Form7 : public zr::app::ZrWindow {
    Q_OBJECT
public:
    static constexpr const char* kName = "Form7";

    Form7();
    ~Form7() override;

    bool IsShredding() const { return job_.IsRunning(); }

    // The one help text: its three paragraphs joined by a line feed and a carriage return.
    static QString HelpText();

protected:
    bool OnClose() override;

private slots:
    void Command1_clicked();
    void Command2_clicked();
    void Command3_clicked();
    void Job_finished();

private:
    // The mode of the first selected option button, looked at in the order Option1, Option2,
    // Option3; none when no button is selected.
    std::optional<ShredMode> SelectedMode() const;

    std::unique_ptr<::Ui::Form7> ui_;
    zr::platform::CommonDialog CommonDialog1;
    zr::platform::BackgroundJob job_;
    // Filled by the worker while it runs, read on the UI thread once it has finished.
    std::vector<ShredResult> failures_;
};

} // namespace zr::ui
