#include "temp_dir.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace zr::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
#ifdef _WIN32
    // No mkdtemp: try random names until one is new.
    std::mt19937_64 rng{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path p = fs::temp_directory_path() / ("zr-test-" + std::to_string(rng() % 1000000000));
        if (::CreateDirectoryW(p.c_str(), nullptr)) {
            path_ = p;
            return;
        }
    }
    std::abort();
#else
    std::string tmpl = (fs::temp_directory_path() / "zr-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data()))
        std::abort();
    path_ = tmpl;
#endif
}

TempDir::~TempDir() {
    std::error_code ec;
    // Undo anything a test made unremovable.
    for (auto it = fs::recursive_directory_iterator(path_, ec); it != fs::recursive_directory_iterator(); it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::vector<std::string> TempDir::Names() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(path_))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::uint8_t> PatternBytes(std::size_t size, std::uint32_t salt) {
    std::vector<std::uint8_t> v(size);
    std::uint32_t x = 2463534242u ^ salt;
    for (auto& b : v) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x);
    }
    return v;
}

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

#ifdef _WIN32
bool CanMount() {
    return false;
}
SmallTmpfs::SmallTmpfs(const fs::path& where, std::size_t) : where_(where) {}
SmallTmpfs::~SmallTmpfs() {}
ReadOnlyBind::ReadOnlyBind(const fs::path&, const fs::path& at) : at_(at) {}
ReadOnlyBind::~ReadOnlyBind() {}
#else
bool CanMount() {
    static const bool can = [] {
        if (::geteuid() != 0)
            return false;
        TempDir probe;
        SmallTmpfs t(probe.path(), 65536);
        return t.ok();
    }();
    return can;
}

SmallTmpfs::SmallTmpfs(const fs::path& where, std::size_t bytes) : where_(where) {
    const std::string opts = "size=" + std::to_string(bytes) + ",mode=0777";
    ok_ = ::mount("zr-test", where.c_str(), "tmpfs", 0, opts.c_str()) == 0;
}

SmallTmpfs::~SmallTmpfs() {
    if (ok_)
        ::umount2(where_.c_str(), MNT_DETACH);
}

ReadOnlyBind::ReadOnlyBind(const fs::path& from, const fs::path& at) : at_(at) {
    if (::mount(from.c_str(), at.c_str(), nullptr, MS_BIND, nullptr) != 0)
        return;
    // A bind mount takes the read-only flag only when it is mounted again.
    ok_ = ::mount(nullptr, at.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    if (!ok_)
        ::umount2(at.c_str(), MNT_DETACH);
}

ReadOnlyBind::~ReadOnlyBind() {
    if (ok_)
        ::umount2(at_.c_str(), MNT_DETACH);
}

#endif

} // namespace zr::test
