// Detection of an image file's format from its first bytes, never from its name.
#pragma once

#include <cstdint>
#include <string>

enum FileTypeCode : int32_t {
    kFileUnknown = 0,  // not a built-in type, or the file cannot be opened: left to plug-ins
    kFileBmp = 1,
    kFilePng = 2,
    kFileJpeg = 3,
    kFileTiff = 4,
    kFileGif = 5,
    kFileTooShort = 6,
};

FileTypeCode detect_file_type(const std::u16string& path);

// The same decision over bytes already in memory (`size` of them, from the file's start).
FileTypeCode detect_file_type_bytes(const uint8_t* data, size_t size);

// By extension only; used to tell whether a plug-in's pattern names a built-in type.
FileTypeCode detect_type_from_extension(const std::u16string& path);
