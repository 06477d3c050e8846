// Keystream kernels against memcpy and the plain per-byte loop, on a 32 KiB block (in L1/L2,
// what the transform job hands over) and a 64 MiB buffer (memory-bound).

#include "keystream_cipher.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <vector>

namespace {

using zr::KeystreamCipher;
using zr::KeystreamKernel;

void BM_Memcpy(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<std::uint8_t> a(n, 1), b(n);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), n);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_PlainLoop(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<std::uint8_t> a(n, 1);
    std::uint32_t s = 12345;
    for (auto _ : state) {
        s = zr::ApplyKeystreamPlain(s, a.data(), n);
        benchmark::DoNotOptimize(a.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_Kernel(benchmark::State& state, KeystreamKernel kernel) {
    if (!KeystreamCipher::KernelSupported(kernel)) {
        state.SkipWithError("not supported on this processor");
        return;
    }
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<std::uint8_t> a(n, 1);
    KeystreamCipher c;
    c.Reseed(-256 * 293);
    for (auto _ : state) {
        c.ApplyWith(kernel, a.data(), n);
        benchmark::DoNotOptimize(a.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_Default(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    std::vector<std::uint8_t> a(n, 1);
    KeystreamCipher c;
    c.Reseed(-256 * 293);
    for (auto _ : state) {
        c.Apply(a.data(), n);
        benchmark::DoNotOptimize(a.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
    state.SetLabel(KeystreamCipher::KernelName(KeystreamCipher::BestKernel()));
}

constexpr std::int64_t kBlock = 32 << 10;
constexpr std::int64_t kBuffer = 64 << 20;

} // namespace

BENCHMARK(BM_Memcpy)->Arg(kBlock)->Arg(kBuffer);
BENCHMARK(BM_PlainLoop)->Arg(kBlock)->Arg(kBuffer);
BENCHMARK_CAPTURE(BM_Kernel, sse2, KeystreamKernel::Sse2)->Arg(kBlock)->Arg(kBuffer);
BENCHMARK_CAPTURE(BM_Kernel, avx2, KeystreamKernel::Avx2)->Arg(kBlock)->Arg(kBuffer);
BENCHMARK_CAPTURE(BM_Kernel, avx512, KeystreamKernel::Avx512)->Arg(kBlock)->Arg(kBuffer);
BENCHMARK(BM_Default)->Arg(kBlock)->Arg(kBuffer);
BENCHMARK_MAIN();
