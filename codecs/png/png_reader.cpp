// PNG reader: the chunk walk over the mapped file, gamma and flattening onto a background.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "codecs/file_type.h"
#include "codecs/pixel_memory.h"
#include "codecs/png/png.h"

namespace {

bool type_is(const uint8_t* type, const char* name) {
    return std::memcmp(type, name, 4) == 0;
}

// Skips a chunk's data and CRC; the walk has already checked that they lie within the file.
void skip_chunk(PngContext* c, uint32_t length) {
    c->input.skip(static_cast<uint64_t>(length) + 4);
}

bool read_ihdr(PngContext* c) {
    ByteCursor& in = c->input;
    if (in.size() < 33) {
        set_codec_error(c, kCodecBadData);
        return false;
    }
    static const uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    if (std::memcmp(in.begin(), kSignature, 8) != 0) {
        set_codec_error(c, kCodecBadData);
        return false;
    }
    in.seek(8);
    const uint32_t length = read_be32(c);
    if (length != 13) {
        set_codec_error(c, kCodecPngIhdrLength);
        return false;
    }
    uint8_t type[4];
    in.read_bytes(type, 4);
    if (!type_is(type, "IHDR")) {
        set_codec_error(c, kCodecPngIhdrType);
        return false;
    }
    if (!png_check_chunk_crc(c, type, 13)) {
        set_codec_error(c, kCodecPngCrc);
        return false;
    }
    const uint32_t width = read_be32(c);
    const uint32_t height = read_be32(c);
    if (width < 1 || width > kPngMaxDimension || height < 1 || height > kPngMaxDimension) {
        set_codec_error(c, kCodecUnsupported);
        return false;
    }
    c->conversion.width = static_cast<int32_t>(width);
    c->conversion.height = static_cast<int32_t>(height);
    c->state.bit_depth = read_u8(c);
    c->state.colour_type = read_u8(c);
    const uint8_t compression = read_u8(c);
    const uint8_t filter = read_u8(c);
    const uint8_t interlace = read_u8(c);
    if (compression != 0) {
        set_codec_error(c, kCodecPngIhdrCompression);
        return false;
    }
    if (filter != 0) {
        set_codec_error(c, kCodecPngIhdrFilter);
        return false;
    }
    if (interlace > 1) {
        set_codec_error(c, kCodecPngIhdrInterlace);
        return false;
    }
    c->state.interlace = interlace;
    in.skip(4);
    return true;
}

void read_plte(PngContext* c, uint32_t length) {
    static const int32_t kLimit[17] = {0, 2, 4, 0, 16, 0, 0, 0, 256, 0, 0, 0, 0, 0, 0, 0, 0};
    const int32_t limit = c->state.bit_depth <= 16 ? kLimit[c->state.bit_depth] : 0;
    int32_t entries = static_cast<int32_t>(length / 3);
    if (entries > limit) entries = limit;
    const uint8_t* p = c->input.data();
    for (int32_t i = 0; i < entries; ++i) {
        c->loaded.palette[i].red = p[3 * i];
        c->loaded.palette[i].green = p[3 * i + 1];
        c->loaded.palette[i].blue = p[3 * i + 2];
    }
    c->state.palette_entries = entries;
    c->state.plte_seen = 1;
}

void read_bkgd(PngContext* c, uint32_t length) {
    const uint8_t* p = c->input.data();
    switch (c->state.colour_type) {
        case 0:
        case 4: {
            if (length != 2) return;
            uint8_t g = p[1];
            if (c->state.bit_depth == 1) g = static_cast<uint8_t>(p[1] * 255);
            if (c->state.bit_depth == 2) g = static_cast<uint8_t>(p[1] * 85);
            if (c->state.bit_depth == 4) g = static_cast<uint8_t>(p[1] * 17);
            if (c->state.bit_depth == 16) g = p[0];
            c->state.background_red = c->state.background_green = c->state.background_blue = g;
            break;
        }
        case 3: {
            if (!c->state.plte_seen || length != 1) return;
            const RgbQuad& e = c->loaded.palette[p[0]];
            c->state.background_red = e.red;
            c->state.background_green = e.green;
            c->state.background_blue = e.blue;
            break;
        }
        case 2:
        case 6: {
            if (length != 6) return;
            const int o = c->state.bit_depth == 16 ? 0 : 1;
            c->state.background_red = p[o];
            c->state.background_green = p[2 + o];
            c->state.background_blue = p[4 + o];
            break;
        }
        default: return;
    }
    c->state.bkgd_seen = 1;
}

void read_trns(PngContext* c, uint32_t length) {
    const uint8_t* p = c->input.data();
    switch (c->state.colour_type) {
        case 0:
            if (length != 2) return;
            c->state.key_green = c->state.bit_depth == 16 ? p[0] : p[1];
            break;
        case 2: {
            if (length != 6) return;
            const int o = c->state.bit_depth == 16 ? 0 : 1;
            c->state.key_red = p[o];
            c->state.key_green = p[2 + o];
            c->state.key_blue = p[4 + o];
            break;
        }
        case 3:
            if (!c->state.plte_seen || length > static_cast<uint32_t>(c->state.palette_entries)) return;
            for (uint32_t i = 0; i < 256; ++i) c->state.palette_alpha[i] = i < length ? p[i] : 255;
            break;
        default: return;
    }
    c->state.trns_seen = 1;
}

void read_text(PngContext* c, uint32_t length) {
    const uint8_t* p = c->input.data();
    if (p[0] == 0) return;
    const uint32_t window = length < 80 ? length : 80;
    for (uint32_t i = 1; i < window; ++i) {
        if (p[i] != 0) continue;
        ++c->state.text_chunks;
        if (i == 7 && std::memcmp(p, "Comment", 7) == 0) ++c->state.comment_chunks;
        return;
    }
}

// The run of consecutive IDAT chunks, with the cursor at the first one's data.
bool read_idat_run(PngContext* c, const uint8_t* type, uint32_t length) {
    ByteCursor& in = c->input;
    if (c->state.idat_seen) {
        set_codec_error(c, kCodecPngChunkOrder);
        return false;
    }
    if (!png_check_chunk_crc(c, type, length)) {
        set_codec_error(c, kCodecPngCrc);
        return false;
    }
    c->state.idat_seen = 1;
    const int64_t image_bytes = static_cast<int64_t>(c->state.output_stride) * c->conversion.height;
    c->state.image_buffer.reset(alloc_pixels(image_bytes));
    if (!c->state.image_buffer) {
        set_codec_error(c, kCodecNoMemory);
        return false;
    }
    const size_t first_data = in.offset();
    uint64_t total = length;
    int chunks = 1;
    in.skip(static_cast<uint64_t>(length) + 4);
    // Count the run: each further IDAT must lie within the file with a good CRC.
    while (true) {
        if (in.remaining() < 8) break;  // the walk reports the missing chunk header
        const uint8_t* head = in.data();
        const uint32_t next = (static_cast<uint32_t>(head[0]) << 24) |
                              (static_cast<uint32_t>(head[1]) << 16) | (static_cast<uint32_t>(head[2]) << 8) |
                              head[3];
        if (!type_is(head + 4, "IDAT")) break;
        if (next >= 0x80000000u || static_cast<uint64_t>(next) + 12 > in.remaining()) {
            set_codec_error(c, kCodecPngIdatLength);
            return false;
        }
        in.skip(8);
        if (!png_check_chunk_crc(c, head + 4, next)) {
            set_codec_error(c, kCodecPngIdatLength);
            return false;
        }
        in.skip(static_cast<uint64_t>(next) + 4);
        total += next;
        ++chunks;
    }
    if (total > 0xFFFFFFFFu) {
        set_codec_error(c, kCodecPngIdatLength);
        return false;
    }
    c->state.compressed_bytes = static_cast<uint32_t>(total);
    const size_t after_run = in.offset();
    if (chunks == 1) {
        c->state.compressed_data = in.begin() + first_data;
    } else {
        c->state.assembled_data.reset(static_cast<uint8_t*>(std::malloc(static_cast<size_t>(total) + 1)));
        if (!c->state.assembled_data) {
            set_codec_error(c, kCodecNoMemory);
            return false;
        }
        uint8_t* out = c->state.assembled_data.get();
        in.seek(first_data - 8);
        for (int i = 0; i < chunks; ++i) {
            const uint32_t n = read_be32(c);
            in.skip(4);
            std::memcpy(out, in.data(), n);
            out += n;
            in.skip(static_cast<uint64_t>(n) + 4);
        }
        c->state.compressed_data = c->state.assembled_data.get();
    }
    const bool ok = c->state.interlace ? png_inflate_rows_interlaced(c) : png_inflate_rows(c);
    c->state.assembled_data.reset();
    c->state.compressed_data = nullptr;
    in.seek(after_run);
    return ok;
}

bool walk_chunks(PngContext* c) {
    ByteCursor& in = c->input;
    while (true) {
        if (in.remaining() < 8) {
            set_codec_error(c, kCodecBadData);
            return false;
        }
        const uint32_t length = read_be32(c);
        if (length >= 0x80000000u) {
            set_codec_error(c, kCodecPngChunkLength);
            return false;
        }
        if (static_cast<uint64_t>(length) + 8 > in.remaining()) {
            set_codec_error(c, kCodecBadData);
            return false;
        }
        uint8_t type[4];
        in.read_bytes(type, 4);
        if (type_is(type, "IHDR")) {
            set_codec_error(c, kCodecPngChunkOrder);
            return false;
        }
        if (type_is(type, "PLTE")) {
            if (c->state.colour_type != 3) {
                skip_chunk(c, length);
                continue;
            }
            if (c->state.plte_seen || c->state.idat_seen) {
                set_codec_error(c, kCodecPngChunkOrder);
                return false;
            }
            if (!png_check_chunk_crc(c, type, length)) {
                set_codec_error(c, kCodecPngCrc);
                return false;
            }
            read_plte(c, length);
        } else if (type_is(type, "IDAT")) {
            if (!read_idat_run(c, type, length)) return false;
            continue;
        } else if (type_is(type, "IEND")) {
            if (!png_check_chunk_crc(c, type, length)) {
                set_codec_error(c, kCodecPngCrc);
                return false;
            }
            c->state.iend_seen = 1;
            if (!c->state.idat_seen || (c->state.colour_type == 3 && !c->state.plte_seen)) {
                set_codec_error(c, kCodecPngCriticalChunks);
                return false;
            }
            return true;
        } else if (type_is(type, "gAMA")) {
            if (!c->state.gama_seen && !c->state.plte_seen && !c->state.idat_seen && length == 4 &&
                png_check_chunk_crc(c, type, length)) {
                const uint8_t* p = in.data();
                const uint32_t v = (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
                                   (static_cast<uint32_t>(p[2]) << 8) | p[3];
                if (v >= 1 && v < 0x80000000u) {
                    c->state.file_gamma = v;
                    c->state.gama_seen = 1;
                }
            }
        } else if (type_is(type, "bKGD")) {
            if (!c->state.bkgd_seen && !c->state.idat_seen && png_check_chunk_crc(c, type, length))
                read_bkgd(c, length);
        } else if (type_is(type, "tRNS")) {
            if (!c->state.trns_seen && !c->state.idat_seen && png_check_chunk_crc(c, type, length))
                read_trns(c, length);
        } else if (type_is(type, "pHYs")) {
            if (!c->state.idat_seen && length == 9 && png_check_chunk_crc(c, type, length) &&
                in.data()[8] == 1) {
                const uint8_t* p = in.data();
                const uint32_t x = (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
                                   (static_cast<uint32_t>(p[2]) << 8) | p[3];
                const uint32_t y = (static_cast<uint32_t>(p[4]) << 24) | (static_cast<uint32_t>(p[5]) << 16) |
                                   (static_cast<uint32_t>(p[6]) << 8) | p[7];
                if (x < 0x80000000u && y < 0x80000000u) {
                    c->state.x_resolution = static_cast<int32_t>(x);
                    c->state.y_resolution = static_cast<int32_t>(y);
                }
            }
        } else if (type_is(type, "tEXt")) {
            if (length >= 2 && png_check_chunk_crc(c, type, length)) read_text(c, length);
        }
        skip_chunk(c, length);
    }
}

uint8_t gamma_value(double exponent, int v) {
    if (v == 0) return 0;
    const double r = std::floor(255.0 * std::pow(v / 255.0, exponent) + 0.5);
    return static_cast<uint8_t>(r < 0 ? 0 : (r > 255 ? 255 : r));
}

double gamma_exponent(const PngContext* c) {
    return 1.0 / (static_cast<double>(c->state.file_gamma) * static_cast<double>(c->options.display_gamma) /
                  100000000.0);
}

void build_gamma_table(double exponent, uint8_t table[256]) {
    for (int i = 0; i < 256; ++i) table[i] = gamma_value(exponent, i);
}

void apply_gamma(PngContext* c, const uint8_t table[256]) {
    if (c->state.output_bits == 24) {
        const int64_t n = static_cast<int64_t>(c->state.output_stride) * c->conversion.height;
        uint8_t* p = c->state.image_buffer.get();
        for (int64_t i = 0; i < n; ++i) p[i] = table[p[i]];
    } else {
        for (RgbQuad& q : c->loaded.palette) {
            q.blue = table[q.blue];
            q.green = table[q.green];
            q.red = table[q.red];
        }
    }
}

// `gamma` (null when no correction runs) is applied here to the pixels of a colour image with a
// key that do not match it: the key names stored sample values, which the correction would move
// away from it (and could move another colour onto it).
void flatten(PngContext* c, const uint8_t* gamma) {
    uint8_t br = c->options.configured_red, bg = c->options.configured_green, bb = c->options.configured_blue;
    if (c->state.bkgd_seen && !c->options.ignore_bkgd) {
        br = c->state.background_red;
        bg = c->state.background_green;
        bb = c->state.background_blue;
    }
    // Without the shared table only the exact-key replacements can be made.
    const uint8_t* t = c->options.blend_table;
    if (!t && c->state.colour_type != 0 && c->state.colour_type != 2) return;
    auto mix = [t](uint8_t a, uint8_t v, uint8_t b) {
        return static_cast<uint8_t>(t[256 * a + v] + t[256 * (255 - a) + b]);
    };
    const int32_t w = c->conversion.width;
    const int32_t h = c->conversion.height;
    switch (c->state.colour_type) {
        case 0: {
            RgbQuad& e = c->loaded.palette[c->state.key_green];
            e.blue = bb;
            e.green = bg;
            e.red = br;
            break;
        }
        case 2:
            for (int32_t y = 0; y < h; ++y) {
                uint8_t* p = c->state.image_buffer.get() + static_cast<int64_t>(y) * c->state.output_stride;
                for (int32_t x = 0; x < w; ++x, p += 3) {
                    if (p[0] == c->state.key_blue && p[1] == c->state.key_green && p[2] == c->state.key_red) {
                        p[0] = bb;
                        p[1] = bg;
                        p[2] = br;
                    } else if (gamma) {
                        p[0] = gamma[p[0]];
                        p[1] = gamma[p[1]];
                        p[2] = gamma[p[2]];
                    }
                }
            }
            break;
        case 3:
            for (int i = 0; i < 256; ++i) {
                RgbQuad& e = c->loaded.palette[i];
                const uint8_t a = c->state.palette_alpha[i];
                e.blue = mix(a, e.blue, bb);
                e.green = mix(a, e.green, bg);
                e.red = mix(a, e.red, br);
            }
            break;
        case 4:
            for (int32_t y = 0; y < h; ++y) {
                uint8_t* p = c->state.image_buffer.get() + static_cast<int64_t>(y) * c->state.output_stride;
                const uint8_t* a = c->state.alpha_plane.get() + static_cast<int64_t>(y) * w;
                for (int32_t x = 0; x < w; ++x) p[x] = mix(a[x], p[x], br);
            }
            break;
        case 6:
            for (int32_t y = 0; y < h; ++y) {
                uint8_t* p = c->state.image_buffer.get() + static_cast<int64_t>(y) * c->state.output_stride;
                const uint8_t* a = c->state.alpha_plane.get() + static_cast<int64_t>(y) * w;
                for (int32_t x = 0; x < w; ++x, p += 3) {
                    p[0] = mix(a[x], p[0], bb);
                    p[1] = mix(a[x], p[1], bg);
                    p[2] = mix(a[x], p[2], br);
                }
            }
            break;
        default: break;
    }
}

}  // namespace

void PngContext::free_format_buffers() {
    png_free_buffers(this);
}

PngContext::State::State() {
    std::memset(palette_alpha, 255, sizeof palette_alpha);
}

void png_reader_reset(PngContext* context) {
    context->options = {};
    context->state = {};
    context->loaded = {};
}

LoadedImage* read_png_mapped(PngContext* context) {
    PngContext* c = context;
    if (!read_ihdr(c)) return nullptr;
    if (!png_choose_converters(c)) return nullptr;
    if (static_cast<int64_t>(c->state.output_stride) * c->conversion.height > kMaxImageBytes) {
        set_codec_error(c, kCodecUnsupported);
        return nullptr;
    }
    c->loaded.source_bits = (c->state.colour_type == 2 || c->state.colour_type == 6) ? 3 * c->state.bit_depth
                                                                                     : c->state.bit_depth;
    if (c->state.alpha) {
        c->state.alpha_plane.reset(
            alloc_pixels(static_cast<int64_t>(c->conversion.width) * c->conversion.height));
        if (!c->state.alpha_plane) {
            set_codec_error(c, kCodecNoMemory);
            return nullptr;
        }
    }
    if (!walk_chunks(c)) return nullptr;
    const bool gamma = c->state.gama_seen && c->options.display_gamma != 0;
    const bool flattened = c->options.transparency && (c->state.trns_seen || c->state.alpha);
    // A colour key is matched before the correction, in the same pass that corrects the rest.
    const bool keyed_colour = flattened && c->state.colour_type == 2;
    uint8_t table[256];
    if (gamma) {
        const double e = gamma_exponent(c);
        build_gamma_table(e, table);
        if (!keyed_colour) apply_gamma(c, table);
        if (flattened) {
            c->state.background_red = table[c->state.background_red];
            c->state.background_green = table[c->state.background_green];
            c->state.background_blue = table[c->state.background_blue];
        }
    }
    if (flattened) flatten(c, gamma && keyed_colour ? table : nullptr);
    set_dib_info_header(c, c->conversion.width, c->conversion.height, c->state.output_bits,
                        c->state.x_resolution, c->state.y_resolution);
    LoadedImage& image = c->loaded;
    if (c->in_memory) {
        image.pixels = c->state.image_buffer.release();
        image.bitmap = 0;
    } else {
        const int64_t bytes = static_cast<int64_t>(c->state.output_stride) * c->conversion.height;
        if (!allocate_loaded_rows(c, bytes)) return nullptr;
        std::memcpy(image.pixels, c->state.image_buffer.get(), static_cast<size_t>(bytes));
    }
    image.format = kFilePng;
    return &image;
}

LoadedImage* read_png_file(PngContext* context, const std::u16string& path) {
    const MappedRead file(path, context);
    return file.size() != 0 ? read_png_mapped(context) : nullptr;
}

void png_free_buffers(PngContext* context) {
    context->state.image_buffer.reset();
    context->state.alpha_plane.reset();
    context->state.assembled_data.reset();
}

void png_reader_release(PngContext* context) {
    png_free_buffers(context);
    close_codec_files(context);
}
