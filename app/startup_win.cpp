#include "app_record.h"
#include "command_line.h"
#include "startup.h"

#include <windows.h>

namespace zr::app {

// Windows hands over one command-line text, which the shell builds from the registered command
// "<folder>\zr.exe %1"; the arguments Qt split from it are not used.
QStringList HandedOnFiles(const QStringList&) {
    const wchar_t* text = GetCommandLineW();
    const CommandLineHandOn r =
        ParseCommandLine(text ? std::u16string_view(reinterpret_cast<const char16_t*>(text))
                              : std::u16string_view());
    Record().CmdLine = QString::fromStdU16String(r.cmdLine);
    if (!r.handOn)
        return {};
    return {Record().CmdLine};
}

} // namespace zr::app
