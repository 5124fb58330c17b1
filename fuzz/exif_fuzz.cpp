// The Exif reader: any bytes give a summary or a refusal without reading outside the data.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "codecs/jpeg/exif.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    JpegReaderContext context;
    init_codec_context(&context, 0);
    context.input = ByteCursor(data, size);
    ExifSummary summary;
    std::memset(&summary, 0, sizeof summary);
    const bool found = jpeg_read_exif(&context, &summary);
    if (found && context.error != kCodecOk) __builtin_trap();
    return 0;
}
