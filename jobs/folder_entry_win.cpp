#include "folder_job.h"

#include <windows.h>

namespace zr::detail {

// Files the system marks as its own are not listed, as Explorer hides them too.
bool IsSystemFile(const std::filesystem::path& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_SYSTEM) != 0;
}

} // namespace zr::detail
