// The packed-DIB parser of the clipboard path over arbitrary blocks.
#include <cstddef>
#include <cstdint>

#include "codecs/bmp/bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    BmpContext context;
    init_bmp_context(&context, 0);
    bmp_reader_reset(&context);
    LoadedImage* image = parse_packed_dib(&context, data, size);
    if ((image != nullptr) != (context.error == kCodecOk)) __builtin_trap();
    if (image) {
        // Run-length and top-down blocks are refused, never decoded.
        const BitmapInfoHeader& read = context.state.info_header;
        if (read.height < 1 || (read.compression != kBiRgb && read.compression != kBiBitfields))
            __builtin_trap();
        LoadedImage kept = *image;
        free_loaded_image(&kept);
    }
    bmp_reader_release(&context);
    return 0;
}
