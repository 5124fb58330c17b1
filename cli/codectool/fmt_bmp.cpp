// codectool's BMP commands: decode through the reader, encode at 1, 4, 8 or 24 bits with an
// optional DitherMode.
#include <cstdio>

#include "cli/codectool/codectool.h"
#include "codecs/bmp/bmp.h"

int32_t tool_decode_bmp(const std::u16string& path, const ToolArgs&, LoadedImage* out) {
    BmpContext context;
    init_bmp_context(&context, 0);
    bmp_reader_reset(&context);
    context.in_memory = 1;
    LoadedImage* image = read_bmp_file(path, &context);
    const int32_t code = image ? kCodecOk : (context.error != kCodecOk ? context.error : kCodecReadFailed);
    if (image) *out = *image;
    bmp_reader_release(&context);
    return code;
}

int tool_encode_bmp(const LoadedImage& image, const std::u16string& output, const ToolArgs& args) {
    const int source_bits = image.info.bit_count;
    const int bits = args.get_int("bits", source_bits);
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
        return report_usage("--bits must be 1, 4, 8 or 24");
    BmpContext context;
    init_bmp_context(&context, 0);
    context.conversion.width = image.info.width;
    context.conversion.height = image.info.height;
    context.conversion.source_bits = source_bits;
    context.conversion.target_bits = bits;
    context.conversion.dither_mode = args.get_int("dither", kDitherDiv16);
    context.x_ppm = image.info.x_pels_per_meter;
    context.y_ppm = image.info.y_pels_per_meter;
    compute_row_sizes(&context.conversion);
    const bool ok = write_bmp_file(output, &context, image.palette, image.pixels);
    const int32_t code = context.error != kCodecOk ? context.error : kCodecSaveFailed;
    bmp_writer_release(&context);
    if (!ok) return report_codec_error(code);
    std::printf("%dx%d %d\n", image.info.width, image.info.height, bits);
    return 0;
}
