#include "codecs/file_io.h"

bool file_write_whole(const std::u16string& path, const uint8_t* data, size_t size) {
    OsHandle file = file_create_write(path);
    if (file == kClosedFile) return false;
    bool ok = size <= UINT32_MAX && file_write(file, data, static_cast<uint32_t>(size));
    ok = file_flush(file) && ok;
    file_close(file);
    return ok;
}
