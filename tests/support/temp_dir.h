#pragma once
// A fresh folder per test, removed afterwards, and small helpers for file contents.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zr::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    // The names in the folder, sorted.
    std::vector<std::string> Names() const;

private:
    std::filesystem::path path_;
};

std::vector<std::uint8_t> PatternBytes(std::size_t size, std::uint32_t salt = 1);
void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path);

// Whether this process may mount file systems (root in CI); tests that need a full disk or a
// read-only folder are skipped otherwise.
bool CanMount();

// A small tmpfs mounted over a fresh folder, for a full disk; unmounted on destruction.
class SmallTmpfs {
public:
    explicit SmallTmpfs(const std::filesystem::path& where, std::size_t bytes);
    ~SmallTmpfs();
    bool ok() const { return ok_; }

private:
    std::filesystem::path where_;
    bool ok_ = false;
};

// The folder from, seen read-only at the existing folder at (a bind mount), as a read-only
// file system shows it: nothing in it can be made, changed or deleted through at. Unmounted on
// destruction.
class ReadOnlyBind {
public:
    ReadOnlyBind(const std::filesystem::path& from, const std::filesystem::path& at);
    ~ReadOnlyBind();
    ReadOnlyBind(const ReadOnlyBind&) = delete;
    ReadOnlyBind& operator=(const ReadOnlyBind&) = delete;
    bool ok() const { return ok_; }

private:
    std::filesystem::path at_;
    bool ok_ = false;
};

} // namespace zr::test
