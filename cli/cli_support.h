#pragma once
// What every zr-cli command shares: argument scanning, the key prompt, the progress bar and
// the exit codes.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zr::cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct Args {
    std::vector<std::string> positional;
    std::vector<std::string> flags;                          // "--key-stdin", ...
    std::vector<std::pair<std::string, std::string>> values; // "--mode" "quick"
    std::string error; // set when an option is unknown, repeated or lacks a value
    bool Has(const std::string& flag) const;
    std::optional<std::string> Value(const std::string& name) const;
};

// Splits argv after the command name. knownFlags take no value, valueOptions take the next
// argument (or "--name=value"); "--" ends the options. An option given twice is an error.
Args ParseArgs(int argc, char** argv, int first, const std::vector<std::string>& knownFlags,
               const std::vector<std::string>& valueOptions = {});

// The key: with fromStdin one line of standard input (line ending stripped); otherwise asked
// twice on the terminal without echo. Returns nullopt after printing the reason, with the exit
// code to end with in failureExit (kExitUsage when there is no terminal to ask on).
std::optional<std::string> ReadKey(bool fromStdin, int& failureExit);
// ReadKey, then the key's seed; a key outside the limits is refused with its reason.
std::optional<std::int32_t> ReadSeed(bool fromStdin, int& failureExit);

// A progress bar on standard error, drawn only when that is a terminal.
class ProgressBar {
public:
    explicit ProgressBar(std::string label);
    // Whether bars are drawn at all (standard error is a terminal): a caller with many files
    // need not make a label for each when none is shown.
    static bool Drawn();
    ~ProgressBar();
    void Update(int percent);
    void Finish();

private:
    std::string label_;
    int shown_ = -1;
    bool active_;
};

void PrintError(const std::string& text);
void PrintUsageError(const std::string& text);

// While it lives, Ctrl-C (SIGINT), SIGTERM and a hang-up ask the running job to stop instead
// of killing the process: the job then removes its unfinished temporary file, which a file
// system without unnamed files would otherwise keep. The earlier actions come back after.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
    // The flag to hand to the job; set once a signal has come.
    const std::atomic<bool>* Flag() const;
    // The exit status for the signal that came: 128 + its number, as a shell reports it.
    int ExitCode() const;
};

// Ignores SIGXFSZ so that a file-size limit comes back as a write error, not a dead process.
void PrepareProcess();

} // namespace zr::cli
