#pragma once
// The keystream: the classic BASIC runtime's 24-bit linear congruential generator, reproduced
// exactly so that files written with it keep opening byte for byte.
//
//   step:    s = (s * 1140671485 + 12820163) mod 2^24, value s / 2^24 as a single
//   reseed:  b = IEEE-754 bits of (float)seed; s = (b + (b >> 24)) mod 2^24; one step
//   byte:    floor(value * 256) == s >> 16 after the step

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zr {

enum class KeystreamKernel { Scalar, Sse2, Avx2, Avx512 };

class KeystreamCipher {
public:
    static constexpr std::uint32_t kMultiplier = 1140671485u;
    static constexpr std::uint32_t kIncrement = 12820163u;
    static constexpr std::uint32_t kMask = 0xFFFFFFu;
    // The state of a generator that was never reseeded.
    static constexpr std::uint32_t kUnseededState = 0x50000u;

    KeystreamCipher() = default;

    // One generator call's change of state.
    static constexpr std::uint32_t Step(std::uint32_t state) {
        return (state * kMultiplier + kIncrement) & kMask;
    }
    // The state the reseeding call leaves, before the first byte's draw. An accepted seed is
    // 256 times a number below 2^23, so (float)seed is exact; other seeds round the way the
    // runtime's own conversion does.
    static constexpr std::uint32_t StateAfterReseed(std::int32_t seed) {
        const std::uint32_t bits = std::bit_cast<std::uint32_t>(static_cast<float>(seed));
        return Step((bits + (bits >> 24)) & kMask);
    }
    // n steps as one affine map, state -> (mul * state + add) mod 2^24. Bits 16..23 of the
    // product taken mod 2^32 are already right, so a caller after the keystream byte alone
    // need not mask.
    struct Jump {
        std::uint32_t mul = 1;
        std::uint32_t add = 0;
    };
    static constexpr Jump JumpAhead(std::uint64_t n) {
        Jump result, power{kMultiplier, kIncrement};
        // Square-and-multiply on the maps: f^(2k) = f^k composed with itself.
        for (; n != 0; n >>= 1) {
            if (n & 1)
                result = {power.mul * result.mul, power.mul * result.add + power.add};
            power = {power.mul * power.mul, power.mul * power.add + power.add};
        }
        return result;
    }

    // The reseeding call; returns that call's own value (callers discard it).
    float Reseed(std::int32_t seed);
    // One generator call without argument.
    float Next();
    // XORs every byte with the next keystream byte; successive calls continue the stream.
    void Apply(std::span<std::uint8_t> data) { Apply(data.data(), data.size()); }
    void Apply(std::uint8_t* data, std::size_t size);
    // The same with a chosen kernel, for tests and benchmarks. The kernel must be supported.
    void ApplyWith(KeystreamKernel kernel, std::uint8_t* data, std::size_t size);

    std::uint32_t State() const { return state_; }
    void SetState(std::uint32_t state) { state_ = state & kMask; }

    // The fastest kernel this processor runs, chosen once.
    static KeystreamKernel BestKernel();
    static bool KernelSupported(KeystreamKernel kernel);
    static const char* KernelName(KeystreamKernel kernel);

private:
    std::uint32_t state_ = kUnseededState;
};

// The plain per-byte loop, the reference every kernel is measured and tested against.
std::uint32_t ApplyKeystreamPlain(std::uint32_t state, std::uint8_t* data, std::size_t size);

namespace detail {
// Each processes the largest multiple of its stride that fits in size and returns how many
// bytes it did; the state is advanced by that many steps. The caller finishes the tail.
std::size_t ApplySse2(std::uint32_t& state, std::uint8_t* data, std::size_t size);
std::size_t ApplyAvx2(std::uint32_t& state, std::uint8_t* data, std::size_t size);
std::size_t ApplyAvx512(std::uint32_t& state, std::uint8_t* data, std::size_t size);
bool CpuHasSse2();
bool CpuHasAvx2();
bool CpuHasAvx512();
} // namespace detail

} // namespace zr
