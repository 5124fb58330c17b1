// The BMP file reader over arbitrary bytes, in both row modes.
#include <cstddef>
#include <cstdint>

#include "codecs/bmp/bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Rows a short file lacks load as zero, so a few header bytes may ask for gigabytes: past
    // 2^24 pixels only the allocation grows, which the fuzzer's memory limit would report.
    if (size >= 26) {
        const auto le16 = [data](size_t at) { return static_cast<int64_t>(data[at] | (data[at + 1] << 8)); };
        const auto le32 = [&](size_t at) {
            return static_cast<int64_t>(static_cast<int32_t>(le16(at) | (le16(at + 2) << 16)));
        };
        const bool core = le32(14) == 12;  // the old header with 16-bit sizes
        const int64_t width = core ? le16(18) : le32(18);
        const int64_t height = core ? le16(20) : le32(22);
        if (width > 0 && height > 0 && width * height > (int64_t{1} << 24)) return 0;
    }
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
            const BitmapInfoHeader& read = context.state.info_header;
            if (read.height < 1 || (read.compression != kBiRgb && read.compression != kBiBitfields))
                __builtin_trap();
            LoadedImage kept = *image;
            free_loaded_image(&kept);
        }
        bmp_reader_release(&context);
    }
    return 0;
}
