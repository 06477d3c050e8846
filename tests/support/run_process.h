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

} // namespace zr::test
