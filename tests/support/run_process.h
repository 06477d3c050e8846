#pragma once
// Runs a program with given standard input and collects its output and exit status.

#include <string>
#include <vector>

namespace zr::test {

struct ProcessResult {
    int exitCode = -1; // -1 when it did not exit normally
    std::string out;
    std::string err;
};

// stdinText is written to the child's standard input, which is then closed (at once when it
// is empty). The child runs in a session of its own, without a controlling terminal.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& stdinText = {},
                         const std::vector<std::string>& extraEnv = {});

inline int LineCount(const std::string& text) {
    int n = 0;
    for (char c : text)
        n += c == '\n';
    return n;
}

#ifdef ZR_CLI_PATH
// zr-cli with the given arguments (the test target defines where the program is).
inline ProcessResult RunCli(std::vector<std::string> args, const std::string& stdinText = {}) {
    args.insert(args.begin(), ZR_CLI_PATH);
    return RunProcess(args, stdinText);
}
#endif

} // namespace zr::test
