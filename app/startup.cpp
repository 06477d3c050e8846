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

    const QStringList files = HandedOnFiles(arguments);
    if (files.size() == 1) {
        SingleFileWindow& form1 = Window<SingleFileWindow>();
        form1.ShowForFile();
        form1.SetFile(files.front());
        form1.Widget().activateWindow();
        return;
    }
    if (files.size() > 1) {
        Window<MultiFileWindow>().ShowForFiles(files);
        return;
    }
    Windows().Get(QStringLiteral("Form3")).show();
}

} // namespace zr::app
