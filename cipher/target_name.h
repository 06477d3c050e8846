#pragma once
// Naming conventions shared by every mode of work.

#include <string>
#include <string_view>

namespace zr {

// A name whose last three characters, compared in upper case, are ".ZR" loses them; any other
// name gets ".ZR" appended, except an empty one, which has no target name either. Works on
// UTF-8 bytes: the suffix is ASCII, so a multi-byte character can never be mistaken for it.
std::string TargetNameFor(std::string_view source);
std::u16string TargetNameFor(std::u16string_view source);
// Whether the ".ZR" rule takes the suffix away: the name of an encrypted file.
bool HasZrSuffix(std::string_view name);

// A folder path ending in "ZR" (case-sensitive) gives the path without those two characters;
// any other path gets "ZR" appended.
std::string FolderTargetFor(std::string_view folder);
std::u16string FolderTargetFor(std::u16string_view folder);

// The name with its ASCII letters in upper case and every other byte as it is. A name that is
// not valid UTF-8 is read as a double-byte encoding (GBK, Big5): a byte from 0x81 to 0xFE leads
// a character and takes the next byte with it unchanged, since that byte may lie where ASCII
// letters do, and changing it would name another character.
std::string UpperCaseAscii(std::string_view name);

} // namespace zr
