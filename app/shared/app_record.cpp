#include "app_record.h"

namespace zr::app {

namespace {
AppRecord g_record;
}

AppRecord& Record() { return g_record; }
void ResetRecord() { g_record = AppRecord{}; }

} // namespace zr::app
