#pragma once
// How the startup finds the file it was started for. Pure text work, no toolkit, so that the
// Windows parse is also built and tested for Windows.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zr::app {

struct CommandLineHandOn {
    std::u16string cmdLine; // the command-line text as the parse leaves it
    bool handOn = false;    // true: the single-file window opens for cmdLine
};

// The whole command-line text of a Windows process (GetCommandLineW): the program's path,
// quoted or not, a blank and one file path beginning with a drive letter. The text is cut to
// the file name after the first "zr.exe" (any letter case) as follows:
//  - everything in front of the first "zr.exe" is dropped (all of it when there is none);
//  - if the rest is longer than 9 characters: when character 9 is ':' (unquoted program path)
//    the name starts at character 8; then, on that result, when character 10 is ':' (quoted
//    program path) the name starts at character 9. The name runs to the end of the text.
// Anything still beginning with "zr.exe" opens the main menu; everything else, including an
// empty text, is handed on.
CommandLineHandOn ParseCommandLine(std::u16string_view commandLine);

// Where arguments arrive one by one: the files when every argument is an absolute path
// (beginning with '/'), as a file manager passes its selection; otherwise none, and the main
// menu opens. One file opens the single-file window, several the multi-file window.
std::vector<std::string> FilesFromArguments(const std::vector<std::string>& arguments);

} // namespace zr::app
