#include "keystream_cipher.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <vector>

using zr::KeystreamCipher;
using zr::KeystreamKernel;

TEST(Keystream, ReseedWithMinusOneMatchesThePublishedValue) {
    KeystreamCipher c;
    EXPECT_NEAR(c.Reseed(-1), 0.224007f, 1e-6);
}

TEST(Keystream, UnseededGeneratorMatchesThePublishedSequence) {
    KeystreamCipher c;
    EXPECT_EQ(c.State(), 0x50000u);
    EXPECT_NEAR(c.Next(), 0.7055475f, 1e-7);
    EXPECT_NEAR(c.Next(), 0.533424f, 1e-6);
    EXPECT_NEAR(c.Next(), 0.5795186f, 1e-7);
}

TEST(Keystream, ByteIsFloorOfValueTimes256) {
    KeystreamCipher byValue, byByte;
    byValue.Reseed(-256 * 97);
    byByte.Reseed(-256 * 97);
    std::vector<std::uint8_t> zeros(1000, 0);
    byByte.Apply(zeros);
    for (std::uint8_t b : zeros)
        EXPECT_EQ(b, static_cast<std::uint8_t>(byValue.Next() * 256.0f));
}

TEST(Keystream, SameSeedRestoresAndAnotherSeedDoesNot) {
    const auto plain = zr::test::PatternBytes(100000);
    auto data = plain;
    KeystreamCipher a;
    a.Reseed(-50);
    a.Apply(data);
    EXPECT_NE(data, plain); // the empty key still changes the data
    KeystreamCipher b;
    b.Reseed(-256 * 97);
    auto twice = data;
    b.Apply(twice);
    EXPECT_NE(twice, plain);
    a.Reseed(-50);
    a.Apply(data);
    EXPECT_EQ(data, plain);
}

TEST(Keystream, ReseedAloneLeavesNoBytesToChange) {
    KeystreamCipher a, b;
    a.Reseed(-1234 * 256);
    b.Reseed(-1234 * 256);
    a.Apply(nullptr, 0);
    EXPECT_EQ(a.State(), b.State());
}

TEST(Keystream, OutputDoesNotDependOnTheBlockSplit) {
    const auto plain = zr::test::PatternBytes(200000, 7);
    auto whole = plain;
    KeystreamCipher one;
    one.Reseed(-9999 * 256);
    one.Apply(whole);
    for (std::size_t split : {1u, 7u, 63u, 64u, 65u, 4096u, 32768u, 65537u}) {
        SCOPED_TRACE(split);
        auto pieces = plain;
        KeystreamCipher c;
        c.Reseed(-9999 * 256);
        for (std::size_t at = 0; at < pieces.size(); at += split)
            c.Apply(pieces.data() + at, std::min(split, pieces.size() - at));
        EXPECT_EQ(pieces, whole);
        EXPECT_EQ(c.State(), one.State());
    }
}

class KernelTest : public ::testing::TestWithParam<KeystreamKernel> {};

TEST_P(KernelTest, IsByteIdenticalToThePlainLoopWithTheSameStateLeftBehind) {
    const KeystreamKernel kernel = GetParam();
    if (!KeystreamCipher::KernelSupported(kernel))
        GTEST_SKIP() << KeystreamCipher::KernelName(kernel) << " not supported here";
    const auto source = zr::test::PatternBytes(70000, 3);
    const std::int32_t seeds[] = {-50, -1, -256, -256 * 97, -256 * 8373335, -2147483392, 0, 12345};
    const std::size_t lengths[] = {0, 1, 15, 63, 64, 65, 127, 128, 129, 1000, 4095, 32768, 65536};
    for (std::int32_t seed : seeds) {
        for (std::size_t length : lengths) {
            for (std::size_t offset : {0u, 1u, 3u, 17u, 63u}) {
                std::vector<std::uint8_t> expected(source.begin(), source.begin() + length);
                KeystreamCipher ref;
                ref.Reseed(seed);
                const std::uint32_t refEnd = zr::ApplyKeystreamPlain(ref.State(), expected.data(), length);

                std::vector<std::uint8_t> buffer(length + offset + 64, 0xAB);
                std::copy(source.begin(), source.begin() + length, buffer.begin() + offset);
                KeystreamCipher c;
                c.Reseed(seed);
                c.ApplyWith(kernel, buffer.data() + offset, length);
                ASSERT_TRUE(std::equal(expected.begin(), expected.end(), buffer.begin() + offset))
                    << "seed " << seed << " length " << length << " offset " << offset;
                ASSERT_EQ(c.State(), refEnd);
                // Nothing outside the buffer handed over is touched.
                for (std::size_t i = 0; i < offset; ++i)
                    ASSERT_EQ(buffer[i], 0xAB);
                for (std::size_t i = offset + length; i < buffer.size(); ++i)
                    ASSERT_EQ(buffer[i], 0xAB);
            }
        }
    }
}

TEST_P(KernelTest, ContinuesTheStreamAcrossCallsOfAnySize) {
    const KeystreamKernel kernel = GetParam();
    if (!KeystreamCipher::KernelSupported(kernel))
        GTEST_SKIP();
    const auto source = zr::test::PatternBytes(50000, 11);
    auto expected = source;
    zr::ApplyKeystreamPlain(KeystreamCipher().State(), expected.data(), expected.size());
    auto data = source;
    KeystreamCipher c; // unseeded: starts at the runtime's initial state
    std::size_t at = 0, step = 1;
    while (at < data.size()) {
        const std::size_t n = std::min(step, data.size() - at);
        c.ApplyWith(kernel, data.data() + at, n);
        at += n;
        step = step * 3 + 1;
    }
    EXPECT_EQ(data, expected);
}

INSTANTIATE_TEST_SUITE_P(AllKernels, KernelTest,
                         ::testing::Values(KeystreamKernel::Scalar, KeystreamKernel::Sse2,
                                           KeystreamKernel::Avx2, KeystreamKernel::Avx512),
                         [](const auto& info) {
                             return std::string(KeystreamCipher::KernelName(info.param));
                         });

TEST(Keystream, JumpAheadIsThatManySteps) {
    for (const std::uint64_t n : {0u, 1u, 2u, 63u, 64u, 1000u, 65537u}) {
        std::uint32_t stepped = 0x123456;
        for (std::uint64_t i = 0; i < n; ++i)
            stepped = KeystreamCipher::Step(stepped);
        const auto jump = KeystreamCipher::JumpAhead(n);
        EXPECT_EQ((jump.mul * 0x123456u + jump.add) & KeystreamCipher::kMask, stepped) << n;
    }
}
