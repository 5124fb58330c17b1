// GIF89a writer: one image of 1-8 bits with a global colour table, optional transparency and
// interlace.
#include <cstring>
#include <new>

#include "codecs/file_io.h"
#include "codecs/gif/gif.h"
#include "codecs/palette.h"
#include "codecs/pixel_memory.h"

namespace {

bool fail(GifWriterContext* c, int32_t code) {
    set_codec_error(c, code);
    return false;
}

void put_le16(uint8_t* p, int32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// Image rows, top row first, in the order they are stored: straight, or by the four passes.
void order_rows(const GifWriterContext* c, const uint8_t* indices, uint8_t* pixels) {
    const int32_t w = c->conversion.width;
    const int32_t h = c->conversion.height;
    int32_t position = 0;
    auto put_row = [&](int32_t r) {
        // Indices are bottom-up: image row r is stored row h - 1 - r.
        std::memcpy(pixels + static_cast<int64_t>(position++) * w,
                    indices + static_cast<int64_t>(h - 1 - r) * w, static_cast<size_t>(w));
    };
    if (!c->interlace) {
        for (int32_t r = 0; r < h; ++r) put_row(r);
        return;
    }
    static const int32_t kStart[4] = {0, 4, 2, 1};
    static const int32_t kStep[4] = {8, 8, 4, 2};
    for (int32_t pass = 0; pass < 4; ++pass)
        for (int32_t r = kStart[pass]; r < h; r += kStep[pass]) put_row(r);
}

// The encoder's chunk holds whole sub-blocks; its framed copy follows it in the same buffer.
constexpr int64_t kChunkBytes = 255 * 256;

// Frames a chunk of LZW data as sub-blocks of at most 255 bytes and writes it.
bool write_sub_blocks(void* user, const uint8_t* data, int64_t size) {
    GifWriterContext* c = static_cast<GifWriterContext*>(user);
    uint8_t* blocks = c->work_buffer_gif + kChunkBytes;
    int64_t used = 0;
    for (int64_t done = 0; done < size;) {
        const int64_t len = size - done < 255 ? size - done : 255;
        blocks[used++] = static_cast<uint8_t>(len);
        std::memcpy(blocks + used, data + done, static_cast<size_t>(len));
        used += len;
        done += len;
    }
    return write_output(c, blocks, static_cast<uint64_t>(used));
}

}  // namespace

int32_t gif_find_transparent_index(const RgbQuad* palette, int32_t entries, const uint8_t* colour) {
    int32_t exact = -1;
    for (int32_t i = 0; i < entries; ++i) {
        const RgbQuad& e = palette[i];
        if (e.red == colour[0] && e.green == colour[1] && e.blue == colour[2]) exact = i;
    }
    if (exact >= 0) return exact;
    int32_t best = 0;
    int32_t best_sum = 195076;
    for (int32_t i = 0; i < entries; ++i) {
        const int32_t db = palette[i].blue - colour[2];
        const int32_t dg = palette[i].green - colour[1];
        const int32_t dr = palette[i].red - colour[0];
        const int32_t sum = db * db + dg * dg + dr * dr;
        if (sum < best_sum) {
            best_sum = sum;
            best = i;
        }
    }
    return best;
}

bool gif_write_indexed(GifWriterContext* c, const RgbQuad* palette, const uint8_t* indices) {
    const int32_t bits = c->conversion.target_bits;
    if (bits < 1 || bits > 8) return fail(c, kCodecSaveFailed);
    if (c->conversion.width < 1 || c->conversion.width > 0xFFFF || c->conversion.height < 1 ||
        c->conversion.height > 0xFFFF)
        return fail(c, kCodecSaveFailed);
    const int32_t entries = 1 << bits;
    const int64_t pixel_count = static_cast<int64_t>(c->conversion.width) * c->conversion.height;
    if (pixel_count > kMaxImageBytes) return fail(c, kCodecNoMemory);

    int32_t transparent_index = 0;
    if (c->transparency && c->transparent_colour)
        transparent_index = gif_find_transparent_index(palette, entries, c->transparent_colour);
    const bool transparency = c->transparency && c->transparent_colour;

    uint8_t header[13 + 768 + 8];
    size_t n = 0;
    std::memcpy(header, "GIF89a", 6);
    n = 6;
    put_le16(header + n, c->conversion.width);
    put_le16(header + n + 2, c->conversion.height);
    n += 4;
    header[n++] = static_cast<uint8_t>(0x80 + ((bits - 1) << 4) + (bits - 1));
    header[n++] = static_cast<uint8_t>(transparency ? transparent_index : 0);
    header[n++] = 0;
    for (int32_t i = 0; i < entries; ++i) {
        header[n++] = palette[i].red;
        header[n++] = palette[i].green;
        header[n++] = palette[i].blue;
    }
    if (transparency) {
        const uint8_t control[8] = {
            0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, static_cast<uint8_t>(transparent_index), 0x00};
        std::memcpy(header + n, control, sizeof control);
        n += sizeof control;
    }
    uint8_t descriptor[10] = {0x2C, 0, 0, 0, 0};
    put_le16(descriptor + 5, c->conversion.width);
    put_le16(descriptor + 7, c->conversion.height);
    descriptor[9] = static_cast<uint8_t>(c->interlace ? 0x40 : 0);
    if (!write_output(c, header, n) || !write_output(c, descriptor, sizeof descriptor)) return false;

    c->pixel_buffer = alloc_pixels(pixel_count);
    if (!c->pixel_buffer) return fail(c, kCodecNoMemory);
    order_rows(c, indices, c->pixel_buffer);
    c->minimum_code_size = bits == 1 ? 2 : bits;

    // The compressed data goes out in sub-blocks as it is produced: the buffers are a fixed
    // chunk and its framed copy, whatever sizes the caller left in the conversion part.
    const uint8_t code_size = static_cast<uint8_t>(c->minimum_code_size);
    if (!write_output(c, &code_size, 1)) return false;
    c->work_buffer_gif = alloc_pixels(2 * kChunkBytes + 256);
    if (!c->encoder) c->encoder = new (std::nothrow) GifLzwEncoder;
    if (!c->work_buffer_gif || !c->encoder) return fail(c, kCodecNoMemory);
    const int64_t size = gif_encode_lzw_stream(c->encoder, c->minimum_code_size, c->pixel_buffer, pixel_count,
                                               c->work_buffer_gif, kChunkBytes, write_sub_blocks, c);
    free_pixels(c->pixel_buffer);
    c->pixel_buffer = nullptr;
    free_pixels(c->work_buffer_gif);
    c->work_buffer_gif = nullptr;
    if (size < 0) return false;
    const uint8_t tail[2] = {0x00, 0x3B};
    if (!write_output(c, tail, 2)) return false;
    return !c->output_failed;
}

bool write_gif_file(const std::u16string& path, GifWriterContext* c, RgbQuad* source_palette,
                    const uint8_t* source_bits) {
    if (!c->output_file.create(path)) return fail(c, kCodecCreateFailed);
    c->source_bits_pointer = source_bits;
    if (c->conversion.width < 1 || c->conversion.height < 1 || c->conversion.width > 0xFFFF ||
        c->conversion.height > 0xFFFF || c->conversion.target_bits < 1 || c->conversion.target_bits > 8)
        return fail(c, kCodecSaveFailed);
    const int64_t pixel_count = static_cast<int64_t>(c->conversion.width) * c->conversion.height;
    const PixelBuffer indices(alloc_pixels(pixel_count));
    if (!indices) return fail(c, kCodecNoMemory);
    RgbQuad palette[256] = {};
    bool ok = reduce_to_indexed(palette, &c->conversion, source_palette, source_bits, indices.get());
    if (!ok) {
        fail(c, kCodecSaveFailed);
    } else {
        ok = gif_write_indexed(c, palette, indices.get());
    }
    if (ok && !file_flush(c->output_file.get())) ok = fail(c, kCodecSaveFailed);
    return ok && !c->output_failed;
}

void GifWriterContext::free_format_buffers() {
    free_pixels(work_buffer_gif);
    work_buffer_gif = nullptr;
    free_pixels(pixel_buffer);
    pixel_buffer = nullptr;
    delete encoder;
    encoder = nullptr;
}

void gif_writer_release(GifWriterContext* c) {
    gif_writer_release_global(c);
}

void gif_writer_release_global(GifWriterContext* c) {
    c->free_format_buffers();
    close_codec_files(c);
}
