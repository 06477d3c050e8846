#include "key_seed.h"

#include <gtest/gtest.h>
#include <string>

using zr::DeriveKeySeed;
using zr::KeyError;

TEST(KeySeed, EmptyKeyIsMinusFifty) {
    EXPECT_EQ(DeriveKeySeed(std::u16string()).seed, -50);
    EXPECT_EQ(DeriveKeySeed(std::string()).seed, -50);
    EXPECT_TRUE(DeriveKeySeed(std::string()).ok());
}

TEST(KeySeed, IsMinusTheWeightedSumTimes256) {
    EXPECT_EQ(DeriveKeySeed(std::string("a")).seed, -256 * 97);
    EXPECT_EQ(DeriveKeySeed(std::string("ab")).seed, -256 * (97 * 1 + 98 * 2));
    EXPECT_EQ(DeriveKeySeed(std::u16string(u"ab")).seed, -256 * (97 * 1 + 98 * 2));
    EXPECT_EQ(DeriveKeySeed(std::string(" ")).seed, -256 * 32);
}

TEST(KeySeed, KeysWithTheSameWeightedSumAreInterchangeable) {
    // "ca" weighs 99 + 2 * 97 and "ab" 97 + 2 * 98: both 293.
    EXPECT_EQ(DeriveKeySeed(std::string("ca")).seed, DeriveKeySeed(std::string("ab")).seed);
}

TEST(KeySeed, LengthLimitsFollowTheWeightedSum) {
    struct Case {
        char ch;
        std::size_t longestAccepted;
    } cases[] = {{'z', 370}, {'~', 364}, {'a', 415}, {' ', 723}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(1, c.ch));
        const auto ok = DeriveKeySeed(std::string(c.longestAccepted, c.ch));
        ASSERT_TRUE(ok.ok());
        EXPECT_LT(ok.seed, 0);
        EXPECT_EQ(DeriveKeySeed(std::string(c.longestAccepted + 1, c.ch)).error,
                  KeyError::TooLong);
        EXPECT_EQ(DeriveKeySeed(std::u16string(c.longestAccepted + 1, c.ch)).error,
                  KeyError::TooLong);
    }
}

TEST(KeySeed, LongestAcceptedKeyGivesItsWeightedSum) {
    // 370 x "z" weighs 122 * (1 + ... + 370) = 8373470, just below 8388607.
    EXPECT_EQ(DeriveKeySeed(std::string(370, 'z')).seed, -256 * 8373470);
}

TEST(KeySeed, RefusesEveryNonAsciiCharacterWithoutConverting) {
    EXPECT_EQ(DeriveKeySeed(std::u16string(u"密码")).error, KeyError::NonAscii);
    EXPECT_EQ(DeriveKeySeed(std::u16string(u"abcé")).error, KeyError::NonAscii);
    EXPECT_EQ(DeriveKeySeed(std::u16string(1, char16_t(128))).error, KeyError::NonAscii);
    EXPECT_EQ(DeriveKeySeed(std::string("abc\xc3\xa9")).error, KeyError::NonAscii);
    EXPECT_EQ(DeriveKeySeed(std::string("\xe5\xaf\x86")).error, KeyError::NonAscii);
    EXPECT_TRUE(DeriveKeySeed(std::u16string(1, char16_t(127))).ok());
    EXPECT_STRNE(zr::KeyErrorText(KeyError::NonAscii), "");
}
