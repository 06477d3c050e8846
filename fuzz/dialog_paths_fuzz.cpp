// File names between the dialogs' texts and the file system: every name, UTF-8 or not (a GBK
// name from an archive), must come back from its text byte for byte, or the shredder and the
// windows would act on another file than the one chosen.

#include "fuzz_check.h"
#include "path_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes = zr::fuzz::Text(data, size);
    const std::filesystem::path path(bytes);
    const QString text = zr::platform::TextFromPath(path);
    ZR_FUZZ_CHECK(zr::platform::PathFromText(text).native() == path.native());
    ZR_FUZZ_CHECK(zr::platform::TextFromNativeBytes(bytes.c_str()) ==
                  zr::platform::TextFromPath(std::filesystem::path(bytes.c_str())));

    // Any text at all (pairs of bytes as UTF-16, lone surrogates included) gives a path.
    QString any;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        any += QChar(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    (void)zr::platform::PathFromText(any);
    return 0;
}
