#include "codecs/mapped_input.h"

#include "codecs/file_io.h"

bool MappedInput::open(const std::u16string& path) {
    return adopt(file_open_read(path));
}

bool MappedInput::adopt(OsHandle file) {
    close();
    file_ = file;
    if (file_ == kClosedFile) return false;
    has_write_time_ = file_last_write_time(file_, &write_time_);
    uint64_t size = 0;
    if (!file_size(file_, &size) || size == 0 || size > 0xFFFFFFFFull ||
        !file_map_readonly(file_, size, &mapping_, &view_)) {
        view_ = nullptr;
        return false;
    }
    size_ = size;
    return true;
}

void MappedInput::close() {
    if (view_) file_unmap_view(view_, size_);
    if (mapping_) file_close_mapping(mapping_);
    if (file_ != kClosedFile) file_close(file_);
    file_ = kClosedFile;
    mapping_ = 0;
    view_ = nullptr;
    size_ = 0;
    has_write_time_ = false;
}
