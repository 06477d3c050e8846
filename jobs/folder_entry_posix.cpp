#include "folder_job.h"

namespace zr::detail {

// Linux and the other POSIX systems have no system-file attribute.
bool IsSystemFile(const std::filesystem::path&) {
    return false;
}

} // namespace zr::detail
