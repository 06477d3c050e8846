#include "seed_scan.h"

#include "key_search.h"
#include "key_seed.h"

#include <algorithm>
#include <cmath>

#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64)
#define ZR_X86 1
#include <immintrin.h>
#endif

namespace zr::detail {

double MakeScanRules(const FileLayout& layout, std::span<const std::uint8_t> encrypted,
                     std::vector<ScanRule>& out) {
    std::vector<ByteRule> rules;
    for (const auto* list : {&layout.rules, &layout.hints})
        for (const ByteRule& r : *list)
            if (r.offset < encrypted.size())
                rules.push_back(r);
    std::stable_sort(rules.begin(), rules.end(),
                     [](const ByteRule& a, const ByteRule& b) { return a.offset < b.offset; });
    double bits = 0;
    for (std::size_t i = 0; i < rules.size(); ++i) {
        ByteSet allowed = rules[i].allowed;
        while (i + 1 < rules.size() && rules[i + 1].offset == rules[i].offset) {
            ++i;
            for (int w = 0; w < 4; ++w)
                allowed.bits[w] &= rules[i].allowed.bits[w];
        }
        ScanRule s;
        // The reseeding call leaves the state before the first byte's draw: byte j is j + 1
        // steps on.
        s.jump = KeystreamCipher::JumpAhead(rules[i].offset + std::uint64_t{1});
        const std::uint8_t stored = encrypted[rules[i].offset];
        for (unsigned k = 0; k < 256; ++k)
            if (allowed.Has(static_cast<std::uint8_t>(stored ^ k)))
                s.keyOk[k >> 6] |= std::uint64_t{1} << (k & 63);
        s.count = allowed.Count();
        bits += s.count ? std::log2(256.0 / s.count) : 64.0;
        out.push_back(s);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const ScanRule& a, const ScanRule& b) { return a.count < b.count; });
    return bits;
}

namespace {

bool passesAll(const std::vector<ScanRule>& rules, std::int32_t seed) {
    const std::uint32_t state = KeystreamCipher::StateAfterReseed(seed);
    for (const ScanRule& r : rules)
        if (!r.Passes(state))
            return false;
    return true;
}

void scanPlain(const std::vector<ScanRule>& rules, std::vector<std::int32_t>& out) {
    for (std::int32_t w = 0; w <= kMaxKeyWeight; ++w)
        if (passesAll(rules, -256 * w))
            out.push_back(-256 * w);
}

#ifdef ZR_X86

// Bit 0 of each lane: whether the keystream of that lane's state passes the rule.
__attribute__((target("avx2"))) inline __m256i passes(__m256i state, const ScanRule& r) {
    const __m256i t =
        _mm256_add_epi32(_mm256_mullo_epi32(state, _mm256_set1_epi32(static_cast<int>(r.jump.mul))),
                         _mm256_set1_epi32(static_cast<int>(r.jump.add)));
    const __m256i k = _mm256_and_si256(_mm256_srli_epi32(t, 16), _mm256_set1_epi32(0xFF));
    const __m256i table = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r.keyOk));
    const __m256i word = _mm256_permutevar8x32_epi32(table, _mm256_srli_epi32(k, 5));
    return _mm256_srlv_epi32(word, _mm256_and_si256(k, _mm256_set1_epi32(31)));
}

// Eight weights a lane each. The table lookup is one permute: the 256 bits of keyOk are eight
// 32-bit words, the keystream byte's top three bits pick the word and its low five the bit.
__attribute__((target("avx2"))) void scanAvx2(const std::vector<ScanRule>& rules,
                                              std::vector<std::int32_t>& out) {
    static_assert((kMaxKeyWeight + 1) % 8 == 0, "no weights left over after the last eight");
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i mask24 = _mm256_set1_epi32(static_cast<int>(KeystreamCipher::kMask));
    const __m256i mul = _mm256_set1_epi32(static_cast<int>(KeystreamCipher::kMultiplier));
    const __m256i inc = _mm256_set1_epi32(static_cast<int>(KeystreamCipher::kIncrement));
    const __m256i one = _mm256_set1_epi32(1), zero = _mm256_setzero_si256();
    for (std::int32_t w0 = 0; w0 <= kMaxKeyWeight; w0 += 8) {
        const __m256i w = _mm256_add_epi32(_mm256_set1_epi32(w0), lanes);
        const __m256i seed = _mm256_sub_epi32(zero, _mm256_slli_epi32(w, 8));
        // As StateAfterReseed: the float's bits folded to 24, then the reseeding call's step.
        const __m256i bits = _mm256_castps_si256(_mm256_cvtepi32_ps(seed));
        __m256i state =
            _mm256_and_si256(_mm256_add_epi32(bits, _mm256_srli_epi32(bits, 24)), mask24);
        state = _mm256_add_epi32(_mm256_mullo_epi32(state, mul), inc);
        // A test after every rule would cost more than the rules it saves: text's rules pass
        // nine bytes in ten, so eight lanes rarely all fail within a few.
        // The first rule alone: where it is a fixed byte, it leaves no lane in most groups.
        __m256i alive = _mm256_set1_epi32(-1);
        std::size_t r = 0;
        if (!rules.empty()) {
            alive = _mm256_cmpeq_epi32(_mm256_and_si256(passes(state, rules[0]), one), one);
            r = 1;
        }
        for (; r + 4 <= rules.size() && !_mm256_testz_si256(alive, alive); r += 4) {
            const __m256i both = _mm256_and_si256(
                _mm256_and_si256(passes(state, rules[r]), passes(state, rules[r + 1])),
                _mm256_and_si256(passes(state, rules[r + 2]), passes(state, rules[r + 3])));
            alive = _mm256_and_si256(alive, _mm256_cmpeq_epi32(_mm256_and_si256(both, one), one));
        }
        for (; r < rules.size() && !_mm256_testz_si256(alive, alive); ++r)
            alive = _mm256_and_si256(
                alive, _mm256_cmpeq_epi32(_mm256_and_si256(passes(state, rules[r]), one), one));
        if (_mm256_testz_si256(alive, alive))
            continue;
        const int lanesAlive = _mm256_movemask_ps(_mm256_castsi256_ps(alive));
        for (int i = 0; i < 8; ++i)
            if (lanesAlive & (1 << i))
                out.push_back(-256 * (w0 + i));
    }
}

#endif

} // namespace

std::vector<std::int32_t> ScanSeeds(const std::vector<ScanRule>& rules, KeystreamKernel kernel) {
    std::vector<std::int32_t> out;
    if (passesAll(rules, kEmptyKeySeed))
        out.push_back(kEmptyKeySeed);
#ifdef ZR_X86
    if (kernel == KeystreamKernel::Avx2 && KeystreamCipher::KernelSupported(kernel)) {
        scanAvx2(rules, out);
        return out;
    }
#else
    (void)kernel;
#endif
    scanPlain(rules, out);
    return out;
}

} // namespace zr::detail
