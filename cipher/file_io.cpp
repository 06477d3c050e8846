// The parts of the file layer that are the same on every system: ownership moves of the
// handles. A handle of -1 is "none" (INVALID_HANDLE_VALUE on Windows).

#include "file_io.h"

namespace zr::io {

File::~File() { Close(); }

File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = -1;
    }
    return *this;
}

TempFile::~TempFile() { Discard(); }

TempFile::TempFile(TempFile&& o) noexcept
    : file_(std::move(o.file_)), name_(std::move(o.name_)), dir_(std::move(o.dir_)),
      committed_(o.committed_) {
    o.name_.clear();
    o.committed_ = true;
}

TempFile& TempFile::operator=(TempFile&& o) noexcept {
    if (this != &o) {
        Discard();
        file_ = std::move(o.file_);
        name_ = std::move(o.name_);
        dir_ = std::move(o.dir_);
        committed_ = o.committed_;
        o.name_.clear();
        o.committed_ = true;
    }
    return *this;
}

} // namespace zr::io
