#include "codecs/bmp/bmp.h"

#include <algorithm>
#include <cstring>

#include "codecs/conversion.h"
#include "codecs/file_io.h"
#include "codecs/file_type.h"
#include "common/stride.h"

namespace {

constexpr uint32_t kCoreHeaderBytes = 12;  // the old 16-bit header with 3-byte palette entries

struct DibHeader {
    uint32_t size = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 0;
    uint16_t bits = 0;
    uint32_t compression = 0;
    uint32_t size_image = 0;
    int32_t x_ppm = 0;
    int32_t y_ppm = 0;
    uint32_t clr_used = 0;
    uint32_t clr_important = 0;
    bool core = false;
};

// Where the parts of a DIB lie, relative to the start of the cursor's range.
struct DibLayout {
    uint64_t palette_offset = 0;
    uint64_t masks_offset = 0;
    uint64_t pixel_offset = 0;
    bool packed = false;  // a clipboard block: the rows follow the colour table
};

bool fail(BmpContext* c, int32_t code) {
    set_codec_error(c, code);
    return false;
}

// Reads the info header at the cursor. Headers of 40 bytes and more (the V4 and V5 headers
// included) share the first 40 bytes; the 12-byte core header has 16-bit fields.
bool read_info_header(BmpContext* c, DibHeader* h) {
    h->size = read_le32(c);
    if (c->error != kCodecOk) return false;
    if (h->size == kCoreHeaderBytes) {
        h->core = true;
        h->width = read_le16(c);
        h->height = read_le16(c);
        h->planes = read_le16(c);
        h->bits = read_le16(c);
    } else if (h->size >= kBmpInfoHeaderBytes) {
        h->width = static_cast<int32_t>(read_le32(c));
        h->height = static_cast<int32_t>(read_le32(c));
        h->planes = read_le16(c);
        h->bits = read_le16(c);
        h->compression = read_le32(c);
        h->size_image = read_le32(c);
        h->x_ppm = static_cast<int32_t>(read_le32(c));
        h->y_ppm = static_cast<int32_t>(read_le32(c));
        h->clr_used = read_le32(c);
        h->clr_important = read_le32(c);
    } else {
        return fail(c, kCodecUnsupported);
    }
    if (c->error != kCodecOk) return false;
    c->state.info_header = {h->size,       h->width, h->height, h->planes,   h->bits,         h->compression,
                            h->size_image, h->x_ppm, h->y_ppm,  h->clr_used, h->clr_important};
    return true;
}

// One channel of a bit-field pixel. The channel is taken where its mask lies (lowest to
// highest set bit), so masks in any order unpack correctly; for the usual layouts (blue at
// bit 0, green above it, red above green) this is the classic width rule.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint64_t max = 1;  // largest value of the channel; 1 for an empty mask, whose value is 0
};

bool analyse_mask(uint32_t mask, Channel* ch) {
    ch->mask = mask;
    if (mask == 0) return true;
    int low = 0;
    while (!((mask >> low) & 1u)) ++low;
    int high = 31;
    while (!((mask >> high) & 1u)) --high;
    const int bits = high - low + 1;
    // A 32-bit channel cannot be scaled; no shift by 32 is ever made.
    if (bits >= 32) return false;
    ch->shift = low;
    ch->max = (uint64_t{1} << bits) - 1;
    return true;
}

inline uint8_t channel_value(const Channel& ch, uint32_t pixel) {
    // 64-bit product: a 31-bit channel times 255 does not fit 32 bits.
    return static_cast<uint8_t>(static_cast<uint64_t>((pixel & ch.mask) >> ch.shift) * 255u / ch.max);
}

// How many of the `need` row bytes at `offset` the input holds. A file cut short loads with
// its missing rows zero: nothing past the input is read. A clipboard block is the size its
// owner gave it, so one too small for its rows is malformed and refused.
bool present_row_bytes(BmpContext* c, uint64_t offset, int64_t need, bool packed, int64_t* present) {
    const uint64_t size = c->input.size();
    const uint64_t available = offset < size ? size - offset : 0;
    if (available >= static_cast<uint64_t>(need)) {
        *present = need;
        return true;
    }
    if (packed) return fail(c, kCodecBadData);
    *present = static_cast<int64_t>(available);
    return true;
}

// Clears the loaded row bytes [present, need) that a short file does not hold. Rows in plain
// memory are zero already (and their untouched pages stay unallocated); a section's bits are
// not promised to be.
void zero_missing_rows(BmpContext* c, int64_t present, int64_t need) {
    if (!c->in_memory && present < need)
        std::memset(c->loaded.pixels + present, 0, static_cast<size_t>(need - present));
}

// Rows of 16- or 32-bit pixels unpacked into the loaded 24-bit rows. Only the first
// `present` source bytes exist: the rest read as zero, as the missing rows of the other
// depths do, so a pixel cut in half keeps the bytes it has.
bool unpack_bitfields(BmpContext* c, const DibHeader& h, const uint8_t* src, int64_t src_stride,
                      int64_t present) {
    Channel red, green, blue;
    if (!analyse_mask(c->state.masks[0], &red) || !analyse_mask(c->state.masks[1], &green) ||
        !analyse_mask(c->state.masks[2], &blue))
        return fail(c, kCodecReadFailed);
    const int64_t dst_stride = row_stride_bytes(h.width, 24);
    const int32_t pixel_bytes = h.bits / 8;
    const int64_t row_pixel_bytes = static_cast<int64_t>(h.width) * pixel_bytes;
    auto put = [&](uint8_t* d, const uint8_t* s) {
        uint32_t pixel = static_cast<uint32_t>(s[0]) | (static_cast<uint32_t>(s[1]) << 8);
        if (pixel_bytes == 4)
            pixel |= (static_cast<uint32_t>(s[2]) << 16) | (static_cast<uint32_t>(s[3]) << 24);
        d[0] = channel_value(blue, pixel);
        d[1] = channel_value(green, pixel);
        d[2] = channel_value(red, pixel);
    };
    for (int32_t y = 0; y < h.height; ++y) {
        const int64_t row_start = y * src_stride;
        const int64_t held = std::min<int64_t>(row_pixel_bytes, std::max<int64_t>(present - row_start, 0));
        const int32_t whole = static_cast<int32_t>(held / pixel_bytes);
        uint8_t* d = c->loaded.pixels + y * dst_stride;
        for (int32_t x = 0; x < whole; ++x, d += 3) put(d, src + row_start + x * pixel_bytes);
        int32_t done = whole;
        if (const int64_t part = held - static_cast<int64_t>(whole) * pixel_bytes; part > 0) {
            uint8_t padded[4] = {};
            std::memcpy(padded, src + row_start + held - part, static_cast<size_t>(part));
            put(d, padded);
            d += 3;
            ++done;
        }
        std::memset(d, 0, static_cast<size_t>(3) * static_cast<size_t>(h.width - done));
    }
    return true;
}

// Reads `entries` palette entries (4 bytes each, 3 for the core header) at the offset.
bool read_palette(BmpContext* c, uint64_t offset, uint32_t entries, bool core, RgbQuad* palette) {
    if (!c->input.seek(offset)) return fail(c, kCodecBadData);
    for (uint32_t i = 0; i < entries; ++i) {
        palette[i].blue = read_u8(c);
        palette[i].green = read_u8(c);
        palette[i].red = read_u8(c);
        palette[i].reserved = core ? 0 : read_u8(c);
    }
    return c->error == kCodecOk;
}

// The body shared by files and packed DIBs, after the info header was read.
LoadedImage* decode_dib(BmpContext* c, DibHeader h, DibLayout layout) {
    // Rows are bottom-up only: a negative height (top-down rows) is refused with the other
    // sizes out of range, and run-length compression with the other compressions below.
    if (h.width < 1 || h.width > kBmpMaxDimension || h.height < 1 || h.height > kBmpMaxDimension) {
        set_codec_error(c, kCodecUnsupported);
        return nullptr;
    }
    LoadedRowsOwner rows(&c->loaded);
    c->loaded.source_bits = h.bits;
    const uint8_t* base = c->input.begin();
    switch (h.bits) {
        case 1:
        case 4:
        case 8: {
            if (h.compression != kBiRgb) {
                set_codec_error(c, kCodecUnsupported);
                return nullptr;
            }
            const uint32_t full = 1u << h.bits;
            uint32_t entries = h.clr_used ? h.clr_used : full;
            if (h.core) {
                // The core header has no count: the table fills the space before the rows.
                const uint64_t room = layout.pixel_offset > layout.palette_offset
                                          ? (layout.pixel_offset - layout.palette_offset) / 3
                                          : 0;
                entries = room < full ? static_cast<uint32_t>(room) : full;
            }
            // The loaded palette has 256 entries; a larger count is not a valid bitmap.
            if (entries > 256) {
                set_codec_error(c, kCodecUnsupported);
                return nullptr;
            }
            if (layout.packed) layout.pixel_offset = layout.palette_offset + 4ull * entries;
            RgbQuad file_palette[256] = {};
            if (!read_palette(c, layout.palette_offset, entries, h.core, file_palette)) return nullptr;
            const int64_t src_stride = row_stride_bytes(h.width, h.bits);
            const int64_t need = src_stride * h.height;
            int64_t present = 0;
            if (!present_row_bytes(c, layout.pixel_offset, need, layout.packed, &present)) return nullptr;
            const uint8_t* src = present > 0 ? base + layout.pixel_offset : nullptr;
            set_dib_info_header(c, h.width, h.height, 8, h.x_ppm, h.y_ppm);
            if (h.bits == 8) {
                std::memcpy(c->loaded.palette, file_palette, sizeof(file_palette));
                if (!allocate_loaded_rows(c, need)) return nullptr;
                if (present > 0) std::memcpy(c->loaded.pixels, src, static_cast<size_t>(present));
                zero_missing_rows(c, present, need);
            } else {
                // The section takes its colour table when it is made: fill the palette first.
                std::memcpy(c->loaded.palette, file_palette, sizeof(RgbQuad) * full);
                c->conversion.width = h.width;
                c->conversion.height = h.height;
                c->conversion.source_bits = h.bits;
                c->conversion.target_bits = 8;
                compute_row_sizes(&c->conversion);
                if (c->conversion.size_overflow) {
                    set_codec_error(c, kCodecNoMemory);
                    return nullptr;
                }
                // A file cut short is expanded from a zero-padded copy of what it holds.
                uint8_t* padded = nullptr;
                if (present < need) {
                    padded = alloc_work(need);
                    if (!padded) {
                        set_codec_error(c, kCodecNoMemory);
                        return nullptr;
                    }
                    if (present > 0) std::memcpy(padded, src, static_cast<size_t>(present));
                    src = padded;
                }
                const bool allocated = allocate_loaded_rows(c, c->conversion.image_bytes);
                const bool converted = allocated && convert_pixel_depth(c->loaded.palette, c->loaded.pixels,
                                                                        &c->conversion, file_palette, src);
                free_work(padded);
                if (!allocated) return nullptr;
                if (!converted) {
                    set_codec_error(c, kCodecReadFailed);
                    return nullptr;
                }
            }
            break;
        }
        case 24: {
            if (h.compression != kBiRgb) {
                set_codec_error(c, kCodecUnsupported);
                return nullptr;
            }
            if (layout.packed && h.clr_used) {
                if (h.clr_used > 256) {
                    set_codec_error(c, kCodecUnsupported);
                    return nullptr;
                }
                layout.pixel_offset = layout.palette_offset + 4ull * h.clr_used;
            }
            const int64_t need = row_stride_bytes(h.width, 24) * h.height;
            int64_t present = 0;
            if (!present_row_bytes(c, layout.pixel_offset, need, layout.packed, &present)) return nullptr;
            set_dib_info_header(c, h.width, h.height, 24, h.x_ppm, h.y_ppm);
            if (!allocate_loaded_rows(c, need)) return nullptr;
            if (present > 0)
                std::memcpy(c->loaded.pixels, base + layout.pixel_offset, static_cast<size_t>(present));
            zero_missing_rows(c, present, need);
            break;
        }
        case 16:
        case 32: {
            if (h.compression == kBiRgb) {
                if (h.bits == 16) {
                    c->state.masks[0] = 0x7C00;
                    c->state.masks[1] = 0x03E0;
                    c->state.masks[2] = 0x001F;
                } else {
                    c->state.masks[0] = 0xFF0000;
                    c->state.masks[1] = 0xFF00;
                    c->state.masks[2] = 0xFF;
                }
            } else if (h.compression == kBiBitfields) {
                if (!c->input.seek(layout.masks_offset)) {
                    set_codec_error(c, kCodecBadData);
                    return nullptr;
                }
                c->state.masks[0] = read_le32(c);
                c->state.masks[1] = read_le32(c);
                c->state.masks[2] = read_le32(c);
                if (c->error != kCodecOk) return nullptr;
                if (layout.packed && h.size == kBmpInfoHeaderBytes) layout.pixel_offset += 12;
            } else {
                set_codec_error(c, kCodecUnsupported);
                return nullptr;
            }
            if (layout.packed && h.clr_used) {
                if (h.clr_used > 256) {
                    set_codec_error(c, kCodecUnsupported);
                    return nullptr;
                }
                layout.pixel_offset += 4ull * h.clr_used;
            }
            const int64_t src_stride = row_stride_bytes(h.width, h.bits);
            int64_t present = 0;
            if (!present_row_bytes(c, layout.pixel_offset, src_stride * h.height, layout.packed, &present))
                return nullptr;
            set_dib_info_header(c, h.width, h.height, 24, h.x_ppm, h.y_ppm);
            if (!allocate_loaded_rows(c, row_stride_bytes(h.width, 24) * h.height)) return nullptr;
            if (!unpack_bitfields(c, h, present > 0 ? base + layout.pixel_offset : nullptr, src_stride,
                                  present))
                return nullptr;
            break;
        }
        default: set_codec_error(c, kCodecUnsupported); return nullptr;
    }
    c->loaded.format = kFileBmp;
    return rows.keep();
}

void put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

void put_info_header(uint8_t* p, int32_t width, int32_t height, int bits, int32_t x_ppm, int32_t y_ppm,
                     uint32_t colours) {
    std::memset(p, 0, kBmpInfoHeaderBytes);
    put32(p + 0, kBmpInfoHeaderBytes);
    put32(p + 4, static_cast<uint32_t>(width));
    put32(p + 8, static_cast<uint32_t>(height));
    put16(p + 12, 1);
    put16(p + 14, static_cast<uint32_t>(bits));
    put32(p + 24, static_cast<uint32_t>(x_ppm));
    put32(p + 28, static_cast<uint32_t>(y_ppm));
    put32(p + 32, colours);
}

void release_clipboard_block(BmpContext* c) {
    if (c->state.release_clipboard) c->state.release_clipboard(c);
    c->state.release_clipboard = nullptr;
    c->state.clipboard_memory = 0;
    c->state.clipboard_data = nullptr;
}

}  // namespace

void BmpContext::free_format_buffers() {
    free_work(conversion_buffer);
    conversion_buffer = nullptr;
    release_clipboard_block(this);
}

BmpContext* init_bmp_context(BmpContext* context, uint8_t shared) {
    init_codec_context(context, shared);
    if (shared == 0) {
        context->state.masks[0] = context->state.masks[1] = context->state.masks[2] = 0;
        context->conversion_buffer = nullptr;
        context->x_ppm = 0;
        context->y_ppm = 0;
    }
    return context;
}

void bmp_reader_reset(BmpContext* c) {
    c->state = {};
    c->loaded = {};
    c->error = kCodecOk;
    c->output_failed = false;
}

LoadedImage* decode_bmp_input(BmpContext* c) {
    if (!c->input.seek(0) || !c->input.read_bytes(c->state.file_header, kBmpFileHeaderBytes)) {
        set_codec_error(c, kCodecBadData);
        return nullptr;
    }
    DibHeader h;
    if (!read_info_header(c, &h)) return nullptr;
    DibLayout layout;
    // The palette follows the header whatever its size (V4 and V5 headers are 108 and 124
    // bytes); bit-field masks of 16- and 32-bit files sit right after the first 40 bytes.
    layout.palette_offset = kBmpFileHeaderBytes + static_cast<uint64_t>(h.size);
    layout.masks_offset = kBmpFileHeaderBytes + kBmpInfoHeaderBytes;
    layout.pixel_offset = static_cast<uint64_t>(c->state.file_header[10]) |
                          (static_cast<uint64_t>(c->state.file_header[11]) << 8) |
                          (static_cast<uint64_t>(c->state.file_header[12]) << 16) |
                          (static_cast<uint64_t>(c->state.file_header[13]) << 24);
    return decode_dib(c, h, layout);
}

LoadedImage* read_bmp_file(const std::u16string& path, BmpContext* c) {
    const MappedRead file(path, c);
    return file.size() != 0 ? decode_bmp_input(c) : nullptr;
}

LoadedImage* parse_packed_dib(BmpContext* c, const uint8_t* data, uint64_t size) {
    c->input = ByteCursor(data, static_cast<size_t>(size));
    DibHeader h;
    if (!read_info_header(c, &h)) return nullptr;
    if (h.core) {
        set_codec_error(c, kCodecUnsupported);
        return nullptr;
    }
    DibLayout layout;
    layout.packed = true;
    layout.palette_offset = h.size;
    layout.masks_offset = kBmpInfoHeaderBytes;
    layout.pixel_offset = h.size;
    const uint8_t saved_mode = c->in_memory;
    c->in_memory = 0;
    LoadedImage* image = decode_dib(c, h, layout);
    c->in_memory = saved_mode;
    if (!image) return nullptr;
    // The header is rebuilt: the block's resolution is not kept.
    image->info.x_pels_per_meter = 0;
    image->info.y_pels_per_meter = 0;
    // What a file of this image would hold: headers, the colour table and the rows as the
    // block stored them (16- and 32-bit blocks count their 24-bit rows).
    const uint32_t colours = h.bits <= 8 ? (h.clr_used ? h.clr_used : (1u << h.bits)) : 0;
    const int32_t counted_bits = h.bits == 16 || h.bits == 32 ? 24 : h.bits;
    image->file_size =
        static_cast<uint32_t>(kBmpFileHeaderBytes + kBmpInfoHeaderBytes + 4ull * colours +
                              static_cast<uint64_t>(stride_for_depth(h.width, counted_bits)) * h.height);
    return image;
}

bool write_bmp_file(const std::u16string& path, BmpContext* c, const RgbQuad* palette,
                    const uint8_t* pixels) {
    if (!c->output_file.create(path)) {
        set_codec_error(c, kCodecCreateFailed);
        return false;
    }
    const int bits = c->conversion.target_bits;
    if ((bits != 1 && bits != 4 && bits != 8 && bits != 24) || c->conversion.size_overflow ||
        c->conversion.width < 1 || c->conversion.height < 1 || c->conversion.image_bytes <= 0 || !pixels) {
        set_codec_error(c, kCodecSaveFailed);
        return false;
    }
    const uint32_t colours = bits == 24 ? 0 : (1u << bits);
    const uint64_t offset = kBmpFileHeaderBytes + kBmpInfoHeaderBytes + 4ull * colours;
    const uint64_t total = offset + static_cast<uint64_t>(c->conversion.image_bytes);
    if (total > 0xFFFFFFFFull) {
        set_codec_error(c, kCodecSaveFailed);
        return false;
    }
    const uint8_t* rows = pixels;
    const RgbQuad* out_palette = palette;
    RgbQuad converted[256] = {};
    if (!(c->conversion.source_bits == bits && (bits == 8 || bits == 24))) {
        c->conversion_buffer = alloc_work(c->conversion.image_bytes);
        if (!c->conversion_buffer) {
            set_codec_error(c, kCodecNoMemory);
            return false;
        }
        // convert_pixel_depth only reads the source palette.
        if (!convert_pixel_depth(converted, c->conversion_buffer, &c->conversion,
                                 const_cast<RgbQuad*>(palette), pixels)) {
            set_codec_error(c, kCodecSaveFailed);
            return false;
        }
        rows = c->conversion_buffer;
        out_palette = converted;
    } else if (bits == 8 && !palette) {
        set_codec_error(c, kCodecSaveFailed);
        return false;
    }
    uint8_t head[kBmpFileHeaderBytes + kBmpInfoHeaderBytes];
    head[0] = 'B';
    head[1] = 'M';
    put32(head + 2, static_cast<uint32_t>(total));
    put32(head + 6, 0);
    put32(head + 10, static_cast<uint32_t>(offset));
    put_info_header(head + kBmpFileHeaderBytes, c->conversion.width, c->conversion.height, bits, c->x_ppm,
                    c->y_ppm, colours);
    std::memcpy(c->state.file_header, head, kBmpFileHeaderBytes);
    c->state.info_header = {kBmpInfoHeaderBytes,
                            c->conversion.width,
                            c->conversion.height,
                            1,
                            static_cast<uint16_t>(bits),
                            kBiRgb,
                            0,
                            c->x_ppm,
                            c->y_ppm,
                            colours,
                            0};
    bool ok = write_output(c, head, sizeof(head));
    if (ok && colours) {
        uint8_t table[1024];
        for (uint32_t i = 0; i < colours; ++i) {
            table[4 * i + 0] = out_palette[i].blue;
            table[4 * i + 1] = out_palette[i].green;
            table[4 * i + 2] = out_palette[i].red;
            table[4 * i + 3] = out_palette[i].reserved;
        }
        ok = write_output(c, table, 4ull * colours);
    }
    if (ok) ok = write_output(c, rows, static_cast<uint64_t>(c->conversion.image_bytes));
    return ok && !c->output_failed;
}

uint64_t packed_dib_size(const ConversionContext* c) {
    if ((c->source_bits != 8 && c->source_bits != 24) || c->width < 1 || c->height < 1) return 0;
    const int64_t stride = stride_for_depth(c->width, c->source_bits);
    if (stride < 0 || stride * c->height > kMaxImageBytes) return 0;
    return kBmpInfoHeaderBytes + (c->source_bits == 8 ? 1024u : 0u) +
           static_cast<uint64_t>(stride) * c->height;
}

void fill_packed_dib(const BmpContext* c, const RgbQuad* palette, const uint8_t* pixels, uint8_t* out) {
    const int64_t stride = stride_for_depth(c->conversion.width, c->conversion.source_bits);
    put_info_header(out, c->conversion.width, c->conversion.height, c->conversion.source_bits, c->x_ppm,
                    c->y_ppm, 0);
    uint8_t* p = out + kBmpInfoHeaderBytes;
    if (c->conversion.source_bits == 8) {
        for (int i = 0; i < 256; ++i, p += 4) {
            p[0] = palette[i].blue;
            p[1] = palette[i].green;
            p[2] = palette[i].red;
            p[3] = palette[i].reserved;
        }
    }
    std::memcpy(p, pixels, static_cast<size_t>(stride * c->conversion.height));
}

void bmp_release(BmpContext* c) {
    bmp_reader_release(c);
}

void bmp_reader_release(BmpContext* c) {
    release_clipboard_block(c);
    close_codec_files(c);
}

void bmp_writer_release(BmpContext* c) {
    bmp_writer_release_global(c);
}

void bmp_writer_release_global(BmpContext* c) {
    free_work(c->conversion_buffer);
    c->conversion_buffer = nullptr;
    close_codec_files(c);
}
