// The desktop program's two command-line parses: the whole Windows command-line text, and the
// arguments one by one.

#include "command_line.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Pairs of bytes as UTF-16 code units, unpaired surrogates included.
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    const zr::app::CommandLineHandOn r = zr::app::ParseCommandLine(text);
    // The name is what is left at the end of the text; nothing is made up.
    ZR_FUZZ_CHECK(r.cmdLine.size() <= text.size());
    ZR_FUZZ_CHECK(text.compare(text.size() - r.cmdLine.size(), r.cmdLine.size(), r.cmdLine) == 0);

    const std::vector<std::string> args = zr::fuzz::Split(data, size);
    // Either every argument is handed on as a file, in order, or none is.
    const std::vector<std::string> files = zr::app::FilesFromArguments(args);
    ZR_FUZZ_CHECK(files.empty() || files == args);
    for (const std::string& file : files)
        ZR_FUZZ_CHECK(!file.empty() && file.front() == '/');
    return 0;
}
