#pragma once
// Naming conventions shared by every mode of work.

#include <string>
#include <string_view>

namespace zr {

// A name whose last three characters, compared in upper case, are ".ZR" loses them; any other
// name gets ".ZR" appended. Works on UTF-8 bytes: the suffix is ASCII, so a multi-byte
// character can never be mistaken for it.
std::string TargetNameFor(std::string_view source);
std::u16string TargetNameFor(std::u16string_view source);

// A folder path ending in "ZR" (case-sensitive) gives the path without those two characters;
// any other path gets "ZR" appended.
std::string FolderTargetFor(std::string_view folder);
std::u16string FolderTargetFor(std::u16string_view folder);

} // namespace zr
