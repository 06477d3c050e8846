#pragma once
// Reduces the key the user typed to the signed 32-bit seed that restarts the keystream.

#include <cstdint>
#include <string_view>

namespace zr {

enum class KeyError {
    None,
    NonAscii, // a character outside codes 0 to 127
    TooLong,  // the position-weighted sum of the codes exceeds 8388607
};

struct KeySeed {
    std::int32_t seed = 0;
    KeyError error = KeyError::None;
    bool ok() const { return error == KeyError::None; }
};

// The largest accepted weighted sum: 256 x 8388607 is the largest multiple of 256 in 32 bits.
inline constexpr std::int64_t kMaxKeyWeight = 8388607;

// -50 for the empty key; otherwise -S with S = sum of (code x 256) x position (from 1).
// The key as UTF-16 (from Qt) or as UTF-8 bytes (from a terminal). Any non-ASCII character
// is refused, never converted.
KeySeed DeriveKeySeed(std::u16string_view key);
KeySeed DeriveKeySeed(std::string_view utf8Key);

// A one-line reason in Simplified Chinese, UTF-8, for the command line.
const char* KeyErrorText(KeyError error);

} // namespace zr
