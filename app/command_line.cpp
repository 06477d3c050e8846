#include "command_line.h"

namespace zr::app {

namespace {

bool StartsWithProgramName(std::u16string_view text) {
    static constexpr char16_t kName[] = u"zr.exe";
    if (text.size() < 6)
        return false;
    for (std::size_t i = 0; i < 6; ++i) {
        char16_t c = text[i];
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != kName[i])
            return false;
    }
    return true;
}

} // namespace

CommandLineHandOn ParseCommandLine(std::u16string_view commandLine) {
    std::u16string_view rest = commandLine;
    while (!rest.empty() && !StartsWithProgramName(rest))
        rest.remove_prefix(1);
    // Positions below count from 1, as in "character 9"; index = position - 1.
    if (rest.size() > 9) {
        if (rest[8] == u':')
            rest.remove_prefix(7);
        if (rest.size() >= 10 && rest[9] == u':')
            rest.remove_prefix(8);
    }
    return {std::u16string(rest), !StartsWithProgramName(rest)};
}

std::vector<std::string> FilesFromArguments(const std::vector<std::string>& arguments) {
    for (const std::string& a : arguments)
        if (a.empty() || a.front() != '/')
            return {};
    return arguments;
}

} // namespace zr::app
