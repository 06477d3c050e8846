#pragma once
// Inside the file layer: the replacement policy's platform part, and how a temporary file's
// name tells who writes it, so that leftovers of killed processes can be told from files still
// being written.
//
// A temporary name is "." + the target's name (cut to fit) + ".zr-" + host-boot-pid-start-random,
// in lower-case letters and digits: the computer (a hash of its name: a folder on a network
// drive is shared), the system's start (a leftover from before a restart has no writer), the
// process id, and the process's start time, which tells it from a later process given the same
// id.

#include "file_io.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace zr::io::detail {

// Refuses, with the reason, a target that TempFile may not replace.
bool Replaceable(const TargetInfo& target, IoError& error);
// Whether this user may write the earlier regular file at target.real.
bool UserMayWrite(const TargetInfo& target, IoError& error);

struct Writer {
    std::string host;
    std::string boot;
    std::uint64_t pid = 0;
    std::string start;
    bool operator==(const Writer&) const = default;
};

// This process; host or boot is empty where the system does not tell.
const Writer& OwnWriter();
// The process with this id now, or nullopt when none runs (unknown processes count as running).
std::optional<Writer> RunningProcess(std::uint64_t pid);
// Removes path when it is a regular file that this user may remove as its own.
void RemoveIfOwnFile(const std::filesystem::path& path);

// "host-boot-pid-start-": the part of a temporary name before its random end.
std::string WriterPart(const Writer& w);
// The writer named in a temporary file's name, or nullopt when the name is not one of ours.
std::optional<Writer> WriterOfTempName(const std::filesystem::path& name);

} // namespace zr::io::detail
