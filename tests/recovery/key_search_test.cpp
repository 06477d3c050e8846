#include "key_recovery.h"
#include "key_search.h"
#include "key_seed.h"
#include "keystream_cipher.h"
#include "keystream_expect.h"
#include "samples.h"
#include "seed_scan.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <random>

using zr::FindSeeds;
using zr::KeyKind;
using zr::ShortestKeyFor;
using zr::test::Samples;
using zr::test::Transformed;

namespace {

std::int64_t triangle(std::int64_t n) {
    return n * (n + 1) / 2;
}

// Seeds with one state after reseeding are one key: the search may name either.
std::uint32_t stateOf(std::int32_t seed) {
    return zr::KeystreamCipher::StateAfterReseed(seed);
}

zr::SeedSearch search(const std::string& name, const std::vector<std::uint8_t>& encrypted) {
    const auto head = std::span(encrypted).first(std::min(encrypted.size(), zr::kHeadBytes));
    return FindSeeds(head, encrypted.size(), zr::LayoutsForType(zr::ExtensionOf(name)));
}

} // namespace

TEST(ShortestKey, DerivesBackToItsSeedAtTheShortestPrintableLength) {
    std::vector<std::int64_t> weights;
    for (std::int64_t w = 32; w <= 3000; ++w)
        weights.push_back(w);
    std::mt19937 rng(7);
    for (int i = 0; i < 300; ++i)
        weights.push_back(
            std::uniform_int_distribution<std::int64_t>(3000, zr::kMaxKeyWeight)(rng));
    weights.push_back(zr::kMaxKeyWeight);
    for (const std::int64_t w : weights) {
        const auto seed = static_cast<std::int32_t>(-256 * w);
        const auto key = ShortestKeyFor(seed);
        ASSERT_TRUE(key) << w;
        EXPECT_EQ(key->kind, KeyKind::Printable);
        EXPECT_EQ(zr::DeriveKeySeed(key->text).seed, seed) << w;
        for (const char c : key->text)
            EXPECT_TRUE(w == 32 || (c > ' ' && c <= '~')) << w << " " << key->text;
        // No printable key is shorter: n characters weigh at most 126 x (1 + ... + n).
        EXPECT_LT(126 * triangle(static_cast<std::int64_t>(key->text.size()) - 1), w) << w;
    }
}

TEST(ShortestKey, SmallWeightsGetControlCharactersAStdinLineCanHold) {
    EXPECT_EQ(ShortestKeyFor(zr::kEmptyKeySeed)->kind, KeyKind::Empty);
    for (std::int32_t w = 0; w < 32; ++w) {
        const auto key = ShortestKeyFor(-256 * w);
        ASSERT_TRUE(key) << w;
        EXPECT_EQ(key->kind, KeyKind::Control);
        EXPECT_EQ(zr::DeriveKeySeed(key->text).seed, -256 * w);
        EXPECT_EQ(key->text.find_first_of("\n\r\x1a"), std::string::npos) << w;
    }
    // Values no key reduces to.
    EXPECT_FALSE(ShortestKeyFor(1));
    EXPECT_FALSE(ShortestKeyFor(-300));
    EXPECT_FALSE(ShortestKeyFor(INT32_MIN));
}

TEST(KeySearch, FindsTheKeyOfEverySample) {
    std::mt19937 rng(2024);
    for (const auto& sample : Samples()) {
        std::string key;
        for (int n = std::uniform_int_distribution(4, 14)(rng); n > 0; --n)
            key += static_cast<char>(std::uniform_int_distribution('!', '~')(rng));
        const auto encrypted = Transformed(sample.bytes, key);
        const auto found = search(sample.name, encrypted);
        ASSERT_FALSE(found.matches.empty()) << sample.name;
        const auto& best = found.matches.front();
        EXPECT_EQ(stateOf(best.seed), stateOf(zr::DeriveKeySeed(key).seed)) << sample.name;
        EXPECT_TRUE(best.Confident()) << sample.name << " " << best.evidence;
        if (found.matches.size() > 1) {
            EXPECT_FALSE(found.matches[1].Confident()) << sample.name;
        }
        const auto printed = ShortestKeyFor(best.seed);
        ASSERT_TRUE(printed);
        EXPECT_EQ(Transformed(encrypted, printed->text), sample.bytes) << sample.name;
    }
}

TEST(KeySearch, TriesTheEmptyKeyAndBothEndsOfTheWeights) {
    const auto& png = zr::test::SampleNamed("sample.png");
    // Weight 9: only control characters reach its state. Weight 0: a printable key does too.
    for (const std::int32_t seed :
         {zr::kEmptyKeySeed, 0, -256 * 9, static_cast<std::int32_t>(-256 * zr::kMaxKeyWeight)}) {
        const auto found = search(png.name, Transformed(png.bytes, seed));
        ASSERT_FALSE(found.matches.empty()) << seed;
        EXPECT_EQ(stateOf(found.matches.front().seed), stateOf(seed));
    }
}

TEST(KeySearch, TooShortAFileNamesNoSeedConfidently) {
    const auto found = search("a.txt", Transformed({'h', 'i', '\n'}, "k"));
    EXPECT_TRUE(found.tooShort);
    EXPECT_TRUE(found.matches.empty() || !found.matches.front().Confident());
}

TEST(KeySearch, VectorScanFindsWhatThePlainScanFinds) {
    if (!zr::KeystreamCipher::KernelSupported(zr::KeystreamKernel::Avx2))
        GTEST_SKIP() << "no AVX2 on this processor";
    // Short text leaves many seeds through; a fixed header almost none.
    for (const auto& [name, size] : {std::pair{"sample.txt", 30}, std::pair{"sample.png", 294}}) {
        const auto& sample = zr::test::SampleNamed(name);
        const auto encrypted =
            Transformed({sample.bytes.begin(), sample.bytes.begin() + size}, "a key");
        std::vector<zr::detail::ScanRule> rules;
        zr::detail::MakeScanRules(*zr::LayoutsForType(zr::ExtensionOf(name)).front(), encrypted,
                                  rules);
        const auto plain = zr::detail::ScanSeeds(rules, zr::KeystreamKernel::Scalar);
        EXPECT_EQ(zr::detail::ScanSeeds(rules, zr::KeystreamKernel::Avx2), plain) << name;
        EXPECT_FALSE(plain.empty()) << name;
    }
}

TEST(KeyRecovery, SaysWhyItNamesNoKey) {
    zr::test::TempDir dir;
    zr::test::WriteBytes(dir / "hi.txt.ZR", Transformed({'h', 'i', '!', '\n'}, "k"));
    zr::test::WriteBytes(dir / "empty.doc.ZR", {});
    const std::pair<const char*, zr::RecoveryStatus> cases[] = {
        {"hi.txt.ZR", zr::RecoveryStatus::TooShort},
        {"empty.doc.ZR", zr::RecoveryStatus::Empty},
        {"missing.doc.ZR", zr::RecoveryStatus::Unreadable},
    };
    for (const auto& [name, status] : cases) {
        const auto r = zr::RecoverKey(dir / name);
        EXPECT_EQ(r.status, status) << name;
        EXPECT_FALSE(zr::RecoveryFailureText(r).empty()) << name;
    }
    EXPECT_EQ(zr::RecoverKey(dir / "hi.txt.ZR", ".bin").status, zr::RecoveryStatus::UnknownType);
    EXPECT_EQ(zr::RecoverKey(dir / "README").status, zr::RecoveryStatus::NoType);
}
