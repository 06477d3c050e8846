// The key search over every seed, against the floor of computing each seed's state once: a
// binary type whose first bytes are fixed, plain text (the weakest rules: each byte only has to
// be a text byte), and .doc, which tries five layouts.

#include "key_search.h"
#include "key_seed.h"
#include "keystream_cipher.h"

#include <benchmark/benchmark.h>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> encrypted(std::vector<std::uint8_t> plain) {
    zr::KeystreamCipher c;
    c.Reseed(zr::DeriveKeySeed(std::string_view("forgotten key")).seed);
    c.Apply(plain);
    return plain;
}

std::vector<std::uint8_t> pngFile() {
    const std::string head("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16);
    std::vector<std::uint8_t> b(head.begin(), head.end());
    std::mt19937 rng(1);
    while (b.size() < 4096)
        b.push_back(static_cast<std::uint8_t>(rng()));
    return b;
}

std::vector<std::uint8_t> textFile(std::size_t size) {
    const std::string line = "The quick brown fox jumps over the lazy dog; then it rests.\n";
    std::vector<std::uint8_t> b;
    while (b.size() < size)
        b.push_back(static_cast<std::uint8_t>(line[b.size() % line.size()]));
    return b;
}

void BM_EverySeedState(benchmark::State& state) {
    for (auto _ : state) {
        std::uint32_t sum = zr::KeystreamCipher::StateAfterReseed(zr::kEmptyKeySeed);
        for (std::int32_t w = 0; w <= zr::kMaxKeyWeight; ++w)
            sum += zr::KeystreamCipher::StateAfterReseed(-256 * w);
        benchmark::DoNotOptimize(sum);
    }
}

void BM_FindSeeds(benchmark::State& state, std::vector<std::uint8_t> plain, const char* type) {
    const auto file = encrypted(std::move(plain));
    const auto layouts = zr::LayoutsForType(type);
    std::size_t found = 0;
    for (auto _ : state) {
        const auto result = zr::FindSeeds(file, file.size(), layouts);
        found = result.matches.size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["matches"] = static_cast<double>(found);
}

} // namespace

BENCHMARK(BM_EverySeedState)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindSeeds, png, pngFile(), "png")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindSeeds, text_4k, textFile(4096), "txt")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindSeeds, text_60_bytes, textFile(60), "txt")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FindSeeds, doc_as_text, textFile(4096), "doc")->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
