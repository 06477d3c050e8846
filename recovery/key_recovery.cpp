#include "key_recovery.h"

#include "file_io.h"

#include <algorithm>

namespace zr {

namespace {

std::string utf8Name(const std::filesystem::path& path) {
    const auto u8 = path.filename().u8string();
    return std::string(reinterpret_cast<const char*>(u8.data()), u8.size());
}

} // namespace

bool ReadHead(const std::filesystem::path& file, std::vector<std::uint8_t>& head,
              std::uint64_t& size, std::string& reason) {
    io::IoError error;
    io::File f = io::File::OpenRead(file, error);
    std::int64_t length = -1;
    if (f.IsOpen())
        length = f.Size(error);
    if (length >= 0) {
        size = static_cast<std::uint64_t>(length);
        head.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size, kHeadBytes)));
        // A file that shrank meanwhile gives fewer bytes; the checks judge those.
        head.resize(f.Read(head.data(), head.size(), error));
    }
    if (error) {
        reason = error.reason;
        return false;
    }
    return true;
}

std::string WrongKeyText(std::string_view extension) {
    return "解密结果看起来不像 ." + std::string(extension) + " 文件，密钥可能不对";
}

std::optional<std::string>
WrongKeySuspicion(std::string_view name, std::span<const std::uint8_t> head, std::uint64_t size) {
    const std::string extension = ExtensionOf(name);
    const auto layouts = LayoutsForType(extension);
    if (layouts.empty() || size == 0 || head.empty())
        return std::nullopt;
    for (const FileLayout* layout : layouts)
        if (CheckLayout(*layout, head, size).ok)
            return std::nullopt;
    for (const FileLayout* layout : AllLayouts()) {
        const LayoutMatch m = CheckLayout(*layout, head, size);
        if (m.ok && m.evidence >= kConfidentBits)
            return std::nullopt;
    }
    return WrongKeyText(extension);
}

std::optional<std::string> WrongKeySuspicion(const std::filesystem::path& result) {
    std::vector<std::uint8_t> head;
    std::uint64_t size = 0;
    std::string reason;
    if (LayoutsForType(ExtensionOf(utf8Name(result))).empty() ||
        !ReadHead(result, head, size, reason))
        return std::nullopt;
    return WrongKeySuspicion(utf8Name(result), head, size);
}

KeyRecovery RecoverKey(const std::filesystem::path& file, std::string_view type) {
    KeyRecovery r;
    r.type = type.empty() ? ExtensionOf(utf8Name(file), true) : std::string(type);
    if (!r.type.empty() && r.type.front() == '.')
        r.type.erase(0, 1);
    if (r.type.empty()) {
        r.status = RecoveryStatus::NoType;
        return r;
    }
    const auto layouts = LayoutsForType(r.type);
    if (layouts.empty()) {
        r.status = RecoveryStatus::UnknownType;
        return r;
    }
    std::vector<std::uint8_t> head;
    std::uint64_t size = 0;
    if (!ReadHead(file, head, size, r.reason)) {
        r.status = RecoveryStatus::Unreadable;
        return r;
    }
    if (head.empty()) {
        r.status = RecoveryStatus::Empty;
        return r;
    }
    const SeedSearch search = FindSeeds(head, size, layouts);
    r.passed = search.passed;
    for (const SeedMatch& m : search.matches) {
        if (!m.Confident() && !r.keys.empty() && r.keys.front().evidence >= kConfidentBits)
            break; // after the confident ones, the rest are chance
        if (auto key = ShortestKeyFor(m.seed))
            r.keys.push_back({m.seed, *key, m.layout->what, m.evidence});
    }
    // Below 23 bits, one of the 2^23 seeds passes by chance: such matches say nothing.
    const double best = r.keys.empty() ? 0.0 : r.keys.front().evidence;
    if (best >= kConfidentBits)
        r.status = RecoveryStatus::Found;
    else if (search.tooShort)
        r.status = RecoveryStatus::TooShort;
    else
        r.status = best >= 23.0 ? RecoveryStatus::Ambiguous : RecoveryStatus::NotFound;
    if (r.status == RecoveryStatus::NotFound)
        r.keys.clear();
    return r;
}

std::string RecoveryFailureText(const KeyRecovery& r) {
    switch (r.status) {
    case RecoveryStatus::Found:
        return {};
    case RecoveryStatus::Ambiguous:
        return "文件开头能说明的太少，无法确定密钥：有 " + std::to_string(r.passed) +
               " 个种子都可能是 ." + r.type + " 文件的密钥";
    case RecoveryStatus::NotFound:
        return "没有找到能把它解密成 ." + r.type +
               " 文件的密钥：它可能不是这种类型的文件，不是用本程序加密的，或者开头已经损坏";
    case RecoveryStatus::TooShort:
        return "文件太短，无法判断哪个密钥能把它解密成 ." + r.type + " 文件";
    case RecoveryStatus::NoType:
        return "无法从文件名看出原文件的类型，请用 --type 指定（例如 --type doc）";
    case RecoveryStatus::UnknownType:
        return "不认识的文件类型 ." + r.type + "；能够找回密钥的类型有：" + KnownTypesText();
    case RecoveryStatus::Unreadable:
        return "无法读取文件（" + r.reason + "）";
    case RecoveryStatus::Empty:
        return "文件是空的，任何密钥解密的结果都一样，无从找回密钥";
    }
    return {};
}

} // namespace zr
