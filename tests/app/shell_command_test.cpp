// The registered command, as the shell expands it, must reach the startup as the whole file.
#include "command_line.h"
#include "registry_rows.h"

#include <gtest/gtest.h>

namespace zr::app {
namespace {

// What the shell starts: the registered command with %1 replaced by the chosen file.
std::u16string expand(const std::string& command, const std::string& file) {
    std::string line = command;
    line.replace(line.find("%1"), 2, file);
    return std::u16string(line.begin(), line.end()); // the texts here are ASCII
}

TEST(ShellCommand, QuotedProgramPathHandsOverAFileWithBlanksWhole) {
    for (const std::string folder : {"C:\\Tools", "C:\\Program Files\\zr tools", "D:\\a b\\c"}) {
        SCOPED_TRACE(folder);
        const auto parsed =
            ParseCommandLine(expand(OpenCommand(folder), "C:\\My Files\\report 1.doc"));
        EXPECT_TRUE(parsed.handOn);
        EXPECT_EQ(parsed.cmdLine, u"C:\\My Files\\report 1.doc");
    }
}

} // namespace
} // namespace zr::app
