// PNG commands of codectool.
//   decode: --no-transparency, --ignore-bkgd, --background R,G,B, --display-gamma N (thousandths),
//           --dib (rows in a DIB section), --info (chunk flags and counters on stderr)
//   encode --format png: --bits 1|2|4|8|24|48, --grey, --interlace, --filter 0-5 (0 adaptive),
//           --level N, --gamma N (thousandths), --transparent R,G,B, --res X,Y (pixels per
//           metre), --comment TEXT, --dither N
//   comment get FILE | comment set FILE [TEXT] (no TEXT removes it); textlist FILE
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/codectool/codectool.h"
#include "codecs/file_io.h"
#include "codecs/png/png.h"
#include "loading/codec_set.h"

namespace {

// "a,b,c" into up to three integers; false when the count differs.
bool parse_list(const std::string& text, int count, int* out) {
    int n = 0;
    const char* p = text.c_str();
    while (*p && n < count) {
        char* end = nullptr;
        out[n++] = static_cast<int>(std::strtol(p, &end, 10));
        if (end == p) return false;
        p = *end == ',' ? end + 1 : end;
    }
    return n == count && *p == 0;
}

}  // namespace

int32_t tool_decode_png(const std::u16string& path, const ToolArgs& args, LoadedImage* out) {
    PngContext* c = g_codecs.png_reader;
    reset_codec_handles(c);
    c->state.grey = 0;
    c->state.interlace = 0;
    png_reader_reset(c);
    c->in_memory = args.has("dib") ? 0 : 1;
    c->options.blend_table = g_blend_table;
    c->options.transparency = args.has("no-transparency") ? 0 : 1;
    c->options.ignore_bkgd = args.has("ignore-bkgd") ? 1 : 0;
    int rgb[3];
    if (args.has("background") && parse_list(args.get("background"), 3, rgb)) {
        c->options.configured_red = static_cast<uint8_t>(rgb[0]);
        c->options.configured_green = static_cast<uint8_t>(rgb[1]);
        c->options.configured_blue = static_cast<uint8_t>(rgb[2]);
    }
    const int display_gamma = args.get_int("display-gamma", 0);
    if (display_gamma > 0) c->options.display_gamma = static_cast<uint32_t>(display_gamma);
    LoadedImage* image = read_png_file(c, path);
    int32_t code = kCodecOk;
    if (image) {
        *out = *image;
        c->loaded.pixels = nullptr;
        c->loaded.bitmap = 0;
        if (args.has("info"))
            std::fprintf(stderr, "interlace %d alpha %d trns %d texts %d comments %d zlib %d\n",
                         c->state.interlace, c->state.alpha, c->state.trns_seen, c->state.text_chunks,
                         c->state.comment_chunks, c->error);
    } else {
        code = c->error != kCodecOk ? c->error : kCodecBadData;
    }
    png_reader_release(c);
    return code;
}

int tool_encode_png(const LoadedImage& image, const std::u16string& output, const ToolArgs& args) {
    PngWriterContext context;
    init_codec_context(&context, 0);
    png_build_crc_table(&context);
    png_writer_reset(&context);
    context.conversion.width = image.info.width;
    context.conversion.height = image.info.height < 0 ? -image.info.height : image.info.height;
    context.conversion.source_bits = image.info.bit_count;
    context.conversion.target_bits = args.get_int("bits", image.info.bit_count);
    context.conversion.dither_mode = args.get_int("dither", kDitherNone);
    compute_row_sizes(&context.conversion);
    context.state.grey = args.has("grey") ? 1 : 0;
    context.state.interlace = args.has("interlace") ? 1 : 0;
    context.settings.filter_mode = args.get_int("filter", 0);
    context.settings.level = args.get_int("level", 9);
    context.settings.gamma = static_cast<uint32_t>(args.get_int("gamma", 0));
    uint8_t colour[3] = {};
    int rgb[3];
    if (args.has("transparent")) {
        if (!parse_list(args.get("transparent"), 3, rgb)) return report_usage("--transparent R,G,B");
        for (int i = 0; i < 3; ++i) colour[i] = static_cast<uint8_t>(rgb[i]);
        context.settings.transparent = 1;
        context.transparent_colour = colour;
    }
    int res[2];
    if (args.has("res")) {
        if (!parse_list(args.get("res"), 2, res)) return report_usage("--res X,Y");
        context.settings.horizontal_resolution = res[0];
        context.settings.vertical_resolution = res[1];
    }
    const std::string comment = args.get("comment");
    if (args.has("comment")) context.settings.comment = comment.c_str();
    RgbQuad palette[256];
    std::memcpy(palette, image.palette, sizeof palette);
    const bool ok = write_png_file(output, &context, palette, image.pixels);
    const int32_t code = context.error;
    png_writer_release(&context);
    if (!ok) return report_codec_error(code != kCodecOk ? code : kCodecSaveFailed);
    return 0;
}

namespace {

void read_png_comment(CodecContext* context, const std::u16string& path, char* text, uint32_t) {
    png_read_comment(static_cast<PngContext*>(context), path, text);
}

bool write_png_comment(CodecContext* context, const std::u16string& path, const std::u16string& temporary,
                       const char* text, int32_t* mode) {
    return png_write_comment(path, static_cast<PngContext*>(context), temporary, text, mode);
}

void report_png_comment_mode(bool written, int32_t mode) {
    std::printf("%s\n", !written ? "unchanged" : mode == 1 ? "inserted" : mode == 0 ? "replaced" : "removed");
}

}  // namespace

int tool_comment_png(const ToolArgs& args) {
    PngContext context;
    init_codec_context(&context, 0);
    png_build_crc_table(&context);
    const CommentFormat format = {kPngCommentBytes, read_png_comment, write_png_comment,
                                  report_png_comment_mode, kCodecCreateFailed};
    return tool_comment(args, &context, format);
}

int tool_textlist(const ToolArgs& args) {
    if (args.positional.size() != 1) return report_usage("textlist FILE");
    PngContext context;
    init_codec_context(&context, 0);
    png_build_crc_table(&context);
    std::vector<uint8_t> buffer(kPngTextListBytes, 0);
    const bool listed = png_list_text_chunks(tool_path(args.positional[0]), buffer.data(), &context);
    const int32_t code = context.error;
    close_codec_files(&context);
    if (code != kCodecOk) return report_codec_error(code);
    if (!listed) return 0;
    for (int i = 0; i < kPngTextEntries; ++i) {
        const char* keyword = reinterpret_cast<const char*>(buffer.data() + i * kPngKeywordSlot);
        if (!keyword[0]) break;
        const char* text = reinterpret_cast<const char*>(buffer.data() + kPngTextEntries * kPngKeywordSlot +
                                                         i * kPngTextSlot);
        std::printf("%s: %s\n", keyword, text);
    }
    return 0;
}
