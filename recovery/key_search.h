#pragma once
// Finds the seeds that turn a file's first bytes into what its type must begin with, and the
// shortest key for a seed. Every key reduces to -256 x W with 0 <= W <= 8388607, or to -50 for
// the empty key, so trying every seed is trying every key.

#include "file_layout.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zr {

inline constexpr std::int32_t kEmptyKeySeed = -50;

struct SeedMatch {
    std::int32_t seed = 0;
    const FileLayout* layout = nullptr;
    double evidence = 0; // bits, as CheckLayout counts them
    bool Confident() const { return evidence >= kConfidentBits; }
};

struct SeedSearch {
    // The most plausible first: confident ones, then those with a key that can be typed, then
    // by evidence. At most kKept.
    std::vector<SeedMatch> matches;
    std::size_t passed = 0; // seeds whose result passed a check, kept or not
    bool tooShort = false;  // a layout had too few bytes to narrow the seeds down at all
    static constexpr std::size_t kKept = 16;
};

// encryptedHead: the file's first bytes as stored (up to kHeadBytes); size: its length.
SeedSearch FindSeeds(std::span<const std::uint8_t> encryptedHead, std::uint64_t size,
                     const std::vector<const FileLayout*>& layouts);

enum class KeyKind {
    Printable, // printable ASCII: typed anywhere
    Empty,     // the empty key
    Control,   // only control characters have this seed: --key-stdin takes them, a window not
};

struct KeyText {
    std::string text;
    KeyKind kind = KeyKind::Printable;
};

// The shortest key with this seed, letters and digits where the length allows, checked by
// deriving its seed. nullopt for a value that no key reduces to.
std::optional<KeyText> ShortestKeyFor(std::int32_t seed);

} // namespace zr
