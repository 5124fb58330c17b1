// codectool's JPEG commands: decode (with --scale), encode, transform, comment and exif.
#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/codectool/codectool.h"
#include "codecs/file_io.h"
#include "codecs/jpeg/exif.h"
#include "codecs/jpeg/jpeg.h"
#include "common/utf16.h"

namespace {

// A failure with the library's message: code 0 carries no text of its own.
int report_jpeg_failure(int32_t code) {
    if (g_jpeg_error_text[0] != 0)
        std::fprintf(stderr, "libjpeg: %s\n", utf16_to_utf8(g_jpeg_error_text).c_str());
    if (code == kCodecOk) {
        std::printf("error 0: %s\n", utf16_to_utf8(g_jpeg_error_text).c_str());
        return 1;
    }
    return report_codec_error(code);
}

int32_t parse_transform_kind(const std::string& op) {
    if (op == "rot90") return 1;
    if (op == "rot180") return 2;
    if (op == "rot270") return 3;
    if (op == "fliph") return 4;
    if (op == "flipv") return 5;
    if (op == "none") return 0;
    return -1;
}

int32_t parse_marker_copy(const std::string& copy) {
    if (copy == "none") return kJpegCopyNone;
    if (copy == "comments") return kJpegCopyComments;
    if (copy == "all") return kJpegCopyAll;
    return -1;
}

}  // namespace

int32_t tool_decode_jpeg(const std::u16string& path, const ToolArgs& args, LoadedImage* out) {
    JpegReaderContext context;
    init_codec_context(&context, 0);
    jpeg_reader_reset(&context);
    context.in_memory = 1;
    const int scale = args.get_int("scale", 1);
    if (scale != 1 && scale != 2 && scale != 4 && scale != 8) return kCodecUnsupported;
    context.state.scale_denominator = scale;
    const std::string box = args.get("box");
    int box_w = 0;
    int box_h = 0;
    if (!box.empty() && std::sscanf(box.c_str(), "%dx%d", &box_w, &box_h) == 2) {
        context.state.scale_denominator = 0;
        context.state.scaled_decode = 1;
        context.state.box_width = box_w;
        context.state.box_height = box_h;
    }
    const LoadedImage* image = read_jpeg_image(&context, path, nullptr);
    int32_t code = context.error;
    if (image) {
        *out = *image;
        code = kCodecOk;
    } else if (code == kCodecOk) {
        code = kCodecBadData;
    }
    if (!image && g_jpeg_error_text[0] != 0)
        std::fprintf(stderr, "libjpeg: %s\n", utf16_to_utf8(g_jpeg_error_text).c_str());
    jpeg_reader_release(&context);
    return code;
}

int tool_encode_jpeg(const LoadedImage& image, const std::u16string& output, const ToolArgs& args) {
    JpegWriterContext context;
    init_codec_context(&context, 0);
    jpeg_writer_reset(&context);
    context.conversion.width = image.info.width;
    context.conversion.height = image.info.height;
    context.conversion.source_bits = image.info.bit_count;
    jpeg_set_save_options(&context, args.get_int("quality", 75), args.has("progressive") ? 1 : 0,
                          args.has("grey") ? 1 : 0, args.get_int("sampling", 0));
    const int dpi = args.get_int("dpi", 0);
    context.state.dots_per_inch_x = dpi;
    context.state.dots_per_inch_y = dpi;
    const std::string comment = args.get("comment");
    if (args.has("comment")) context.state.comment = comment.c_str();
    bool ok;
    if (args.has("limit")) {
        ok = write_jpeg_file_size_limited(&context, output, image.palette, image.pixels,
                                          static_cast<uint32_t>(args.get_int("limit", 0)));
        if (ok) std::printf("quality %d\n", context.state.quality);
    } else {
        ok = write_jpeg_image(&context, output, image.palette, image.pixels);
    }
    const int32_t code = context.error;
    jpeg_writer_release(&context);
    if (!ok) return report_jpeg_failure(code);
    return 0;
}

int tool_transform(const ToolArgs& args) {
    if (args.positional.size() != 1 || !args.has("o") || !args.has("op"))
        return report_usage("transform IN.jpg -o OUT.jpg --op OP [--trim] [--copy none|comments|all]");
    const int32_t kind = parse_transform_kind(args.get("op"));
    const int32_t copy = parse_marker_copy(args.get("copy", "all"));
    if (kind < 0) return report_usage("unknown operation " + args.get("op"));
    if (copy < 0) return report_usage("unknown marker copy " + args.get("copy"));
    JpegTransformContext context;
    init_codec_context(&context, 0);
    jpeg_transform_reset(&context);
    jpeg_set_transform(&context, kind, args.has("trim") ? 1 : 0, copy, args.has("progressive") ? 1 : 0,
                       args.has("grey") ? 1 : 0);
    const bool ok = jpeg_transform_file(&context, tool_path(args.positional[0]), tool_path(args.get("o")));
    const int32_t code = context.error;
    jpeg_transform_release(&context);
    if (!ok) return report_jpeg_failure(code);
    std::printf("%dx%d\n", context.state.output_width, context.state.output_height);
    return 0;
}

namespace {

void read_jpeg_comment(CodecContext* context, const std::u16string& path, char* text, uint32_t text_bytes) {
    jpeg_read_comment(path, context, text, text_bytes);
}

bool write_jpeg_comment(CodecContext* context, const std::u16string& path, const std::u16string& temporary,
                        const char* text, int32_t* mode) {
    return jpeg_write_comment(path, context, temporary, text, mode);
}

void report_jpeg_comment_mode(bool, int32_t mode) {
    std::printf("mode %d\n", mode);
}

}  // namespace

int tool_comment_jpeg(const ToolArgs& args) {
    CodecContext context;
    init_codec_context(&context, 0);
    const CommentFormat format = {kJpegMaxCommentBytes, read_jpeg_comment, write_jpeg_comment,
                                  report_jpeg_comment_mode, kCodecOk};
    return tool_comment(args, &context, format);
}

int tool_exif(const ToolArgs& args) {
    if (args.positional.size() != 1) return report_usage("exif FILE");
    JpegReaderContext context;
    init_codec_context(&context, 0);
    ExifSummary s;
    std::memset(&s, 0, sizeof s);
    const bool found = jpeg_read_exif_file(tool_path(args.positional[0]), &context, &s);
    const int32_t code = context.error;
    close_codec_files(&context);
    if (code != kCodecOk) return report_codec_error(code);
    if (!found) {
        std::printf("no exif\n");
        return 0;
    }
    std::printf("Make: %.64s\n", s.maker);
    std::printf("Model: %.64s\n", s.model);
    std::printf("ExposureTime: %u/%u\n", s.exposure_numerator, s.exposure_denominator);
    std::printf("FNumber: %u/%u\n", s.f_number_numerator, s.f_number_denominator);
    std::printf("ExposureProgram: %u\n", static_cast<unsigned>(s.exposure_program));
    std::printf("ISO: %u\n", static_cast<unsigned>(s.iso_speed));
    std::printf("DateTimeOriginal: %.20s\n", s.date_time_original);
    std::printf("ExposureBias: %d/%d\n", s.exposure_bias_numerator, s.exposure_bias_denominator);
    std::printf("MaxApertureValue: %u/%u\n", s.max_aperture_numerator, s.max_aperture_denominator);
    std::printf("MeteringMode: %u\n", static_cast<unsigned>(s.metering_mode));
    std::printf("Flash: %u\n", static_cast<unsigned>(s.flash));
    std::printf("FocalLength: %u/%u\n", s.focal_length_numerator, s.focal_length_denominator);
    return 0;
}
