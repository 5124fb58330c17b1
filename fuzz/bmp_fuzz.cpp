// The BMP file reader over arbitrary bytes, in both row modes.
#include <cstddef>
#include <cstdint>

#include "codecs/bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (uint8_t in_memory : {1, 0}) {
        BmpContext context;
        init_bmp_context(&context, 0);
        bmp_reader_reset(&context);
        context.in_memory = in_memory;
        context.input = ByteCursor(data, size);
        LoadedImage* image = decode_bmp_input(&context);
        if ((image != nullptr) != (context.error == kCodecOk)) __builtin_trap();
        if (image) {
            const int bits = image->info.bit_count;
            if (bits != 8 && bits != 24) __builtin_trap();
            // Run-length and top-down bitmaps are refused, never decoded.
            const BitmapInfoHeader& read = context.info_header;
            if (read.height < 1 || (read.compression != kBiRgb && read.compression != kBiBitfields))
                __builtin_trap();
            LoadedImage kept = *image;
            free_loaded_image(&kept);
        }
        bmp_reader_release(&context);
    }
    return 0;
}
