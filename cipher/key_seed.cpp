#include "key_seed.h"

namespace zr {

namespace {

template <typename Char> KeySeed deriveFrom(std::basic_string_view<Char> key) {
    if (key.empty())
        return {-50, KeyError::None};
    std::int64_t weighted = 0;
    std::int64_t position = 0;
    for (Char ch : key) {
        const auto code = static_cast<std::uint32_t>(ch);
        if (code > 127)
            return {0, KeyError::NonAscii};
        ++position;
        weighted += static_cast<std::int64_t>(code) * position;
        // Checked at every step so that a long key cannot overflow the 64-bit sum either.
        if (weighted > kMaxKeyWeight)
            return {0, KeyError::TooLong};
    }
    return {static_cast<std::int32_t>(-(weighted * 256)), KeyError::None};
}

} // namespace

KeySeed DeriveKeySeed(std::u16string_view key) {
    return deriveFrom(key);
}

KeySeed DeriveKeySeed(std::string_view utf8Key) {
    // Every byte of a multi-byte UTF-8 sequence is >= 0x80, so a byte-wise scan refuses
    // exactly the non-ASCII characters.
    return deriveFrom(std::basic_string_view<unsigned char>(
        reinterpret_cast<const unsigned char*>(utf8Key.data()), utf8Key.size()));
}

const char* KeyErrorText(KeyError error) {
    switch (error) {
    case KeyError::None:
        return "";
    case KeyError::NonAscii:
        return "密钥只能由英文字母、数字和半角符号组成";
    case KeyError::TooLong:
        return "密钥太长";
    }
    return "";
}

} // namespace zr
