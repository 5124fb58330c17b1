#include "codecs/file_type.h"

#include "codecs/file_io.h"
#include "common/utf16.h"

FileTypeCode detect_file_type_bytes(const uint8_t* data, size_t size) {
    if (size == 0) return kFileTooShort;
    const uint8_t b0 = data[0];
    // A 1-byte file reads as its byte followed by a zero.
    const uint8_t b1 = size >= 2 ? data[1] : 0;
    auto at = [&](size_t i, int* out) {
        if (i >= size) return false;
        *out = data[i];
        return true;
    };
    int v = 0;
    if (b0 == 0x47 && b1 == 0x49) {
        if (!at(2, &v)) return kFileTooShort;
        return v == 0x46 ? kFileGif : kFileUnknown;
    }
    if (b0 == 0x42 && b1 == 0x4D) return kFileBmp;
    if (b0 == 0x4D && b1 == 0x4D) {
        if (!at(3, &v)) return kFileTooShort;
        return v == 0x2A ? kFileTiff : kFileUnknown;
    }
    if (b0 == 0x49 && b1 == 0x49) {
        if (!at(2, &v)) return kFileTooShort;
        return v == 0x2A ? kFileTiff : kFileUnknown;
    }
    if (b0 == 0x89 && b1 == 0x50) {
        // Two reads: bytes 2-3, then 4-7; either returning nothing means too short.
        if (size <= 4) return kFileTooShort;
        // A signature cut short is too short to tell only while the bytes present match.
        static const uint8_t kTail[6] = {0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
        for (size_t i = 0; i < 6; ++i) {
            if (2 + i >= size) return kFileTooShort;
            if (data[2 + i] != kTail[i]) return kFileUnknown;
        }
        return kFilePng;
    }
    if (b0 == 0xFF && b1 == 0xD8) return kFileJpeg;
    return kFileUnknown;
}

FileTypeCode detect_file_type(const std::u16string& path) {
    OsHandle file = file_open_read(path);
    if (file == kClosedFile) return kFileUnknown;
    uint8_t head[8] = {};
    uint32_t got = 0;
    const bool ok = file_read(file, head, sizeof head, &got);
    file_close(file);
    if (!ok) return kFileUnknown;
    return detect_file_type_bytes(head, got);
}

FileTypeCode detect_type_from_extension(const std::u16string& path) {
    struct Entry {
        const char16_t* ext;
        FileTypeCode code;
    };
    static const Entry kTable[] = {
        {u".jpg", kFileJpeg}, {u".png", kFilePng},   {u".gif", kFileGif},  {u".bmp", kFileBmp},
        {u".tif", kFileTiff}, {u".tiff", kFileTiff}, {u".jpe", kFileJpeg}, {u".jpeg", kFileJpeg},
    };
    const std::u16string ext = path_find_extension(path);
    for (const Entry& e : kTable) {
        if (compare_ascii_nocase(ext, e.ext) == 0) return e.code;
    }
    return kFileUnknown;
}
