// The PNG reader over arbitrary bytes: it must fail cleanly or return an image whose rows it
// wrote entirely within their allocation.
#include <cstddef>
#include <cstdint>

#include "codecs/png/png.h"
#include "kernels/lookup_tables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static uint8_t blend[65536];
    static PngContext* context = [] {
        build_blend_table(blend);
        PngContext* c = new PngContext();
        init_codec_context(c, 0);
        png_build_crc_table(c);
        return c;
    }();
    PngContext* c = context;
    c->error = kCodecOk;
    png_reader_reset(c);
    c->in_memory = 1;
    c->options.blend_table = blend;
    c->options.display_gamma = size > 0 && (data[size - 1] & 1) ? 2200 : 0;
    c->input = ByteCursor(data, size);
    LoadedImage* image = read_png_mapped(c);
    if (image) {
        const int64_t stride = stride_for_depth(image->info.width, image->info.bit_count);
        // Touch the last byte of every row so a short allocation shows under the sanitizer.
        uint8_t sum = 0;
        for (int64_t y = 0; y < image->info.height; ++y) sum ^= image->pixels[y * stride + stride - 1];
        if (image->info.bit_count != 8 && image->info.bit_count != 24) __builtin_trap();
        (void)sum;
        free_loaded_image(image);
    } else if (c->error == kCodecOk) {
        __builtin_trap();  // a failure without a code
    }
    png_free_buffers(c);
    c->input = ByteCursor();
    return 0;
}
