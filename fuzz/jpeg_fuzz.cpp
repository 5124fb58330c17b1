// The JPEG reader over bytes in memory: any input decodes or fails with an error, and a
// failure leaves nothing allocated.
#include <cstddef>
#include <cstdint>

#include "codecs/jpeg/jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0xFFFFFFFFu) return 0;
    JpegReaderContext context;
    init_codec_context(&context, 0);
    jpeg_reader_reset(&context);
    context.in_memory = 1;
    context.state.data_supplied = 1;
    context.loaded.file_size = static_cast<uint32_t>(size);
    // A box keeps huge declared sizes at 1/8 while small images decode at full size.
    context.state.scaled_decode = 1;
    context.state.box_width = 64;
    context.state.box_height = 64;
    LoadedImage* image = read_jpeg_image(&context, u"", data);
    if (image) {
        if (!image->pixels || image->info.width < 1 || image->info.height < 1) __builtin_trap();
        if (image->info.bit_count != 8 && image->info.bit_count != 24) __builtin_trap();
        free_loaded_image(image);
    } else if (context.loaded.pixels || context.error == kCodecOk) {
        __builtin_trap();
    }
    jpeg_reader_release(&context);
    return 0;
}
