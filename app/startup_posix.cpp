#include "app_record.h"
#include "command_line.h"
#include "path_text.h"
#include "startup.h"

namespace zr::app {

QStringList HandedOnFiles(const QStringList& arguments) {
    // Whether names are handed on is decided on their bytes, and the files go on with them.
    std::vector<std::string> args;
    for (const QString& a : arguments)
        args.push_back(platform::PathFromText(a).native());
    QStringList files;
    for (const std::string& file : FilesFromArguments(args))
        files << platform::TextFromNativeBytes(file.c_str());
    Record().CmdLine = files.size() == 1 ? files.front() : QString();
    return files;
}

} // namespace zr::app
