#pragma once
// What a transform must have written: the bytes combined with the keystream of a seed or key.

#include "key_seed.h"
#include "keystream_cipher.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace zr::test {

inline std::vector<std::uint8_t> Transformed(std::vector<std::uint8_t> bytes, std::int32_t seed) {
    zr::KeystreamCipher c;
    c.Reseed(seed);
    c.Apply(bytes);
    return bytes;
}

inline std::vector<std::uint8_t> Transformed(std::vector<std::uint8_t> bytes,
                                             std::string_view key) {
    return Transformed(std::move(bytes), zr::DeriveKeySeed(key).seed);
}

} // namespace zr::test
