// The TIFF reader over arbitrary bytes. Images over four million pixels are skipped (their
// only risk is the allocation the fuzzer's memory limit would stop).
#include <cstddef>
#include <cstdint>
#include <memory>

#include "codecs/tiff/tiff.h"

namespace {

// Width times height from the first IFD's entries, or 0 when they cannot be found.
uint64_t declared_pixels(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    const bool little = data[0] == 'I';
    auto u16 = [&](size_t at) -> uint32_t {
        return at + 2 > size ? 0
               : little      ? (data[at] | (data[at + 1] << 8))
                             : ((data[at] << 8) | data[at + 1]);
    };
    auto u32 = [&](size_t at) -> uint32_t {
        return little ? (u16(at) | (u16(at + 2) << 16)) : ((u16(at) << 16) | u16(at + 2));
    };
    const size_t ifd = u32(4);
    const uint32_t entries = u16(ifd);
    uint64_t width = 0, height = 0;
    for (uint32_t i = 0; i < entries; ++i) {
        const size_t at = ifd + 2 + 12 * static_cast<size_t>(i);
        if (at + 12 > size) break;
        const uint32_t tag = u16(at);
        const uint32_t value = u16(at + 2) == 3 ? u16(at + 8) : u32(at + 8);
        if (tag == 256) width = value;
        if (tag == 257) height = value;
    }
    return width * height;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (declared_pixels(data, size) > (4u << 20)) return 0;
    auto context = std::make_unique<TiffContext>();
    init_codec_context(context.get(), 0);
    tiff_reader_reset(context.get());
    context->in_memory = 1;
    context->input = ByteCursor(data, size);
    LoadedImage* image = read_tiff_image(context.get());
    if (image) {
        if (image->info.bit_count != 8 && image->info.bit_count != 24) __builtin_trap();
        free_loaded_image(image);
    } else if (context->error == kCodecOk) {
        __builtin_trap();
    }
    tiff_reader_release(context.get());
    return 0;
}
