#include "codecs/output_file.h"

#include "codecs/file_io.h"

bool OutputFile::create(const std::u16string& path) {
    close();
    handle_ = file_create_write(path);
    if (handle_ == kClosedFile) return false;
    path_ = path;
    return true;
}

void OutputFile::close() {
    if (handle_ != kClosedFile) file_close(handle_);
    handle_ = kClosedFile;
    path_.clear();
}

void OutputFile::discard() {
    const bool made = handle_ != kClosedFile;
    const std::u16string path = path_;
    close();
    if (made) (void)file_delete(path);
}
