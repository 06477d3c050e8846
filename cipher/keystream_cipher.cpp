#include "keystream_cipher.h"

#include <bit>
#include <cstring>

namespace zr {

namespace {

constexpr std::uint32_t step(std::uint32_t s) {
    return KeystreamCipher::Step(s);
}

constexpr float valueOf(std::uint32_t s) {
    return static_cast<float>(s) / 16777216.0f;
}

} // namespace

std::uint32_t ApplyKeystreamPlain(std::uint32_t state, std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        state = step(state);
        data[i] ^= static_cast<std::uint8_t>(state >> 16);
    }
    return state;
}

float KeystreamCipher::Reseed(std::int32_t seed) {
    state_ = StateAfterReseed(seed);
    return valueOf(state_);
}

float KeystreamCipher::Next() {
    state_ = step(state_);
    return valueOf(state_);
}

bool KeystreamCipher::KernelSupported(KeystreamKernel kernel) {
    switch (kernel) {
    case KeystreamKernel::Scalar:
        return true;
    case KeystreamKernel::Sse2:
        return detail::CpuHasSse2();
    case KeystreamKernel::Avx2:
        return detail::CpuHasAvx2();
    case KeystreamKernel::Avx512:
        return detail::CpuHasAvx512();
    }
    return false;
}

KeystreamKernel KeystreamCipher::BestKernel() {
    static const KeystreamKernel best = [] {
        if (detail::CpuHasAvx512())
            return KeystreamKernel::Avx512;
        if (detail::CpuHasAvx2())
            return KeystreamKernel::Avx2;
        if (detail::CpuHasSse2())
            return KeystreamKernel::Sse2;
        return KeystreamKernel::Scalar;
    }();
    return best;
}

const char* KeystreamCipher::KernelName(KeystreamKernel kernel) {
    switch (kernel) {
    case KeystreamKernel::Scalar:
        return "scalar";
    case KeystreamKernel::Sse2:
        return "sse2";
    case KeystreamKernel::Avx2:
        return "avx2";
    case KeystreamKernel::Avx512:
        return "avx512";
    }
    return "?";
}

void KeystreamCipher::Apply(std::uint8_t* data, std::size_t size) {
    ApplyWith(BestKernel(), data, size);
}

void KeystreamCipher::ApplyWith(KeystreamKernel kernel, std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    switch (kernel) {
    case KeystreamKernel::Scalar:
        break;
    case KeystreamKernel::Sse2:
        done = detail::ApplySse2(state_, data, size);
        break;
    case KeystreamKernel::Avx2:
        done = detail::ApplyAvx2(state_, data, size);
        break;
    case KeystreamKernel::Avx512:
        done = detail::ApplyAvx512(state_, data, size);
        break;
    }
    state_ = ApplyKeystreamPlain(state_, data + done, size - done);
}

} // namespace zr
