#include "startup.h"

#include "app_record.h"
#include "path_text.h"
#include "shell_association.h"
#include "window_contracts.h"
#include "window_registry.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>
#include <filesystem>

namespace zr::app {

void RunStartup(const QString& programFile, const QStringList& arguments) {
    Record().AppPath = QDir::toNativeSeparators(QFileInfo(programFile).absolutePath());
    // Before the command line is read, and whatever becomes of it.
    WriteShellAssociation(platform::PathFromText(programFile));

    if (const std::optional<QString> file = HandedOnFile(arguments)) {
        SingleFileWindow& form1 = Window<SingleFileWindow>();
        form1.ShowForFile();
        form1.SetFile(*file);
        form1.Widget().activateWindow();
        return;
    }
    Windows().Get(QStringLiteral("Form3")).show();
}

} // namespace zr::app
