// The checks of how a decrypted file of each known type begins (ZIP, PDF, JPEG, PE, tar, text,
// ...): they read fields of whatever bytes a key produced, so any bytes must be judged without
// reading past them, and a verdict is a finite amount of evidence.

#include "file_layout.h"
#include "fuzz_check.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The claimed file size: as long as the bytes, or (first byte odd) far longer, as when only
    // the head of a large file was read.
    const std::uint64_t fileSize = size > 0 && (data[0] & 1) ? std::uint64_t{1} << 33 : size;
    for (const zr::FileLayout* layout : zr::AllLayouts()) {
        const std::span<const std::uint8_t> head(data, std::min(size, layout->head));
        const zr::LayoutMatch m = zr::CheckLayout(*layout, head, fileSize);
        ZR_FUZZ_CHECK(!m.ok || std::isfinite(m.evidence));
    }
    return 0;
}
