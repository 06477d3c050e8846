#pragma once
// The inner loop of the key search: which of the 2^23 + 1 seeds give plain bytes that a layout's
// byte rules allow. A plain loop and an AVX2 one that tries eight seeds at a time.

#include "file_layout.h"
#include "keystream_cipher.h"

#include <cstdint>
#include <span>
#include <vector>

namespace zr::detail {

// One byte rule turned around for the search: which keystream bytes at its offset give an
// allowed plain byte, and the jump from the state after reseeding to that byte's state.
struct ScanRule {
    KeystreamCipher::Jump jump;
    std::uint64_t keyOk[4] = {}; // bit k: keystream byte k passes
    int count = 0;               // allowed plain bytes
    bool Passes(std::uint32_t state) const {
        // Bits 16..23 of the state are the keystream byte; they need no mask (see JumpAhead).
        const std::uint32_t k = ((jump.mul * state + jump.add) >> 16) & 0xFF;
        return (keyOk[k >> 6] >> (k & 63)) & 1;
    }
};

// A layout's rules and hints within the encrypted bytes there are, merged by offset, most
// selective first. Returns the bits they narrow the seeds down by.
double MakeScanRules(const FileLayout& layout, std::span<const std::uint8_t> encrypted,
                     std::vector<ScanRule>& rules);

// Every seed a key can have whose keystream passes all rules, the empty key's first, then by
// weight. Kernel: Scalar, or Avx2 where the processor has it (anything else means Scalar).
std::vector<std::int32_t> ScanSeeds(const std::vector<ScanRule>& rules, KeystreamKernel kernel);

} // namespace zr::detail
