#include "app_record.h"
#include "command_line.h"
#include "path_text.h"
#include "startup.h"

namespace zr::app {

std::optional<QString> HandedOnFile(const QStringList& arguments) {
    // Whether a name is handed on is decided on its bytes, and the file goes on with them.
    std::vector<std::string> args;
    for (const QString& a : arguments)
        args.push_back(platform::PathFromText(a).native());
    const std::optional<std::string> file = FileFromArguments(args);
    Record().CmdLine = file ? platform::TextFromNativeBytes(file->c_str()) : QString();
    if (!file)
        return std::nullopt;
    return Record().CmdLine;
}

} // namespace zr::app
