// GIF 87a/89a reader: the first image, or every frame of an animation composed over the
// previous one with the disposal each frame asks for.
#include <cstring>
#include <type_traits>

#include "codecs/file_type.h"
#include "codecs/gif/gif.h"
#include "codecs/pixel_memory.h"
#include "common/stride.h"

namespace {

bool fail(GifContext* c, int32_t code) {
    set_codec_error(c, code);
    return false;
}

int64_t canvas_stride(int32_t width) {
    return row_stride_bytes(width, 8);
}

// Frees the frames after the first. The first frame is the loaded image's rows: they belong
// to the read's owner until it hands them to its caller.
void free_later_frames(GifContext* c) {
    for (int32_t i = 1; i < kGifMaxFrames; ++i) {
        PixelRows rows(c->frames.frame_pixels[i], c->frames.frame_bitmaps[i]);
        c->frames.frame_bitmaps[i] = 0;
        c->frames.frame_pixels[i] = nullptr;
    }
}

void free_intermediates(GifContext* c) {
    free_pixels(c->index_buffer);
    c->index_buffer = nullptr;
    free_pixels(c->data_buffer);
    c->data_buffer = nullptr;
    c->data_size = 0;
    free_pixels(c->restore_buffer);
    c->restore_buffer = nullptr;
}

// Passes sub-blocks up to and including the zero-length terminator.
bool skip_sub_blocks(GifContext* c) {
    for (;;) {
        const uint8_t size = read_u8(c);
        if (c->input.overrun()) return fail(c, kCodecBadData);
        if (size == 0) return true;
        if (!c->input.skip(size)) return fail(c, kCodecBadData);
    }
}

bool read_graphic_control(GifContext* c) {
    const uint8_t size = read_u8(c);
    if (!c->input.has(size)) return fail(c, kCodecBadData);
    const uint8_t* p = c->input.data();
    uint8_t packed = 0, index = 0;
    uint16_t delay = 0;
    if (size >= 4) {
        packed = p[0];
        delay = static_cast<uint16_t>(p[1] | (p[2] << 8));
        index = p[3];
    }
    c->input.skip(size);
    c->state.transparency = packed & 1;
    c->state.transparent_frames += packed & 1;
    c->state.disposal = (packed >> 2) & 7;
    if (c->state.frame_count < kGifMaxFrames) c->frames.delays[c->state.frame_count] = delay;
    c->state.transparent_index = index;
    return skip_sub_blocks(c);
}

bool read_application(GifContext* c) {
    const uint8_t size = read_u8(c);
    if (!c->input.has(size)) return fail(c, kCodecBadData);
    const bool looping = size == 11 && std::memcmp(c->input.data(), "NETSCAPE2.0", 11) == 0;
    c->input.skip(size);
    if (looping && c->options.animation_wanted && !c->state.animation) {
        const uint8_t block = read_u8(c);
        if (c->input.overrun()) return fail(c, kCodecBadData);
        if (block == 0) return true;
        if (!c->input.has(block)) return fail(c, kCodecBadData);
        if (block == 3) {
            const uint8_t* p = c->input.data();
            c->state.loop_count = p[1] | (p[2] << 8);
            c->state.animation = 1;
        }
        c->input.skip(block);
    }
    return skip_sub_blocks(c);
}

bool read_extension(GifContext* c) {
    const uint8_t label = read_u8(c);
    if (c->input.overrun()) return fail(c, kCodecBadData);
    switch (label) {
        case 0xF9: return read_graphic_control(c);
        case 0xFE: c->state.comment_seen = 1; return skip_sub_blocks(c);
        case 0xFF: return read_application(c);
        case 0x01: {
            const uint8_t size = read_u8(c);
            if (c->input.overrun() || !c->input.skip(size)) return fail(c, kCodecBadData);
            return skip_sub_blocks(c);
        }
        default: return fail(c, kCodecReadFailed);
    }
}

// Joins the image's sub-blocks into a buffer sized from the sub-blocks themselves.
bool gather_data(GifContext* c) {
    ByteCursor scan = c->input;
    uint64_t total = 0;
    for (;;) {
        const uint8_t size = scan.u8();
        if (scan.overrun()) return fail(c, kCodecBadData);
        if (size == 0) break;
        if (!scan.skip(size)) return fail(c, kCodecBadData);
        total += size;
    }
    if (total == 0) return fail(c, kCodecBadData);
    c->data_buffer = alloc_pixels(static_cast<int64_t>(total));
    if (!c->data_buffer) return fail(c, kCodecNoMemory);
    c->data_size = static_cast<uint32_t>(total);
    uint8_t* p = c->data_buffer;
    for (;;) {
        const uint8_t size = c->input.u8();
        if (size == 0) break;
        c->input.read_bytes(p, size);
        p += size;
    }
    return true;
}

// Decoded row i of an interlaced image holds image row interlaced_row(i).
int32_t interlaced_row(int32_t i, int32_t height) {
    const int32_t pass1 = (height + 7) / 8;
    if (i < pass1) return i * 8;
    i -= pass1;
    const int32_t pass2 = (height + 3) / 8;
    if (i < pass2) return 4 + i * 8;
    i -= pass2;
    const int32_t pass3 = (height + 1) / 4;
    if (i < pass3) return 2 + i * 4;
    i -= pass3;
    return 1 + i * 2;
}

// The palette a frame is shown through, growing as colours kept from earlier frames are added.
struct FramePalette {
    RgbQuad entries[256];
    int32_t count;

    int32_t index_of(const RgbQuad& colour) {
        for (int32_t i = 0; i < count; ++i) {
            const RgbQuad& e = entries[i];
            if (e.red == colour.red && e.green == colour.green && e.blue == colour.blue) return i;
        }
        if (count < 256) {
            entries[count] = colour;
            entries[count].reserved = 0;
            return count++;
        }
        int32_t best = 0;
        int32_t best_distance = 0x7FFFFFFF;
        for (int32_t i = 0; i < 256; ++i) {
            const int32_t db = entries[i].blue - colour.blue;
            const int32_t dg = entries[i].green - colour.green;
            const int32_t dr = entries[i].red - colour.red;
            const int32_t d = db * db + dg * dg + dr * dr;
            if (d < best_distance) {
                best_distance = d;
                best = i;
            }
        }
        return best;
    }
};

void palette_from_table(const uint8_t* table, RgbQuad* palette) {
    for (int32_t i = 0; i < 256; ++i) {
        palette[i].red = table[3 * i];
        palette[i].green = table[3 * i + 1];
        palette[i].blue = table[3 * i + 2];
        palette[i].reserved = 0;
    }
}

// Canvas row of image row y of the current image (canvas rows are bottom-up).
inline int64_t canvas_row(const GifContext* c, int32_t image_y) {
    return static_cast<int64_t>(c->state.screen_height) - 1 - (c->state.image_top + image_y);
}

bool place_first_frame(GifContext* c, int32_t width, int32_t height) {
    const int64_t stride = canvas_stride(c->state.screen_width);
    set_dib_info_header(c, c->state.screen_width, c->state.screen_height, 8, 0, 0);
    palette_from_table(c->state.active_table, c->loaded.palette);
    if (c->options.replace_transparent_colour && c->state.transparency) {
        // Only the shown palette changes: the table itself stays as the file has it for the frames
        // that follow.
        RgbQuad& e = c->loaded.palette[c->state.transparent_index & 0xFF];
        if (c->options.use_configured_colour || !c->state.global_table_present) {
            e.red = c->options.configured_colour[0];
            e.green = c->options.configured_colour[1];
            e.blue = c->options.configured_colour[2];
        } else {
            e.red = c->state.global_table[3 * c->state.background_index];
            e.green = c->state.global_table[3 * c->state.background_index + 1];
            e.blue = c->state.global_table[3 * c->state.background_index + 2];
        }
    }
    if (!allocate_loaded_rows(c, stride * c->state.screen_height)) return false;
    uint8_t* pixels = c->loaded.pixels;
    std::memset(pixels, c->state.background_index, static_cast<size_t>(stride * c->state.screen_height));
    for (int32_t i = 0; i < height; ++i) {
        const int32_t y = c->state.interlaced ? interlaced_row(i, height) : i;
        if (y >= height) continue;
        std::memcpy(pixels + canvas_row(c, y) * stride + c->state.image_left,
                    c->index_buffer + static_cast<int64_t>(i) * width, static_cast<size_t>(width));
    }
    c->state.background_colour = c->loaded.palette[c->state.background_index];
    c->frames.frame_pixels[0] = pixels;
    c->frames.frame_bitmaps[0] = c->loaded.bitmap;
    std::memcpy(c->frames.frame_palettes[0], c->loaded.palette, sizeof c->loaded.palette);
    return true;
}

// A later frame: the previous frame with its own disposal applied to its own rectangle, then
// this image drawn over it through this image's table. Colours kept from before are found in
// (or added to) this frame's palette.
bool place_later_frame(GifContext* c, int32_t width, int32_t height) {
    const int32_t k = c->state.frame_count;
    const int64_t stride = canvas_stride(c->state.screen_width);
    const int64_t bytes = stride * c->state.screen_height;
    FramePalette palette;
    palette_from_table(c->state.active_table, palette.entries);
    palette.count = c->state.active_entries;
    const RgbQuad* previous_palette = c->frames.frame_palettes[k - 1];
    int16_t map[256];
    for (int16_t& m : map) m = -1;
    auto mapped = [&](uint8_t v) -> uint8_t {
        if (map[v] < 0) map[v] = static_cast<int16_t>(palette.index_of(previous_palette[v]));
        return static_cast<uint8_t>(map[v]);
    };
    int32_t background = -1;

    PixelBuffer out(alloc_pixels(bytes));
    if (!out) return fail(c, kCodecNoMemory);
    const uint8_t* previous = c->state.previous_frame;
    const int32_t pl = c->state.previous_left, pt = c->state.previous_top;
    const int32_t pw = c->state.previous_width, ph = c->state.previous_height;
    const int32_t pd = c->state.previous_disposal;
    PixelBuffer restore;
    if (c->state.disposal == 3 && width > 0 && height > 0) {
        restore.reset(alloc_pixels(static_cast<int64_t>(width) * height));
        if (!restore) return fail(c, kCodecNoMemory);
    }
    // The decoded row holding each image row, so interlace costs one table.
    const PixelBuffer source_rows(alloc_pixels(static_cast<int64_t>(height) * 4));
    if (height > 0 && !source_rows) return fail(c, kCodecNoMemory);
    int32_t* source_row = reinterpret_cast<int32_t*>(source_rows.get());
    for (int32_t i = 0; i < height; ++i) {
        const int32_t y = c->state.interlaced ? interlaced_row(i, height) : i;
        if (y < height) source_row[y] = i;
    }
    const bool transparent = c->state.transparency != 0;
    const uint8_t t = static_cast<uint8_t>(c->state.transparent_index);
    for (int32_t cy = 0; cy < c->state.screen_height; ++cy) {
        // Canvas row cy from the top, stored bottom-up.
        const int64_t row = static_cast<int64_t>(c->state.screen_height) - 1 - cy;
        const uint8_t* prev = previous + row * stride;
        uint8_t* dst = out.get() + row * stride;
        const bool in_prev_rows = cy >= pt && cy < pt + ph;
        for (int32_t x = 0; x < c->state.screen_width; ++x) {
            uint8_t base;
            if (in_prev_rows && x >= pl && x < pl + pw && pd == 2) {
                if (background < 0) background = palette.index_of(c->state.background_colour);
                base = static_cast<uint8_t>(background);
            } else if (in_prev_rows && x >= pl && x < pl + pw && pd == 3 && c->restore_buffer) {
                base = mapped(c->restore_buffer[static_cast<int64_t>(cy - pt) * pw + (x - pl)]);
            } else {
                base = mapped(prev[x]);
            }
            dst[x] = base;
        }
        if (cy < c->state.image_top || cy >= c->state.image_top + height) continue;
        const int32_t iy = cy - c->state.image_top;
        const uint8_t* src = c->index_buffer + static_cast<int64_t>(source_row[iy]) * width;
        uint8_t* d = dst + c->state.image_left;
        if (restore)
            std::memcpy(restore.get() + static_cast<int64_t>(iy) * width, d, static_cast<size_t>(width));
        for (int32_t x = 0; x < width; ++x) {
            if (!transparent || src[x] != t) d[x] = src[x];
        }
    }
    free_pixels(c->restore_buffer);
    c->restore_buffer = restore.release();

    std::memcpy(c->frames.frame_palettes[k], palette.entries, sizeof palette.entries);
    if (c->in_memory) {
        c->frames.frame_pixels[k] = out.release();
    } else {
        BitmapInfoHeader header = c->loaded.info;
        uint8_t* bits = nullptr;
        const OsHandle bitmap = create_dib_section(header, palette.entries, &bits);
        if (!bitmap) return fail(c, kCodecNoMemory);
        std::memcpy(bits, out.get(), static_cast<size_t>(bytes));
        c->frames.frame_bitmaps[k] = bitmap;
        c->frames.frame_pixels[k] = bits;
    }
    return true;
}

bool read_image(GifContext* c) {
    const int32_t left = read_le16(c);
    const int32_t top = read_le16(c);
    const int32_t width = read_le16(c);
    const int32_t height = read_le16(c);
    const uint8_t packed = read_u8(c);
    if (c->input.overrun()) return fail(c, kCodecBadData);
    if (left + width > c->state.screen_width || top + height > c->state.screen_height)
        return fail(c, kCodecBadData);
    c->conversion.width = width;
    c->conversion.height = height;
    c->state.image_left = left;
    c->state.image_top = top;
    if (packed & 0x80) {
        const int32_t bits = (packed & 7) + 1;
        const int32_t entries = 1 << bits;
        std::memset(c->state.local_table, 0, sizeof c->state.local_table);
        if (!c->input.read_bytes(c->state.local_table, static_cast<size_t>(3 * entries)))
            return fail(c, kCodecBadData);
        c->state.local_table_present = 1;
        c->state.local_table_entries = entries;
        if (c->state.frame_count == 0) c->state.colour_bits = bits;
    }
    if (c->state.local_table_present) {
        c->state.active_table = c->state.local_table;
        c->state.active_entries = c->state.local_table_entries;
    } else if (c->state.global_table_present) {
        c->state.active_table = c->state.global_table;
        c->state.active_entries = c->state.global_table_entries;
    } else {
        return fail(c, kCodecBadData);
    }
    c->state.interlaced = (packed >> 6) & 1;

    const uint8_t min_code_size = read_u8(c);
    if (c->input.overrun() || min_code_size < 2 || min_code_size > 8) return fail(c, kCodecBadData);
    if (!gather_data(c)) return false;
    const int64_t pixel_count = static_cast<int64_t>(width) * height;
    c->index_buffer = alloc_pixels(pixel_count);
    if (!c->index_buffer) return fail(c, kCodecNoMemory);
    gif_decode_lzw(&c->lzw, min_code_size, c->data_buffer, c->data_size, c->index_buffer, pixel_count);
    free_pixels(c->data_buffer);
    c->data_buffer = nullptr;
    c->data_size = 0;

    const bool placed =
        c->state.frame_count == 0 ? place_first_frame(c, width, height) : place_later_frame(c, width, height);
    if (!placed) return false;
    const int32_t k = c->state.frame_count;
    c->frames.disposals[k] = c->state.disposal;
    c->state.previous_frame = c->frames.frame_pixels[k];
    // Restoring what was under the first image means restoring the background.
    c->state.previous_disposal = (k == 0 && c->state.disposal == 3) ? 2 : c->state.disposal;
    c->state.previous_left = left;
    c->state.previous_top = top;
    c->state.previous_width = width;
    c->state.previous_height = height;
    ++c->state.frame_count;
    free_pixels(c->index_buffer);
    c->index_buffer = nullptr;
    // A graphic control extension describes the one image that follows it.
    c->state.transparency = 0;
    c->state.transparent_index = 0;
    c->state.disposal = 0;
    c->state.local_table_present = 0;
    c->state.interlaced = 0;
    return true;
}

bool decode(GifContext* c) {
    ByteCursor& in = c->input;
    if (!in.has(13)) return fail(c, kCodecBadData);
    const uint8_t* s = in.data();
    if (std::memcmp(s, "GIF", 3) != 0 ||
        (std::memcmp(s + 3, "87a", 3) != 0 && std::memcmp(s + 3, "89a", 3) != 0))
        return fail(c, kCodecBadData);
    in.skip(6);
    c->state.screen_width = read_le16(c);
    c->state.screen_height = read_le16(c);
    if (c->state.screen_width < 1 || c->state.screen_width > kGifMaxScreen || c->state.screen_height < 1 ||
        c->state.screen_height > kGifMaxScreen)
        return fail(c, kCodecUnsupported);
    const uint8_t packed = read_u8(c);
    const uint8_t background = read_u8(c);
    read_u8(c);  // aspect ratio
    if (packed & 0x80) {
        c->state.global_table_present = 1;
        c->state.colour_bits = (packed & 7) + 1;
        c->state.global_table_entries = 1 << c->state.colour_bits;
        c->state.background_index = background;
        if (!in.read_bytes(c->state.global_table, static_cast<size_t>(3 << c->state.colour_bits)))
            return fail(c, kCodecBadData);
    }
    for (;;) {
        const uint8_t block = read_u8(c);
        if (in.overrun()) return fail(c, kCodecBadData);
        if (block == 0x21) {
            if (!read_extension(c)) return false;
        } else if (block == 0x2C) {
            if (!read_image(c)) return false;
            if (!c->state.animation || c->state.frame_count >= kGifMaxFrames) return true;
        } else if (block == 0x3B) {
            return c->state.frame_count > 0 ? true : fail(c, kCodecBadData);
        } else {
            return fail(c, kCodecReadFailed);
        }
    }
}

}  // namespace

void GifContext::free_format_buffers() {
    free_intermediates(this);
    if (!state.frames_taken) free_later_frames(this);
}

void gif_reader_reset(GifContext* c) {
    free_intermediates(c);
    if (!c->state.frames_taken) free_later_frames(c);
    c->in_memory = 0;
    c->error = kCodecOk;
    static_assert(std::is_trivially_copyable<GifContext::Frames>::value,
                  "the frame table is cleared in place");
    std::memset(static_cast<void*>(&c->frames), 0, sizeof c->frames);
    c->options = {};
    c->state = {};
    c->loaded = {};
}

LoadedImage* read_gif_image(GifContext* c) {
    LoadedRowsOwner rows(&c->loaded);
    if (c->error == kCodecOk && decode(c) && c->error == kCodecOk) {
        free_intermediates(c);
        c->frames.frame_bitmaps[0] = c->loaded.bitmap;
        c->loaded.source_bits = c->state.colour_bits;
        c->loaded.format = kFileGif;
        return rows.keep();
    }
    set_codec_error(c, kCodecBadData);
    free_intermediates(c);
    free_later_frames(c);
    c->frames.frame_pixels[0] = nullptr;
    c->frames.frame_bitmaps[0] = 0;
    c->state.frame_count = 0;
    c->state.animation = 0;
    return nullptr;
}

LoadedImage* read_gif_file(const std::u16string& path, GifContext* c) {
    const MappedRead file(path, c);
    return file.size() != 0 ? read_gif_image(c) : nullptr;
}

bool gif_get_animation_info(GifContext* c, GifAnimationInfo* record) {
    if (!c->state.animation) return false;
    record->animation = c->state.animation;
    record->frame_count = c->state.frame_count;
    record->loop_count = c->state.loop_count;
    for (int32_t i = 0; i < kGifMaxFrames; ++i) {
        record->delays[i] = c->frames.delays[i];
        record->disposals[i] = c->frames.disposals[i];
        record->frame_bitmaps[i] = c->frames.frame_bitmaps[i];
        record->frame_pixels[i] = c->frames.frame_pixels[i];
        std::memcpy(record->frame_palettes[i], c->frames.frame_palettes[i], sizeof record->frame_palettes[i]);
    }
    c->state.frames_taken = 1;
    return true;
}

void gif_free_animation_frames(GifAnimationInfo* record) {
    for (int32_t i = 1; i < kGifMaxFrames; ++i) {
        PixelRows rows(record->frame_pixels[i], record->frame_bitmaps[i]);
        record->frame_bitmaps[i] = 0;
        record->frame_pixels[i] = nullptr;
    }
}

void gif_reader_release(GifContext* c) {
    c->free_format_buffers();
    close_codec_files(c);
}
