#pragma once
// Destroys one file in one of three ways. Only regular files are cut or overwritten; a
// symbolic link is never followed (shredding it removes the link alone), and anything else
// (a folder, FIFO, socket or device) is refused without being opened.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zr {

enum class ShredMode {
    Normal,   // give the owner write permission, delete
    Quick,    // cut to length 0, flush, delete
    Thorough, // overwrite the whole length once with zero bytes, flush, delete
};

// The thorough overwrite writes blocks of this many bytes, and a shorter last block.
inline constexpr std::int64_t kShredBlock = 32768;

enum class ShredStep {
    None,       // success
    Inspect,    // the name could not be looked up (missing, no access, empty)
    NotRegular, // a folder, FIFO, socket or device: refused untouched
    Open,       // the file could not be opened for writing
    Cut,        // cutting it to length 0 failed
    Write,      // writing the zeros failed; the file may be partly overwritten
    Flush,      // the cut or the zeros could not be flushed to the device
    Delete,     // the name could not be removed
    Replaced,   // the name led to another file once the work was done: it stays
};

struct ShredResult {
    ShredStep step = ShredStep::None;
    std::filesystem::path path;
    int code = 0;       // the system's error code, 0 where none applies
    std::string reason; // the system's reason, Simplified Chinese, UTF-8
    bool ok() const { return step == ShredStep::None; }
};

ShredResult ShredFile(const std::filesystem::path& path, ShredMode mode);

// "无法删除：/a/b（没有访问权限）": what failed, the file, and why, in the form of the other
// failures the program reports. Empty for success.
std::string ShredFailureText(const ShredResult& result);

// "normal", "quick", "thorough" (as zr-cli takes them).
std::optional<ShredMode> ParseShredMode(std::string_view name);

} // namespace zr
