#include "target_name.h"

namespace zr {

namespace {

template <typename Char> bool endsWithZrSuffix(std::basic_string_view<Char> s) {
    if (s.size() < 3)
        return false;
    auto up = [](Char c) { return (c >= 'a' && c <= 'z') ? static_cast<Char>(c - 'a' + 'A') : c; };
    const auto n = s.size();
    return s[n - 3] == '.' && up(s[n - 2]) == 'Z' && up(s[n - 1]) == 'R';
}

template <typename Char> std::basic_string<Char> targetFor(std::basic_string_view<Char> s) {
    if (s.empty())
        return {};
    if (endsWithZrSuffix(s))
        return std::basic_string<Char>(s.substr(0, s.size() - 3));
    std::basic_string<Char> out(s);
    out += static_cast<Char>('.');
    out += static_cast<Char>('Z');
    out += static_cast<Char>('R');
    return out;
}

template <typename Char> std::basic_string<Char> folderFor(std::basic_string_view<Char> s) {
    const auto n = s.size();
    if (n >= 2 && s[n - 2] == 'Z' && s[n - 1] == 'R')
        return std::basic_string<Char>(s.substr(0, n - 2));
    std::basic_string<Char> out(s);
    out += static_cast<Char>('Z');
    out += static_cast<Char>('R');
    return out;
}

// Well-formed UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF.
bool isUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t more = 0;
        unsigned char lo = 0x80, hi = 0xBF; // the range of the byte after the lead
        if (c < 0x80)
            more = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            more = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            more = 2, lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
        else if (c >= 0xF0 && c <= 0xF4)
            more = 3, lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
        else
            return false;
        if (s.size() - i <= more)
            return false;
        for (std::size_t k = 1; k <= more; ++k) {
            const auto t = static_cast<unsigned char>(s[i + k]);
            if (t < (k == 1 ? lo : 0x80) || t > (k == 1 ? hi : 0xBF))
                return false;
        }
        i += more + 1;
    }
    return true;
}

} // namespace

std::string UpperCaseAscii(std::string_view name) {
    std::string out(name);
    const bool utf8 = isUtf8(name);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (!utf8 && c >= 0x81 && c <= 0xFE)
            ++i; // the trail byte belongs to this character
        else if (c >= 'a' && c <= 'z')
            out[i] = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

bool HasZrSuffix(std::string_view name) {
    return endsWithZrSuffix(name);
}

std::string TargetNameFor(std::string_view source) {
    return targetFor(source);
}
std::u16string TargetNameFor(std::u16string_view source) {
    return targetFor(source);
}
std::string FolderTargetFor(std::string_view folder) {
    return folderFor(folder);
}
std::u16string FolderTargetFor(std::u16string_view folder) {
    return folderFor(folder);
}

} // namespace zr
