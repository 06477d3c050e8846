#pragma once
// What zr has written into the user's home for the desktop, kept beside the user's other
// settings: so that a file the user deleted or changed is left as the user left it, so that
// `zr-cli desktop remove` takes away exactly what zr wrote, and so that after it zr writes
// nothing until `zr-cli desktop install`. Pure: parsing and formatting only.

#include "xdg_files.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zr::app::xdg {

// FNV-1a, 64 bits: tells whether a file is still as zr left it; not a defence against anyone.
std::uint64_t ContentHash(std::string_view text);

struct RecordEntry {
    FileKind kind = FileKind::Whole;
    std::filesystem::path path;
    std::uint64_t hash = 0; // the whole file as zr last wrote it
    bool created = false;   // shared files: zr made the file, so it may take it away again
    bool operator==(const RecordEntry&) const = default;
};

struct Record {
    bool enabled = true;
    std::vector<RecordEntry> entries;
    std::vector<std::filesystem::path> folders; // folders zr created, to remove when empty

    const RecordEntry* Find(const std::filesystem::path& path) const;
    void Set(const RecordEntry& entry);
    void Erase(const std::filesystem::path& path);
    bool operator==(const Record&) const = default;
};

std::filesystem::path RecordPath(const Places& places);
std::string FormatRecord(const Record& record);
// Lines that cannot be read are skipped: a damaged record only makes zr forget, never delete.
Record ParseRecord(const std::string& text);

} // namespace zr::app::xdg
