#include <cstddef>
#include <cstdint>

#include "codecs/file_type.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FileTypeCode code = detect_file_type_bytes(data, size);
    if (code < kFileUnknown || code > kFileTooShort) __builtin_trap();
    return 0;
}
