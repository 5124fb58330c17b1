// codectool's TIFF commands: decode through the reader; encode at --bits 1, 4, 8, 24 or 48
// (--grey for 8-bit grey), with the source's resolution and an optional --dither MODE.
#include <cstdio>
#include <memory>
#include <new>

#include "cli/codectool/codectool.h"
#include "codecs/tiff/tiff.h"

int32_t tool_decode_tiff(const std::u16string& path, const ToolArgs&, LoadedImage* out) {
    std::unique_ptr<TiffContext> context(new (std::nothrow) TiffContext());
    if (!context) return kCodecNoMemory;
    TiffContext* c = context.get();
    init_codec_context(c, 0);
    tiff_reader_reset(c);
    c->in_memory = 1;
    LoadedImage* image = read_tiff_file(path, c);
    const int32_t code = image ? kCodecOk : (c->error != kCodecOk ? c->error : kCodecReadFailed);
    if (image) *out = *image;
    tiff_reader_release(c);
    return code;
}

int tool_encode_tiff(const LoadedImage& image, const std::u16string& output, const ToolArgs& args) {
    const int source_bits = image.info.bit_count;
    const int bits = args.get_int("bits", source_bits);
    TiffWriterContext context;
    init_codec_context(&context, 0);
    tiff_writer_reset(&context);
    context.conversion.width = image.info.width;
    context.conversion.height = image.info.height;
    context.conversion.source_bits = source_bits;
    context.conversion.target_bits = bits;
    context.state.grey = args.has("grey");
    context.conversion.dither_mode = args.get_int("dither", kDitherNone);
    context.state.x_pixels_per_metre = image.info.x_pels_per_meter;
    context.state.y_pixels_per_metre = image.info.y_pels_per_meter;
    compute_row_sizes(&context.conversion);
    const bool ok = write_tiff_file(output, &context, const_cast<RgbQuad*>(image.palette), image.pixels);
    const int32_t code = context.error != kCodecOk ? context.error : kCodecSaveFailed;
    tiff_writer_release(&context);
    if (!ok) return report_codec_error(code);
    std::printf("%dx%d %d\n", image.info.width, image.info.height, bits);
    return 0;
}
