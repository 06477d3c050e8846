#include "startup.h"

#include "app_record.h"
#include "path_text.h"
#include "shell_association.h"
#include "target_name.h"
#include "window_registry.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

namespace zr::app {

void RunStartup(const QString& programFile, const QStringList& arguments) {
    Record().AppPath = QDir::toNativeSeparators(QFileInfo(programFile).absolutePath());
    // Before the command line is read, and whatever becomes of it.
    WriteShellAssociation(platform::PathFromText(programFile));

    if (const std::optional<QString> file = HandedOnFile(arguments)) {
        ZrWindow& form1 = Windows().Get(QStringLiteral("Form1"));
        form1.show();
        Control<QLineEdit>(form1, "T_SourceFile")->setText(*file);
        Control<QLineEdit>(form1, "T_TargetFile")
            ->setText(QString::fromStdU16String(TargetNameFor(file->toStdU16String())));
        Control<QPushButton>(form1, "C_Ok")->setVisible(true);
        Control<QLineEdit>(form1, "T_EnCode")->setFocus();
        form1.activateWindow();
        return;
    }
    Windows().Get(QStringLiteral("Form3")).show();
}

} // namespace zr::app
