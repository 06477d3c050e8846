#pragma once
// What the jobs, the windows and zr-cli ask of the file types: whether a decrypted result looks
// like its type (a wrong key noticed), and the key of an encrypted file found again.

#include "key_search.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zr {

// "解密结果看起来不像 .EXT 文件，密钥可能不对", with the extension as the name spells it.
std::string WrongKeyText(std::string_view extension);

// For a decrypted result, judged by the type its own name gives: WrongKeyText when it does not
// look like that type, nor confidently like any other we know (a .jpg that is really a PNG is
// not a wrong key). nullopt when it looks right, when the name gives no type we know, or when
// there is nothing to judge: an empty file, or one that cannot be read.
std::optional<std::string> WrongKeySuspicion(const std::filesystem::path& result);
// The same from the name and the first bytes (up to kHeadBytes) of a file of size bytes.
std::optional<std::string>
WrongKeySuspicion(std::string_view name, std::span<const std::uint8_t> head, std::uint64_t size);

enum class RecoveryStatus {
    Found,       // keys holds the confident matches
    Ambiguous,   // seeds passed, none confidently: keys holds the likeliest few
    NotFound,    // no seed gives a file of the type
    TooShort,    // the file has too few bytes to tell any seed from another
    NoType,      // the name gives no type and none was asked for
    UnknownType, // a type we do not know
    Unreadable,  // reason says why
    Empty,       // a file of no bytes: every key fits it
};

struct RecoveredKey {
    std::int32_t seed = 0;
    KeyText key;
    const char* what = ""; // what matched
    double evidence = 0;   // bits
};

struct KeyRecovery {
    RecoveryStatus status = RecoveryStatus::NotFound;
    std::string type; // the extension searched for
    std::vector<RecoveredKey> keys;
    std::size_t passed = 0; // seeds that passed at all
    std::string reason;
};

// Reads the first bytes of an encrypted file (never more than kHeadBytes, whatever its size) and
// tries every seed. type: the original's extension; empty takes it from the name without its
// ".ZR" ("report.doc.ZR" is a doc).
KeyRecovery RecoverKey(const std::filesystem::path& file, std::string_view type = {});

// Why no key is given, in Simplified Chinese, one line; empty for Found.
std::string RecoveryFailureText(const KeyRecovery& recovery);

// The first bytes of a file (up to kHeadBytes) and its size. false with the system's reason when
// it cannot be read; anything but a regular file is refused without blocking.
bool ReadHead(const std::filesystem::path& file, std::vector<std::uint8_t>& head,
              std::uint64_t& size, std::string& reason);

} // namespace zr
