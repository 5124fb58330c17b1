// Uncompressed TIFF reader: the first IFD of an "II" or "MM" file, as 8-bit grey or palette
// (1, 4 or 8 bits per pixel) or 24-bit RGB (8 or 16 bits per sample).
#include <cstring>

#include "codecs/file_type.h"
#include "codecs/pixel_memory.h"
#include "codecs/tiff/tiff.h"

namespace {

bool fail(TiffContext* c, int32_t code) {
    set_codec_error(c, code);
    return false;
}

uint16_t r16(TiffContext* c) {
    return c->state.little_endian ? read_le16(c) : read_be16(c);
}
uint32_t r32(TiffContext* c) {
    return c->state.little_endian ? read_le32(c) : read_be32(c);
}

uint16_t r16_at(TiffContext* c, uint64_t offset) {
    const size_t keep = c->input.offset();
    c->input.seek(offset);
    const uint16_t v = r16(c);
    c->input.seek(keep);
    return v;
}

uint32_t r32_at(TiffContext* c, uint64_t offset) {
    const size_t keep = c->input.offset();
    c->input.seek(offset);
    const uint32_t v = r32(c);
    c->input.seek(keep);
    return v;
}

bool within(const TiffContext* c, uint64_t offset, uint64_t size) {
    return offset <= c->input.size() && size <= c->input.size() - offset;
}

// One IFD entry; `value_at` is the file offset of its 4-byte value field.
struct Entry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    uint64_t value_at;
};

// The first value of a BYTE, SHORT or LONG entry, read from the value field.
uint32_t scalar(TiffContext* c, const Entry& e) {
    switch (e.type) {
        case 1: return c->input.begin()[e.value_at];
        case 3: return r16_at(c, e.value_at);
        default: return r32_at(c, e.value_at);
    }
}

bool read_strip_table(TiffContext* c, const Entry& e, uint32_t** table, uint32_t* count) {
    if (*table || e.count == 0 || (e.type != 3 && e.type != 4)) return fail(c, kCodecBadData);
    const uint64_t element = e.type == 3 ? 2 : 4;
    const uint64_t bytes = element * e.count;
    // Values that fit the 4-byte field (one LONG, one or two SHORTs) are stored in it.
    const uint64_t at = bytes <= 4 ? e.value_at : r32_at(c, e.value_at);
    if (!within(c, at, bytes)) return fail(c, kCodecBadData);
    *table = reinterpret_cast<uint32_t*>(alloc_pixels(static_cast<int64_t>(e.count) * 4));
    if (!*table) return fail(c, kCodecNoMemory);
    for (uint32_t i = 0; i < e.count; ++i)
        (*table)[i] = element == 2 ? r16_at(c, at + 2 * i) : r32_at(c, at + 4 * i);
    *count = e.count;
    return true;
}

bool read_entry(TiffContext* c, const Entry& e) {
    switch (e.tag) {
        case 256:
        case 257: {
            if (e.type != 3 && e.type != 4) return fail(c, kCodecBadData);
            const uint32_t v = scalar(c, e);
            if (v == 0) return fail(c, kCodecBadData);
            if (v > kTiffMaxSize) return fail(c, kCodecUnsupported);
            (e.tag == 256 ? c->conversion.width : c->conversion.height) = static_cast<int32_t>(v);
            return true;
        }
        case 258:
            c->state.sample_count = static_cast<int32_t>(e.count);
            if (e.count == 1) {
                c->state.bits_per_sample = static_cast<int32_t>(scalar(c, e));
            } else if (e.count == 3) {
                const uint32_t at = r32_at(c, e.value_at);
                if (!within(c, at, 6)) return fail(c, kCodecBadData);
                const uint16_t a = r16_at(c, at), b = r16_at(c, at + 2), d = r16_at(c, at + 4);
                if (a != b || a != d || (a != 8 && a != 16)) return fail(c, kCodecUnsupported);
                c->state.bits_per_sample = a;
            }
            return true;
        case 259:
            c->state.compression = static_cast<int32_t>(scalar(c, e));
            if (c->state.compression != 1) return fail(c, kCodecUnsupported);
            return true;
        case 262: c->state.photometric = static_cast<int32_t>(scalar(c, e)); return true;
        case 270: c->state.description_seen = 1; return true;
        case 273: return read_strip_table(c, e, &c->strip_offsets, &c->state.strip_offset_count);
        case 277: c->state.samples_per_pixel = static_cast<int32_t>(scalar(c, e)); return true;
        case 279: return read_strip_table(c, e, &c->strip_byte_counts, &c->state.strip_byte_count_count);
        case 282: c->state.x_resolution_offset = r32_at(c, e.value_at); return true;
        case 283: c->state.y_resolution_offset = r32_at(c, e.value_at); return true;
        case 284: c->state.planar_configuration = static_cast<int32_t>(scalar(c, e)); return true;
        case 296: c->state.resolution_unit = static_cast<int32_t>(scalar(c, e)); return true;
        case 320: c->state.colour_map_offset = r32_at(c, e.value_at); return true;
        case 322:  // TileWidth
        case 324:  // TileOffsets
            c->state.tiled = 1;
            return true;
        default: return true;
    }
}

int32_t pixels_per_metre(TiffContext* c, uint32_t offset) {
    if (!within(c, offset, 8)) return 0;
    const uint32_t numerator = r32_at(c, offset);
    const uint32_t denominator = r32_at(c, offset + 4);
    if (denominator == 0) return 0;
    double v;
    if (c->state.resolution_unit == 2)
        v = numerator / 0.0254 / denominator + 0.5;
    else if (c->state.resolution_unit == 3)
        v = numerator * 100.0 / denominator + 0.5;
    else
        return 0;
    return v >= 2147483647.0 ? 2147483647 : static_cast<int32_t>(v);
}

bool decode(TiffContext* c) {
    ByteCursor& in = c->input;
    if (!in.has(8)) return fail(c, kCodecBadData);
    const uint8_t* p = in.data();
    if (p[0] == 'I' && p[1] == 'I')
        c->state.little_endian = 1;
    else if (p[0] == 'M' && p[1] == 'M')
        c->state.little_endian = 0;
    else
        return fail(c, kCodecBadData);
    in.skip(2);
    if (r16(c) != 42) return fail(c, kCodecBadData);
    const uint32_t ifd = r32(c);
    if (!in.seek(ifd)) return fail(c, kCodecBadData);
    const uint16_t entries = r16(c);
    if (in.overrun() || !in.has(static_cast<size_t>(entries) * 12)) return fail(c, kCodecBadData);
    for (uint16_t i = 0; i < entries; ++i) {
        Entry e;
        e.tag = r16(c);
        e.type = r16(c);
        e.count = r32(c);
        e.value_at = in.offset();
        in.skip(4);
        if (!read_entry(c, e)) return false;
    }
    if (c->error != kCodecOk) return false;
    // Tiles are a layout of their own, refused like compression, not a malformed file.
    if (c->state.tiled) return fail(c, kCodecUnsupported);
    if (c->conversion.width == 0 || c->conversion.height == 0) return fail(c, kCodecBadData);
    if (!c->strip_offsets || !c->strip_byte_counts ||
        c->state.strip_offset_count != c->state.strip_byte_count_count)
        return fail(c, kCodecBadData);
    c->state.strip_count = c->state.strip_offset_count;

    // Kind of image.
    const int32_t bits = c->state.bits_per_sample;
    int64_t row_bytes;
    if (c->state.photometric == 2) {
        if (c->state.sample_count != 3 || (bits != 8 && bits != 16)) return fail(c, kCodecUnsupported);
        c->state.output_bits = 24;
        row_bytes = static_cast<int64_t>(c->conversion.width) * 3 * (bits / 8);
    } else if (c->state.photometric == 0 || c->state.photometric == 1 || c->state.photometric == 3) {
        if (c->state.photometric == 3 && c->state.colour_map_offset == 0) return fail(c, kCodecUnsupported);
        if (c->state.sample_count != 1 || (bits != 1 && bits != 4 && bits != 8))
            return fail(c, kCodecUnsupported);
        c->state.output_bits = 8;
        // Rows start on a byte boundary.
        row_bytes = (static_cast<int64_t>(c->conversion.width) * bits + 7) / 8;
    } else {
        return fail(c, kCodecUnsupported);
    }
    // Samples stored apart (planar) or more samples than the bits describe (alpha) would be
    // shown as wrong pixels: refuse them like any other layout we do not read.
    if (c->state.samples_per_pixel != 0 && c->state.samples_per_pixel != c->state.sample_count)
        return fail(c, kCodecUnsupported);
    if (c->state.planar_configuration != 1 && c->state.sample_count > 1) return fail(c, kCodecUnsupported);
    const int64_t stride = stride_for_depth(c->conversion.width, c->state.output_bits);
    if (stride < 0 || stride * c->conversion.height > kMaxImageBytes) return fail(c, kCodecUnsupported);
    c->state.output_stride = static_cast<int32_t>(stride);
    c->loaded.source_bits = c->state.photometric == 2 ? bits * 3 : bits;

    // Palette.
    if (c->state.output_bits == 8) {
        const int32_t colours = 1 << bits;
        const int32_t step = bits == 1 ? 255 : bits == 4 ? 17 : 1;
        if (c->state.photometric == 3) {
            const uint64_t at = c->state.colour_map_offset;
            if (!within(c, at, static_cast<uint64_t>(colours) * 6)) return fail(c, kCodecReadFailed);
            for (int32_t i = 0; i < colours; ++i) {
                c->loaded.palette[i].red = static_cast<uint8_t>(r16_at(c, at + 2 * i) >> 8);
                c->loaded.palette[i].green = static_cast<uint8_t>(r16_at(c, at + 2 * (colours + i)) >> 8);
                c->loaded.palette[i].blue = static_cast<uint8_t>(r16_at(c, at + 2 * (2 * colours + i)) >> 8);
            }
        } else {
            for (int32_t i = 0; i < colours; ++i) {
                const uint8_t v = static_cast<uint8_t>(c->state.photometric == 0 ? 255 - i * step : i * step);
                c->loaded.palette[i].red = c->loaded.palette[i].green = c->loaded.palette[i].blue = v;
            }
        }
    }

    // Strips, joined in table order into exactly the bytes the image needs; sizes are summed
    // in 64 bits and each strip must lie within the file.
    const int64_t needed = row_bytes * c->conversion.height;
    if (needed > kMaxImageBytes) return fail(c, kCodecUnsupported);
    for (uint32_t i = 0; i < c->state.strip_count; ++i)
        if (!within(c, c->strip_offsets[i], c->strip_byte_counts[i])) return fail(c, kCodecReadFailed);
    const PixelBuffer strip_data(alloc_pixels(needed));
    if (!strip_data) return fail(c, kCodecNoMemory);
    int64_t filled = 0;
    for (uint32_t i = 0; i < c->state.strip_count && filled < needed; ++i) {
        const int64_t take = c->strip_byte_counts[i] < static_cast<uint64_t>(needed - filled)
                                 ? c->strip_byte_counts[i]
                                 : needed - filled;
        std::memcpy(strip_data.get() + filled, in.begin() + c->strip_offsets[i], static_cast<size_t>(take));
        filled += take;
    }

    int32_t x_ppm = 0, y_ppm = 0;
    if (c->state.x_resolution_offset != 0 && c->state.y_resolution_offset != 0) {
        x_ppm = pixels_per_metre(c, c->state.x_resolution_offset);
        y_ppm = pixels_per_metre(c, c->state.y_resolution_offset);
    }
    set_dib_info_header(c, c->conversion.width, c->conversion.height, c->state.output_bits, x_ppm, y_ppm);
    if (!allocate_loaded_rows(c, stride * c->conversion.height)) return false;

    uint8_t* pixels = c->loaded.pixels;
    for (int32_t y = 0; y < c->conversion.height; ++y) {
        const uint8_t* src = strip_data.get() + static_cast<int64_t>(y) * row_bytes;
        uint8_t* dst = pixels + static_cast<int64_t>(c->conversion.height - 1 - y) * stride;
        if (c->state.output_bits == 24) {
            const int32_t step = bits / 8;
            // The most significant byte of a 16-bit sample comes second in "II" files.
            const int32_t high = (bits == 16 && c->state.little_endian) ? 1 : 0;
            for (int32_t x = 0; x < c->conversion.width; ++x) {
                const uint8_t* s = src + static_cast<int64_t>(x) * 3 * step + high;
                dst[3 * x] = s[2 * step];
                dst[3 * x + 1] = s[step];
                dst[3 * x + 2] = s[0];
            }
        } else if (bits == 8) {
            std::memcpy(dst, src, static_cast<size_t>(c->conversion.width));
        } else if (bits == 4) {
            for (int32_t x = 0; x < c->conversion.width; ++x)
                dst[x] = (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4);
        } else {
            for (int32_t x = 0; x < c->conversion.width; ++x) dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
        }
    }
    return true;
}

}  // namespace

void tiff_free_buffers(TiffContext* c) {
    free_pixels(c->strip_offsets);
    c->strip_offsets = nullptr;
    free_pixels(c->strip_byte_counts);
    c->strip_byte_counts = nullptr;
}

void TiffContext::free_format_buffers() {
    tiff_free_buffers(this);
}

void tiff_reader_reset(TiffContext* c) {
    tiff_free_buffers(c);
    reset_codec_handles(c);
    c->in_memory = 0;
    c->state = {};
    c->conversion.width = 0;
    c->conversion.height = 0;
    c->loaded = {};
}

LoadedImage* read_tiff_image(TiffContext* c) {
    LoadedRowsOwner rows(&c->loaded);
    if (c->error == kCodecOk && decode(c) && c->error == kCodecOk) {
        c->loaded.format = kFileTiff;
        return rows.keep();
    }
    set_codec_error(c, kCodecBadData);
    return nullptr;
}

LoadedImage* read_tiff_file(const std::u16string& path, TiffContext* c) {
    const MappedRead file(path, c);
    return file.size() != 0 ? read_tiff_image(c) : nullptr;
}

void tiff_reader_release(TiffContext* c) {
    tiff_free_buffers(c);
    close_codec_files(c);
}
