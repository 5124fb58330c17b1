// The built-in readers as the browser runs them: reset the global context, read in in-memory
// mode, publish the full size and the format words, release the context whatever the result.
#include "codecs/bmp/bmp.h"
#include "codecs/gif/gif.h"
#include "codecs/jpeg/jpeg.h"
#include "codecs/png/png.h"
#include "codecs/tiff/tiff.h"
#include "loading/browser_load.h"
#include "loading/codec_set.h"
#include "loading/reader_display_options.h"

namespace {

void publish_full_size(const LoadedImage* image) {
    g_load_result.full_width = image->info.width;
    g_load_result.full_height = image->info.height;
}

// Sets the reader's cursor over the caller's mapping; error 4 when there is none.
bool map_for_reader(const MappedInput* input, const std::u16string&, CodecContext* context) {
    if (input) return use_mapped_input(*input, context) != 0;
    set_codec_error(context, kCodecReadFailed);
    return false;
}

// The path entries own the file's mapping for the length of the read. One that cannot be
// opened or mapped holds none, and the reader reports error 4.
MappedInput map_whole_file(const std::u16string& path) {
    MappedInput input;
    if (!input.open(path)) input.close();
    return input;
}

}  // namespace

LoadedImage* load_bmp_bits(const std::u16string& path) {
    const MappedInput input = map_whole_file(path);
    return load_bmp_bits_mapped(&input, path);
}

LoadedImage* load_bmp_bits_mapped(const MappedInput* input, const std::u16string& path) {
    BmpContext* c = g_codecs.bmp_reader;
    if (!c) return nullptr;
    bmp_reader_reset(c);
    // What the shared contexts' own resets may leave: each use starts with closed handles.
    reset_codec_handles(c);
    c->in_memory = 1;
    LoadedImage* image = map_for_reader(input, path, c) ? decode_bmp_input(c) : nullptr;
    if (image) publish_full_size(image);
    bmp_reader_release(c);
    return image;
}

ReaderDisplayOptions browser_display_options() {
    const BrowserOptions& o = g_browser_options;
    ReaderDisplayOptions d;
    d.gamma_enabled = o.gamma_enabled;
    d.display_gamma_x1000 = o.display_gamma_x1000;
    d.apply_transparency = o.apply_transparency;
    d.use_file_background = o.use_file_background;
    d.background_colour = o.background_colour;
    return d;
}

void set_browser_display_options(const ReaderDisplayOptions& d) {
    BrowserOptions& o = g_browser_options;
    o.gamma_enabled = d.gamma_enabled;
    o.display_gamma_x1000 = d.display_gamma_x1000;
    o.apply_transparency = d.apply_transparency;
    o.use_file_background = d.use_file_background;
    o.background_colour = d.background_colour;
}

void prepare_png_reader(PngContext* c, uint8_t in_memory) {
    png_reader_reset(c);
    reset_codec_handles(c);
    c->state.grey = 0;
    c->state.interlace = 0;
    c->in_memory = in_memory;
    set_png_display_options(c, browser_display_options(), g_blend_table);
}

void prepare_gif_reader(GifContext* c, uint8_t in_memory) {
    gif_reader_reset(c);
    reset_codec_handles(c);
    c->in_memory = in_memory;
    set_gif_display_options(c, browser_display_options());
}

LoadedImage* load_png_bits(const std::u16string& path) {
    const MappedInput input = map_whole_file(path);
    return load_png_bits_mapped(&input, path);
}

LoadedImage* load_png_bits_mapped(const MappedInput* input, const std::u16string& path) {
    PngContext* c = g_codecs.png_reader;
    if (!c) return nullptr;
    prepare_png_reader(c, 1);
    LoadedImage* image = map_for_reader(input, path, c) ? read_png_mapped(c) : nullptr;
    if (image) {
        publish_full_size(image);
        g_load_result.w1 = c->state.comment_chunks;
        g_load_result.w2 = c->state.text_chunks;
        g_load_result.w3 = c->state.interlace;
        g_load_result.w4 = (c->state.alpha || c->state.trns_seen) ? 1 : 0;
    }
    png_reader_release(c);
    return image;
}

LoadedImage* load_jpeg_bits(const uint8_t* data, uint32_t size, const std::u16string& path) {
    return load_jpeg_bits_mapped(nullptr, data, size, path);
}

LoadedImage* load_jpeg_bits_mapped(const MappedInput* input, const uint8_t* data, uint32_t size,
                                   const std::u16string& path) {
    JpegReaderContext* c = g_codecs.jpeg_reader;
    if (!c) return nullptr;
    jpeg_reader_reset(c);
    reset_codec_handles(c);
    c->in_memory = 1;
    const BrowserOptions& o = g_browser_options;
    if (o.jpeg_box_width != 0 && o.jpeg_box_height != 0) {
        c->state.scaled_decode = 1;
        c->state.box_width = o.jpeg_box_width;
        c->state.box_height = o.jpeg_box_height;
    }
    if (data) {
        c->state.data_supplied = 1;
        c->loaded.file_size = size;
    } else if (input) {
        if (!map_for_reader(input, path, c)) {
            jpeg_reader_release(c);
            return nullptr;
        }
        c->state.data_supplied = 1;
        data = input->data();
    }
    LoadedImage* image = read_jpeg_image(c, path, data);
    if (image) {
        // The size in the file, not the reduced size the box asked for.
        g_load_result.full_width = c->state.source_width;
        g_load_result.full_height = c->state.source_height;
        g_load_result.w1 = c->state.comment_count;
        g_load_result.w2 = c->state.app1_seen ? 1 : 0;
        g_load_result.w3 = c->state.progressive ? 1 : 0;
    }
    jpeg_reader_release(c);
    return image;
}

LoadedImage* load_tiff_bits(const std::u16string& path) {
    const MappedInput input = map_whole_file(path);
    return load_tiff_bits_mapped(&input, path);
}

LoadedImage* load_tiff_bits_mapped(const MappedInput* input, const std::u16string& path) {
    TiffContext* c = g_codecs.tiff_reader;
    if (!c) return nullptr;
    tiff_reader_reset(c);
    reset_codec_handles(c);
    c->in_memory = 1;
    LoadedImage* image = nullptr;
    if (map_for_reader(input, path, c)) image = read_tiff_image(c);
    if (image) {
        publish_full_size(image);
        g_load_result.w1 = c->state.description_seen ? 1 : 0;
    }
    tiff_reader_release(c);
    return image;
}

LoadedImage* load_gif_bits(const std::u16string& path) {
    const MappedInput input = map_whole_file(path);
    return load_gif_bits_mapped(&input, path);
}

LoadedImage* load_gif_bits_mapped(const MappedInput* input, const std::u16string& path) {
    GifContext* c = g_codecs.gif_reader;
    if (!c) return nullptr;
    prepare_gif_reader(c, 1);
    c->options.animation_wanted = 0;
    LoadedImage* image = nullptr;
    if (map_for_reader(input, path, c)) image = read_gif_image(c);
    if (image) {
        publish_full_size(image);
        g_load_result.w1 = c->state.comment_seen ? 1 : 0;
        g_load_result.w3 = c->state.interlaced ? 1 : 0;
        g_load_result.w4 = c->state.transparent_frames > 0 ? 1 : 0;
    }
    gif_reader_release(c);
    return image;
}

// The lossless transform on a context of its own, trimming the partial iMCU strips that the
// transform would otherwise leave on the wrong side, copying every marker. Its files, the
// source's mapping among them, are closed before it returns: the source is about to be
// replaced.
bool jpeg_transform_in_place_step(const std::u16string& source, const std::u16string& target, int32_t kind) {
    JpegTransformContext context;
    init_codec_context(&context, 0);
    clear_jpeg_error_text();
    jpeg_set_transform(&context, kind, 1, kJpegCopyAll, 0, 0);
    const bool ok = jpeg_transform_file(&context, source, target);
    close_codec_files(&context);
    return ok;
}
