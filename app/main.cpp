// The desktop program: every window registered by name and bound to the contracts the other
// windows use, then the startup routine; the program runs until its last window closes or a
// window ends it.

#include "form1.h"
#include "form2.h"
#include "form3.h"
#include "form5.h"
#include "form6.h"
#include "form7.h"
#include "mfiles.h"
#include "path_text.h"
#include "startup.h"
#include "window_contracts.h"
#include "window_registry.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <csignal>

int main(int argc, char** argv) {
#ifdef SIGXFSZ
    // Past a file size limit a write must fail and be reported, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
#ifdef Q_OS_UNIX
    // The file dialog writes its dates in the system locale, not the default one set below; on
    // a machine without a Chinese locale that reads "8 Dec ...". Qt takes the date format of
    // its system locale from LC_TIME when LC_ALL is not set, so name Chinese there before the
    // application object reads it.
    if (qEnvironmentVariableIsEmpty("LC_ALL") &&
        !qEnvironmentVariable("LC_TIME").startsWith(QLatin1String("zh_CN")))
        qputenv("LC_TIME", "zh_CN.UTF-8");
#endif
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("zr"));
    // Window managers and Wayland compositors match the windows to this desktop entry (its
    // icon and name in task bars).
    app.setDesktopFileName(QStringLiteral("org.zrproject.zr"));
    // The whole interface is Chinese, whatever the user's locale: also the toolkit's own
    // dialogs (file and font dialogs, their columns, buttons and dates).
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(chinese);
    QTranslator toolkitTexts;
    if (toolkitTexts.load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&toolkitTexts);
    // The program's icon on every window that does not choose its own, in the sizes title bars
    // and task bars ask for.
    QIcon icon;
    for (const char* size : {"16", "32", "48"})
        icon.addFile(QStringLiteral(":/zr/zr-%1.png").arg(QLatin1String(size)));
    icon.addFile(QStringLiteral(":/zr/zr.png"));
    app.setWindowIcon(icon);

    zr::app::RegisterWindow<zr::ui::Form1>();
    zr::app::RegisterWindow<zr::ui::Form2>();
    zr::app::RegisterWindow<zr::ui::Form3>();
    zr::app::RegisterWindow<zr::ui::mfiles>();
    zr::app::RegisterWindow<zr::ui::Form5>();
    zr::app::RegisterWindow<zr::ui::form6>();
    zr::app::RegisterWindow<zr::ui::Form7>();
    zr::app::BindWindow<zr::app::SingleFileWindow, zr::ui::Form1>();
    zr::app::BindWindow<zr::app::MainMenuWindow, zr::ui::Form3>();
    zr::app::BindWindow<zr::app::BatchRunState, zr::ui::mfiles>();
    zr::app::BindWindow<zr::app::MultiFileWindow, zr::ui::mfiles>();

    // The arguments as the system handed them over (Qt has taken out its own options): a file
    // name that is not UTF-8 keeps its bytes, which QCoreApplication::arguments() would lose.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << zr::platform::TextFromNativeBytes(argv[i]);
    zr::app::RunStartup(QCoreApplication::applicationFilePath(), arguments);
    return app.exec();
}
