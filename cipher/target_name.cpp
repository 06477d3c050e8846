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

} // namespace

std::string TargetNameFor(std::string_view source) { return targetFor(source); }
std::u16string TargetNameFor(std::u16string_view source) { return targetFor(source); }
std::string FolderTargetFor(std::string_view folder) { return folderFor(folder); }
std::u16string FolderTargetFor(std::u16string_view folder) { return folderFor(folder); }

} // namespace zr
