#pragma once
// File names between the windows' texts and the file system, without losing a byte.
//
// On POSIX a file name is a string of bytes that need not be UTF-8 (a GBK name unpacked from an
// archive made on Windows). Qt's own conversions replace such bytes with U+FFFD, so the name
// that comes back no longer names the file. Here every byte that is not part of valid UTF-8
// becomes the lone surrogate U+DC80 + its value (0x80..0xFF) in the text, and turns back into
// the same byte on the way to the file system. On Windows names are UTF-16 already.
//
// Every conversion between a window's text and a path goes through these two functions.

#include <QString>
#include <QStringList>
#include <filesystem>

class QMimeData;

namespace zr::platform {

std::filesystem::path PathFromText(const QString& text);
QString TextFromPath(const std::filesystem::path& path);
// A name as the system handed it over (a command-line argument), bytes as they are.
QString TextFromNativeBytes(const char* bytes);
// The local files of a drag and drop (a file manager's list of file URLs), in their order, as
// window texts; the percent-encoded bytes of a name become the same text the name's own bytes
// give. Empty when anything dropped is not a local file.
QStringList DroppedPaths(const QMimeData* data);

} // namespace zr::platform
