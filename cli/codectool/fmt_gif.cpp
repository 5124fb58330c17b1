// codectool's GIF commands. decode: the first image, or with --frame N one composed frame of
// an animation; --all-frames also writes every frame beside the output (OUT-1.bmp, OUT-2.bmp,
// ...) and prints one line per frame (delay, disposal) and the loop count.
// encode: --bits 1..8, --interlace, --transparent RRGGBB, --dither MODE; --indexed writes an
// 8-bit source's own indices and palette without reduction.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "cli/codectool/codectool.h"
#include "codecs/file_io.h"
#include "codecs/gif/gif.h"
#include "codecs/pixel_memory.h"
#include "common/stride.h"
#include "common/utf16.h"

namespace {

std::u16string frame_path(const std::string& output, int frame) {
    const size_t dot = output.rfind('.');
    const std::string stem = dot == std::string::npos ? output : output.substr(0, dot);
    const std::string ext = dot == std::string::npos ? "" : output.substr(dot);
    return tool_path(stem + "-" + std::to_string(frame) + ext);
}

LoadedImage frame_image(const LoadedImage& first, const GifAnimationInfo& info, int frame) {
    LoadedImage image = first;
    image.pixels = info.frame_pixels[frame];
    image.bitmap = info.frame_bitmaps[frame];
    for (int i = 0; i < 256; ++i) image.palette[i] = info.frame_palettes[frame][i];
    return image;
}

}  // namespace

int32_t tool_decode_gif(const std::u16string& path, const ToolArgs& args, LoadedImage* out) {
    std::unique_ptr<GifContext> context(new (std::nothrow) GifContext());
    std::unique_ptr<GifAnimationInfo> info(new (std::nothrow) GifAnimationInfo());
    if (!context || !info) return kCodecNoMemory;
    GifContext* c = context.get();
    init_codec_context(c, 0);
    gif_reader_reset(c);
    c->in_memory = 1;
    const int wanted_frame = args.get_int("frame", 0);
    const bool all_frames = args.has("all-frames");
    c->options.animation_wanted = wanted_frame > 0 || all_frames;
    c->options.replace_transparent_colour = static_cast<uint8_t>(args.get_int("replace-transparent", 1) != 0);
    LoadedImage* image = read_gif_file(path, c);
    if (!image) {
        const int32_t code = c->error != kCodecOk ? c->error : kCodecReadFailed;
        gif_reader_release(c);
        return code;
    }
    const LoadedImage first = *image;
    if (!gif_get_animation_info(c, info.get())) {
        gif_reader_release(c);
        if (all_frames) std::printf("frames 1 loop none\n");
        if (wanted_frame > 0) {
            LoadedImage owned = first;
            free_loaded_image(&owned);
            return kCodecUnsupported;
        }
        *out = first;
        return kCodecOk;
    }
    gif_reader_release(c);
    const int count = info->frame_count;
    bool dumped = true;
    if (all_frames) {
        std::printf("frames %d loop %d\n", count, info->loop_count);
        const std::string output = args.get("o");
        for (int i = 0; i < count; ++i) {
            std::printf("frame %d delay %d disposal %d\n", i, info->delays[i], info->disposals[i]);
            if (i > 0 && !output.empty() && dumped)
                dumped = dump_loaded_image_bmp(frame_path(output, i), frame_image(first, *info, i));
        }
    }
    if (wanted_frame >= count || !dumped) {
        LoadedImage owned = first;
        free_loaded_image(&owned);
        gif_free_animation_frames(info.get());
        return dumped ? kCodecUnsupported : kCodecCreateFailed;
    }
    if (wanted_frame == 0) {
        *out = first;
    } else {
        *out = frame_image(first, *info, wanted_frame);
        // The chosen frame now belongs to the caller; the first frame and the rest are freed.
        info->frame_pixels[wanted_frame] = nullptr;
        info->frame_bitmaps[wanted_frame] = 0;
        LoadedImage owned = first;
        free_loaded_image(&owned);
    }
    gif_free_animation_frames(info.get());
    return kCodecOk;
}

int tool_encode_gif(const LoadedImage& image, const std::u16string& output, const ToolArgs& args) {
    const int source_bits = image.info.bit_count;
    const int bits = args.get_int("bits", 8);
    if (bits < 1 || bits > 8) return report_usage("--bits must be 1 to 8");
    GifWriterContext context;
    init_codec_context(&context, 0);
    context.conversion.width = image.info.width;
    context.conversion.height = image.info.height;
    context.conversion.source_bits = source_bits;
    context.conversion.target_bits = bits;
    context.conversion.dither_mode = args.get_int("dither", kDitherNone);
    context.interlace = args.has("interlace");
    uint8_t colour[3] = {};
    if (args.has("transparent")) {
        const unsigned long rgb = std::strtoul(args.get("transparent").c_str(), nullptr, 16);
        colour[0] = static_cast<uint8_t>(rgb >> 16);
        colour[1] = static_cast<uint8_t>(rgb >> 8);
        colour[2] = static_cast<uint8_t>(rgb);
        context.transparency = 1;
        context.transparent_colour = colour;
    }
    compute_row_sizes(&context.conversion);
    bool ok;
    if (args.has("indexed")) {
        if (source_bits != 8 || image.info.height < 0) {
            gif_writer_release(&context);
            return report_usage("--indexed needs an 8-bit bottom-up source");
        }
        // Rows of exactly width bytes, as the writer takes them.
        const int64_t stride = row_stride_bytes(image.info.width, 8);
        uint8_t* rows = alloc_pixels(static_cast<int64_t>(image.info.width) * image.info.height);
        if (!rows) return report_codec_error(kCodecNoMemory);
        for (int32_t y = 0; y < image.info.height; ++y)
            for (int32_t x = 0; x < image.info.width; ++x)
                rows[static_cast<int64_t>(y) * image.info.width + x] = image.pixels[y * stride + x];
        (void)context.output_file.create(output);
        ok = context.output_file.is_open();
        if (!ok) set_codec_error(&context, kCodecCreateFailed);
        if (ok)
            ok = gif_write_indexed(&context, image.palette, rows) && file_flush(context.output_file.get());
        free_pixels(rows);
    } else {
        ok = write_gif_file(output, &context, const_cast<RgbQuad*>(image.palette), image.pixels);
    }
    const int32_t code = context.error != kCodecOk ? context.error : kCodecSaveFailed;
    gif_writer_release(&context);
    if (!ok) return report_codec_error(code);
    std::printf("%dx%d %d\n", image.info.width, image.info.height, bits);
    return 0;
}
