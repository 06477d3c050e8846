#include "shell_association.h"

namespace zr::app {

void WriteShellAssociation(const std::filesystem::path&) {}

} // namespace zr::app
