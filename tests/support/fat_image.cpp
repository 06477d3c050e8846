#include "fat_image.h"

#include "run_process.h"

#include <chrono>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace zr::test {

namespace fs = std::filesystem;

namespace {

// The first of a few usual places where the program is installed, or empty.
std::string program(const char* name) {
    for (const char* dir : {"/usr/bin/", "/usr/sbin/", "/sbin/", "/bin/"}) {
        const std::string path = std::string(dir) + name;
        if (::access(path.c_str(), X_OK) == 0)
            return path;
    }
    return {};
}

bool mounted(const fs::path& at) {
    struct stat inner {};
    struct stat outer {};
    return ::stat(at.c_str(), &inner) == 0 && ::stat(at.parent_path().c_str(), &outer) == 0 &&
           inner.st_dev != outer.st_dev;
}

} // namespace

FatImage::FatImage() : mount_(dir_ / "mnt") {
    const std::string mkfs = program("mkfs.vfat"), fuse = program("fusefat");
    if (mkfs.empty() || fuse.empty()) {
        why_ = "fusefat or mkfs.vfat is not installed (Debian packages fusefat, dosfstools)";
        return;
    }
    if (::access("/dev/fuse", R_OK | W_OK) != 0) {
        why_ = "/dev/fuse is not available to this process";
        return;
    }
    const fs::path image = dir_ / "fat.img";
    fs::create_directory(mount_);
    ProcessResult r = RunProcess({mkfs, "-C", image.string(), "20480"});
    if (r.exitCode != 0) {
        why_ = "mkfs.vfat failed: " + r.err;
        return;
    }
    r = RunProcess({fuse, "-o", "rw+", image.string(), mount_.string()});
    for (int i = 0; i < 100 && !mounted(mount_); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!mounted(mount_))
        why_ = "fusefat could not mount the image: " + r.err;
}

FatImage::~FatImage() {
    if (!ok())
        return;
    const std::string unmount = program("fusermount");
    for (int i = 0; i < 50 && mounted(mount_); ++i) {
        RunProcess({unmount, "-u", mount_.string()});
        if (mounted(mount_))
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace zr::test
