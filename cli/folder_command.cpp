#include "cli_support.h"
#include "commands.h"

namespace zr::cli {

int RunFolder(int, char**, int) {
    PrintError("此命令尚未提供");
    return kExitUsage;
}

} // namespace zr::cli
