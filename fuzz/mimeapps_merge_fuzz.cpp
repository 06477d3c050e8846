// Making zr the default for its type in the user's mimeapps.list: a file where the user chose
// for the type is left as it is; otherwise zr's default is there afterwards. Merging again
// changes nothing, and removing zr's default takes it away again.

#include "fuzz_check.h"
#include "xdg_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace xdg = zr::app::xdg;
    const std::string text = zr::fuzz::Text(data, size);
    const std::string merged = xdg::MergeMimeApps(text);
    if (xdg::MimeAppsHasUserChoice(text))
        ZR_FUZZ_CHECK(merged == text);
    else
        ZR_FUZZ_CHECK(xdg::MimeAppsNamesZr(merged));
    ZR_FUZZ_CHECK(xdg::MergeMimeApps(merged) == merged);
    ZR_FUZZ_CHECK(!xdg::MimeAppsNamesZr(xdg::RemoveMimeAppsDefault(merged)));
    return 0;
}
