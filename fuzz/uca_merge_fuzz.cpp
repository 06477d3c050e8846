// Putting our action into the user's Thunar uca.xml and taking it out: whatever the file holds,
// the merge keeps it or leaves it alone, merging again changes nothing, and the removal takes
// away only our action.

#include "fuzz_check.h"
#include "xdg_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    namespace xdg = zr::app::xdg;
    static const std::string action = xdg::ThunarAction("/usr/bin/zr");
    const std::string text = zr::fuzz::Text(data, size);
    if (const std::optional<std::string> removed = xdg::RemoveThunarAction(text))
        ZR_FUZZ_CHECK(removed->size() <= text.size());
    const std::optional<std::string> merged = xdg::MergeThunarActions(text, action);
    if (!merged)
        return 0;
    ZR_FUZZ_CHECK(merged->find(action) != std::string::npos && xdg::HasThunarAction(*merged));
    const std::optional<std::string> again = xdg::MergeThunarActions(*merged, action);
    ZR_FUZZ_CHECK(again && *again == *merged);
    return 0;
}
