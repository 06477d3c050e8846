// Vector kernels of the keystream. The generator is an affine map f(s) = a*s + c mod 2^24, so
// the state k steps after a base b is A_k*b + C_k with (A_k, C_k) composed from f. For a
// stride of N bytes, lane i holds A_{i+1}*b + C_{i+1}; only the base carries from one stride
// to the next (b := A_N*b + C_N), so the lanes have no loop-carried dependency of their own.
// Products are taken mod 2^32: bits 16..23, the keystream byte, depend only on the low 24
// bits of the operands, so no masking is needed before the byte is extracted.
//
// Each kernel carries its own target attribute, so the file builds without -march flags and
// the choice is made at run time.

#include "keystream_cipher.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64)
#define ZR_X86 1
// GCC 12 warns about the deliberately undefined upper lanes inside its own AVX-512 headers.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#endif

namespace zr::detail {

namespace {

constexpr std::uint32_t kA = KeystreamCipher::kMultiplier;
constexpr std::uint32_t kC = KeystreamCipher::kIncrement;

template <std::size_t N> struct JumpTable {
    std::array<std::uint32_t, N> mul{}; // A_{i+1}
    std::array<std::uint32_t, N> add{}; // C_{i+1}
    std::uint32_t strideMul = 1;        // A_N
    std::uint32_t strideAdd = 0;        // C_N
};

template <std::size_t N> constexpr JumpTable<N> makeJumpTable() {
    JumpTable<N> t;
    std::uint32_t m = 1, c = 0;
    for (std::size_t i = 0; i < N; ++i) {
        // Compose one more step: f(A*s + C) = (a*A)*s + (a*C + c).
        m = kA * m;
        c = kA * c + kC;
        t.mul[i] = m;
        t.add[i] = c;
    }
    t.strideMul = m;
    t.strideAdd = c;
    return t;
}

constexpr std::uint32_t kMask = KeystreamCipher::kMask;

} // namespace

#ifdef ZR_X86

bool CpuHasSse2() {
#if defined(__x86_64__) || defined(_M_X64)
    return true;
#else
    return __builtin_cpu_supports("sse2");
#endif
}
bool CpuHasAvx2() {
    return __builtin_cpu_supports("avx2");
}
bool CpuHasAvx512() {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
}

namespace {
alignas(64) constexpr JumpTable<64> kJump64 = makeJumpTable<64>();

// SSE2 has no 32-bit low multiply; with one factor the same in every lane, two 32x32->64
// multiplies of the even and odd lanes give it.
__attribute__((target("sse2"))) inline __m128i mulBroadcast(__m128i a, __m128i b) {
    const __m128i even = _mm_mul_epu32(a, b);
    const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), b);
    return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                              _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
}
} // namespace

__attribute__((target("sse2"))) std::size_t ApplySse2(std::uint32_t& state, std::uint8_t* data,
                                                      std::size_t size) {
    const auto& t = kJump64;
    __m128i mul[16], add[16];
    for (int j = 0; j < 16; ++j) {
        mul[j] = _mm_load_si128(reinterpret_cast<const __m128i*>(&t.mul[4 * j]));
        add[j] = _mm_load_si128(reinterpret_cast<const __m128i*>(&t.add[4 * j]));
    }
    const __m128i low8 = _mm_set1_epi32(0xFF);
    std::uint32_t base = state;
    std::size_t done = 0;
    for (; done + 64 <= size; done += 64) {
        const __m128i b = _mm_set1_epi32(static_cast<int>(base));
        for (int q = 0; q < 4; ++q) {
            __m128i x[4];
            for (int k = 0; k < 4; ++k) {
                const int j = 4 * q + k;
                x[k] = _mm_and_si128(
                    _mm_srli_epi32(_mm_add_epi32(mulBroadcast(mul[j], b), add[j]), 16), low8);
            }
            const __m128i bytes =
                _mm_packus_epi16(_mm_packs_epi32(x[0], x[1]), _mm_packs_epi32(x[2], x[3]));
            auto* p = reinterpret_cast<__m128i*>(data + done + 16 * q);
            _mm_storeu_si128(p, _mm_xor_si128(_mm_loadu_si128(p), bytes));
        }
        base = t.strideMul * base + t.strideAdd;
    }
    state = base & kMask;
    return done;
}

__attribute__((target("avx2"))) std::size_t ApplyAvx2(std::uint32_t& state, std::uint8_t* data,
                                                      std::size_t size) {
    const auto& t = kJump64;
    __m256i mul[8], add[8];
    for (int j = 0; j < 8; ++j) {
        mul[j] = _mm256_load_si256(reinterpret_cast<const __m256i*>(&t.mul[8 * j]));
        add[j] = _mm256_load_si256(reinterpret_cast<const __m256i*>(&t.add[8 * j]));
    }
    const __m256i low8 = _mm256_set1_epi32(0xFF);
    // The two packs work within 128-bit halves; this puts the 4-byte groups back in order.
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    std::uint32_t base = state;
    std::size_t done = 0;
    for (; done + 64 <= size; done += 64) {
        const __m256i b = _mm256_set1_epi32(static_cast<int>(base));
        for (int h = 0; h < 2; ++h) {
            __m256i x[4];
            for (int k = 0; k < 4; ++k) {
                const int j = 4 * h + k;
                x[k] = _mm256_and_si256(
                    _mm256_srli_epi32(_mm256_add_epi32(_mm256_mullo_epi32(mul[j], b), add[j]), 16),
                    low8);
            }
            const __m256i packed =
                _mm256_packus_epi16(_mm256_packs_epi32(x[0], x[1]), _mm256_packs_epi32(x[2], x[3]));
            const __m256i bytes = _mm256_permutevar8x32_epi32(packed, order);
            auto* p = reinterpret_cast<__m256i*>(data + done + 32 * h);
            _mm256_storeu_si256(p, _mm256_xor_si256(_mm256_loadu_si256(p), bytes));
        }
        base = t.strideMul * base + t.strideAdd;
    }
    state = base & kMask;
    return done;
}

__attribute__((target("avx512f,avx512bw"))) std::size_t
ApplyAvx512(std::uint32_t& state, std::uint8_t* data, std::size_t size) {
    const auto& t = kJump64;
    __m512i mul[4], add[4];
    for (int j = 0; j < 4; ++j) {
        mul[j] = _mm512_load_si512(&t.mul[16 * j]);
        add[j] = _mm512_load_si512(&t.add[16 * j]);
    }
    std::uint32_t base = state;
    std::size_t done = 0;
    for (; done + 64 <= size; done += 64) {
        const __m512i b = _mm512_set1_epi32(static_cast<int>(base));
        for (int j = 0; j < 4; ++j) {
            const __m512i x =
                _mm512_srli_epi32(_mm512_add_epi32(_mm512_mullo_epi32(mul[j], b), add[j]), 16);
            // vpmovdb keeps the low byte of every lane: bits 16..23 of the state.
            const __m128i bytes = _mm512_cvtepi32_epi8(x);
            auto* p = reinterpret_cast<__m128i*>(data + done + 16 * j);
            _mm_storeu_si128(p, _mm_xor_si128(_mm_loadu_si128(p), bytes));
        }
        base = t.strideMul * base + t.strideAdd;
    }
    state = base & kMask;
    return done;
}

#else // not x86: only the plain loop

bool CpuHasSse2() {
    return false;
}
bool CpuHasAvx2() {
    return false;
}
bool CpuHasAvx512() {
    return false;
}
std::size_t ApplySse2(std::uint32_t&, std::uint8_t*, std::size_t) {
    return 0;
}
std::size_t ApplyAvx2(std::uint32_t&, std::uint8_t*, std::size_t) {
    return 0;
}
std::size_t ApplyAvx512(std::uint32_t&, std::uint8_t*, std::size_t) {
    return 0;
}

#endif

} // namespace zr::detail
