// Uncompressed little-endian TIFF writer: one IFD, one strip; 1-bit or 8-bit grey, 4- or 8-bit
// palette, or RGB with 8 or 16 bits per sample.
#include <cstring>

#include "codecs/conversion.h"
#include "codecs/file_io.h"
#include "codecs/pixel_memory.h"
#include "codecs/tiff/tiff.h"

namespace {

bool fail(TiffWriterContext* c, int32_t code) {
    set_codec_error(c, code);
    return false;
}

struct Layout {
    int32_t photometric;
    int32_t entries;
    uint32_t x_resolution;
    uint32_t y_resolution;
    uint32_t colour_map;  // 0 when none
    uint32_t colour_map_values;
    uint32_t strip;
};

bool plan(int32_t bits, bool grey, Layout* l) {
    switch (bits) {
        case 1: *l = {1, 11, 146, 154, 0, 0, 162}; return true;
        case 4: *l = {3, 12, 158, 166, 174, 48, 270}; return true;
        case 8:
            *l = grey ? Layout{1, 11, 146, 154, 0, 0, 162} : Layout{3, 12, 158, 166, 174, 768, 1710};
            return true;
        case 24:
        case 48: *l = {2, 12, 164, 172, 0, 0, 180}; return true;
        default: return false;
    }
}

class Bytes {
public:
    explicit Bytes(uint8_t* p) : p_(p) {}
    void u16(uint32_t v) {
        p_[n_++] = static_cast<uint8_t>(v);
        p_[n_++] = static_cast<uint8_t>(v >> 8);
    }
    void u32(uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void entry(uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        u16(tag);
        u16(type);
        u32(count);
        u32(value);
    }
    size_t size() const { return n_; }

private:
    uint8_t* p_;
    size_t n_ = 0;
};

// Bytes per stored row: rows of 1- and 4-bit images start on a byte boundary.
int64_t row_bytes(int32_t width, int32_t bits) {
    return (static_cast<int64_t>(width) * bits + 7) / 8;
}

// Fills the strip, top row first, from the source rows (bottom-up) by target layout.
bool fill_strip(TiffWriterContext* c, const Layout& l, RgbQuad* source_palette, const uint8_t* source,
                RgbQuad* palette) {
    const int32_t w = c->conversion.width;
    const int32_t h = c->conversion.height;
    const int32_t target = c->conversion.target_bits;
    const int64_t out_row = row_bytes(w, target);
    uint8_t* strip = c->strip_buffer;
    auto out = [&](int32_t y) { return strip + static_cast<int64_t>(y) * out_row; };

    if (l.photometric == 2) {
        const int32_t s = c->conversion.source_bits;
        if (target == 48) {
            if (s != 48) return fail(c, kCodecSaveFailed);
            const int64_t src_stride = stride_for_depth(w, 48);
            for (int32_t y = 0; y < h; ++y) {
                const uint8_t* p = source + static_cast<int64_t>(h - 1 - y) * src_stride;
                uint8_t* d = out(y);
                for (int32_t x = 0; x < w; ++x, p += 6, d += 6) {
                    d[0] = p[4], d[1] = p[5], d[2] = p[2], d[3] = p[3], d[4] = p[0], d[5] = p[1];
                }
            }
            return true;
        }
        const uint8_t* rows = source;
        PixelBuffer work;
        int32_t step = 3, high = 0;
        if (s == 8) {
            // Expanded through the palette into a 24-bit work copy first.
            const int32_t keep = c->conversion.target_bits;
            c->conversion.target_bits = 24;
            compute_row_sizes(&c->conversion);
            if (!c->conversion.size_overflow) work.reset(alloc_pixels(c->conversion.image_bytes));
            bool ok =
                work && convert_pixel_depth(nullptr, work.get(), &c->conversion, source_palette, source);
            c->conversion.target_bits = keep;
            if (!work) return fail(c, kCodecNoMemory);
            if (!ok) return fail(c, kCodecSaveFailed);
            rows = work.get();
        } else if (s == 48) {
            step = 6;
            high = 1;  // the high byte of each little-endian 16-bit sample
        } else if (s != 24) {
            return fail(c, kCodecSaveFailed);
        }
        const int64_t src_stride = stride_for_depth(w, s == 48 ? 48 : 24);
        for (int32_t y = 0; y < h; ++y) {
            const uint8_t* p = rows + static_cast<int64_t>(h - 1 - y) * src_stride + high;
            uint8_t* d = out(y);
            for (int32_t x = 0; x < w; ++x, p += step, d += 3) {
                d[0] = p[2 * step / 3];
                d[1] = p[step / 3];
                d[2] = p[0];
            }
        }
        return true;
    }

    if (l.photometric == 1 && target == 8) {
        const PixelBuffer grey(alloc_pixels(static_cast<int64_t>(w) * h));
        if (!grey) return fail(c, kCodecNoMemory);
        const bool ok = convert_to_8bit_grey(&c->conversion, source_palette, source, grey.get());
        if (ok)
            for (int32_t y = 0; y < h; ++y)
                std::memcpy(out(y), grey.get() + static_cast<int64_t>(h - 1 - y) * w, static_cast<size_t>(w));
        return ok ? true : fail(c, kCodecSaveFailed);
    }

    // 1-bit grey, 4- and 8-bit palette: the converter's bottom-up rows, then repacked top first.
    compute_row_sizes(&c->conversion);
    const PixelBuffer work(c->conversion.size_overflow ? nullptr : alloc_pixels(c->conversion.image_bytes));
    if (!work) return fail(c, kCodecNoMemory);
    if (!convert_pixel_depth(palette, work.get(), &c->conversion, source_palette, source))
        return fail(c, kCodecSaveFailed);
    if (target == 1) {
        // BlackIsZero: a set bit must be the lighter of the two entries.
        const bool invert = grey_of_entry(palette[0]) > grey_of_entry(palette[1]);
        for (int32_t y = 0; y < h; ++y) {
            const uint8_t* p = work.get() + static_cast<int64_t>(h - 1 - y) * c->conversion.stride;
            uint8_t* d = out(y);
            for (int64_t i = 0; i < out_row; ++i) d[i] = invert ? static_cast<uint8_t>(~p[i]) : p[i];
            // Bits past the width stay zero.
            if (w % 8) d[out_row - 1] &= static_cast<uint8_t>(0xFF00 >> (w % 8));
        }
    } else {
        for (int32_t y = 0; y < h; ++y)
            std::memcpy(out(y), work.get() + static_cast<int64_t>(h - 1 - y) * c->conversion.stride,
                        static_cast<size_t>(out_row));
        if (target == 4 && (w & 1))
            for (int32_t y = 0; y < h; ++y) out(y)[out_row - 1] &= 0xF0;
    }
    return true;
}

}  // namespace

void tiff_writer_reset(TiffWriterContext* c) {
    c->free_format_buffers();
    reset_codec_handles(c);
    c->in_memory = 0;
    c->state = {};
}

bool write_tiff_file(const std::u16string& path, TiffWriterContext* c, RgbQuad* source_palette,
                     const uint8_t* source_bits) {
    if (!c->output_file.create(path)) return fail(c, kCodecCreateFailed);
    Layout l;
    if (!plan(c->conversion.target_bits, c->state.grey != 0, &l)) return fail(c, kCodecCreateFailed);
    if (c->conversion.width < 1 || c->conversion.height < 1) return fail(c, kCodecSaveFailed);
    const int32_t bits = c->conversion.target_bits;
    const int64_t strip_size = row_bytes(c->conversion.width, bits) * c->conversion.height;
    if (strip_size > kMaxImageBytes) return fail(c, kCodecNoMemory);
    c->state.strip_size = static_cast<uint32_t>(strip_size);
    c->state.photometric = l.photometric;

    uint8_t head[1710];
    std::memset(head, 0, sizeof head);
    Bytes b(head);
    b.u16(0x4949);
    b.u16(42);
    b.u32(8);
    b.u16(static_cast<uint32_t>(l.entries));
    const bool rgb = l.photometric == 2;
    b.entry(256, 4, 1, static_cast<uint32_t>(c->conversion.width));
    b.entry(257, 4, 1, static_cast<uint32_t>(c->conversion.height));
    b.entry(258, 3, rgb ? 3 : 1, rgb ? 158 : static_cast<uint32_t>(bits));
    b.entry(259, 3, 1, 1);
    b.entry(262, 3, 1, static_cast<uint32_t>(l.photometric));
    b.entry(273, 4, 1, l.strip);
    if (rgb) b.entry(277, 3, 1, 3);
    b.entry(278, 4, 1, static_cast<uint32_t>(c->conversion.height));
    b.entry(279, 4, 1, c->state.strip_size);
    b.entry(282, 5, 1, l.x_resolution);
    b.entry(283, 5, 1, l.y_resolution);
    b.entry(296, 3, 1, 2);
    if (l.colour_map) b.entry(320, 3, l.colour_map_values, l.colour_map);
    b.u32(0);
    if (rgb)
        for (int i = 0; i < 3; ++i) b.u16(static_cast<uint32_t>(bits / 3));
    // Pixels per metre times 0.0254 is dots per inch.
    b.u32(static_cast<uint32_t>(c->state.x_pixels_per_metre) * 254u);
    b.u32(10000);
    b.u32(static_cast<uint32_t>(c->state.y_pixels_per_metre) * 254u);
    b.u32(10000);

    c->strip_buffer = alloc_pixels(strip_size);
    if (!c->strip_buffer) return fail(c, kCodecNoMemory);
    RgbQuad palette[256] = {};
    if (!fill_strip(c, l, source_palette, source_bits, palette)) return false;
    if (l.colour_map) {
        const int32_t n = static_cast<int32_t>(l.colour_map_values / 3);
        for (int32_t i = 0; i < n; ++i) b.u16(static_cast<uint32_t>(palette[i].red) << 8);
        for (int32_t i = 0; i < n; ++i) b.u16(static_cast<uint32_t>(palette[i].green) << 8);
        for (int32_t i = 0; i < n; ++i) b.u16(static_cast<uint32_t>(palette[i].blue) << 8);
    }
    const bool ok = write_output(c, head, b.size()) &&
                    write_output(c, c->strip_buffer, c->state.strip_size) && file_flush(c->output_file.get());
    free_pixels(c->strip_buffer);
    c->strip_buffer = nullptr;
    if (!ok) return fail(c, kCodecSaveFailed);
    return !c->output_failed;
}

void TiffWriterContext::free_format_buffers() {
    free_pixels(strip_buffer);
    strip_buffer = nullptr;
}

void tiff_writer_release(TiffWriterContext* c) {
    tiff_writer_release_global(c);
}

void tiff_writer_release_global(TiffWriterContext* c) {
    c->free_format_buffers();
    close_codec_files(c);
}
