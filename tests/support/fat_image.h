#pragma once
// A FAT file system mounted through FUSE (fusefat): a folder that compares names ignoring case
// and whose driver gives each spelling of a name its own inode number, and where no unnamed
// temporary files can be made. Tests skip, saying why, where the machine cannot mount one.

#include "temp_dir.h"

#include <filesystem>
#include <string>

namespace zr::test {

class FatImage {
public:
    FatImage();
    ~FatImage();
    FatImage(const FatImage&) = delete;
    FatImage& operator=(const FatImage&) = delete;

    bool ok() const { return why_.empty(); }
    // Why it could not be mounted.
    const std::string& why() const { return why_; }
    // The mounted folder.
    const std::filesystem::path& path() const { return mount_; }
    std::filesystem::path operator/(const std::string& name) const { return mount_ / name; }

private:
    TempDir dir_;
    std::filesystem::path mount_;
    std::string why_;
};

} // namespace zr::test
