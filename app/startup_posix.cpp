#include "app_record.h"
#include "command_line.h"
#include "startup.h"

namespace zr::app {

std::optional<QString> HandedOnFile(const QStringList& arguments) {
    std::vector<std::string> args;
    for (const QString& a : arguments)
        args.push_back(a.toStdString());
    const std::optional<std::string> file = FileFromArguments(args);
    Record().CmdLine = file ? QString::fromStdString(*file) : QString();
    if (!file)
        return std::nullopt;
    return Record().CmdLine;
}

} // namespace zr::app
