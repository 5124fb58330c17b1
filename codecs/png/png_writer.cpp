// PNG writer: the whole image is filtered into one buffer, compressed by a single deflate call
// into a buffer that cannot overflow, and written as one IDAT chunk.
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "codecs/conversion.h"
#include "codecs/file_io.h"
#include "codecs/png/png.h"

namespace {

// Work buffers of one write: freed on every way out.
using WorkBuffer = HeapBuffer;

constexpr uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

void put32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

bool write_chunk(PngContext* c, const char* name, const uint8_t* data, uint32_t length) {
    const uint8_t* type = reinterpret_cast<const uint8_t*>(name);
    return write_be32(c, length) && write_output(c, type, 4) && write_output(c, data, length) &&
           write_be32(c, png_chunk_crc(c, type, length, data));
}

voidpf zlib_alloc(voidpf, uInt items, uInt size) {
    return std::calloc(items, size);
}
void zlib_free(voidpf, voidpf address) {
    std::free(address);
}

// Forward filters over one row: out[0] is the type, raw and previous hold data from byte 1.
// One loop per type, so the choice is not made again for every byte.
void filter_row(int type, const uint8_t* raw, const uint8_t* previous, uint8_t* out, int32_t row_bytes,
                int32_t bpp) {
    out[0] = static_cast<uint8_t>(type);
    const uint8_t* r = raw + 1;
    const uint8_t* p = previous + 1;
    uint8_t* o = out + 1;
    const int32_t n = row_bytes - 1;
    const int32_t head = n < bpp ? n : bpp;
    switch (type) {
        case 1:
            for (int32_t i = 0; i < head; ++i) o[i] = r[i];
            for (int32_t i = bpp; i < n; ++i) o[i] = static_cast<uint8_t>(r[i] - r[i - bpp]);
            break;
        case 2:
            for (int32_t i = 0; i < n; ++i) o[i] = static_cast<uint8_t>(r[i] - p[i]);
            break;
        case 3:
            for (int32_t i = 0; i < head; ++i) o[i] = static_cast<uint8_t>(r[i] - (p[i] >> 1));
            for (int32_t i = bpp; i < n; ++i) o[i] = static_cast<uint8_t>(r[i] - ((r[i - bpp] + p[i]) >> 1));
            break;
        case 4:
            for (int32_t i = 0; i < head; ++i) o[i] = static_cast<uint8_t>(r[i] - p[i]);
            for (int32_t i = bpp; i < n; ++i)
                o[i] = static_cast<uint8_t>(r[i] - paeth_predictor(r[i - bpp], p[i], p[i - bpp]));
            break;
        default:
            for (int32_t i = 0; i < n; ++i) o[i] = r[i];
            break;
    }
}

// Fixed filter: the output row buffer of that type (None uses the raw row itself).
uint8_t* output_row(PngWriterContext* c, int type) {
    return type == 0 ? c->row_buffers[1] : c->row_buffers[1 + type];
}

int choose_fixed(PngWriterContext* c, int32_t row_bytes) {
    const int type = c->state.colour_type == 3 ? 0 : c->settings.filter_mode - 1;
    if (type != 0)
        filter_row(type, c->row_buffers[1], c->row_buffers[0], output_row(c, type), row_bytes,
                   c->state.bytes_per_pixel);
    return type;
}

int choose_adaptive(PngWriterContext* c, int32_t row_bytes) {
    int best = 0;
    int best_score = png_adaptive_score(c->row_buffers[1], row_bytes);
    for (int type = 1; type <= 4; ++type) {
        uint8_t* out = output_row(c, type);
        filter_row(type, c->row_buffers[1], c->row_buffers[0], out, row_bytes, c->state.bytes_per_pixel);
        const int score = png_adaptive_score(out, row_bytes);
        if (score > best_score) {
            best = type;
            best_score = score;
        }
    }
    return best;
}

struct RowSink {
    PngWriterContext* c;
    uint8_t* out;  // next filtered byte

    // The raw row is in row_buffers[1] after its type byte.
    void emit(int32_t row_bytes) {
        c->row_buffers[1][0] = 0;
        const int type = c->choose_filter(c, row_bytes);
        std::memcpy(out, output_row(c, type), static_cast<size_t>(row_bytes));
        out[0] = static_cast<uint8_t>(type);
        out += row_bytes;
        uint8_t* t = c->row_buffers[0];
        c->row_buffers[0] = c->row_buffers[1];
        c->row_buffers[1] = t;
    }
    void start_pass(int32_t row_bytes) { std::memset(c->row_buffers[0], 0, static_cast<size_t>(row_bytes)); }
};

void pack_indices(const uint8_t* indices, int32_t count, int32_t bits, uint8_t* out) {
    const int32_t bytes = static_cast<int32_t>((static_cast<int64_t>(count) * bits + 7) / 8);
    std::memset(out, 0, static_cast<size_t>(bytes));
    for (int32_t i = 0; i < count; ++i) {
        const int64_t bit = static_cast<int64_t>(i) * bits;
        out[bit / 8] |= static_cast<uint8_t>(indices[i] << (8 - bits - bit % 8));
    }
}

// Sends every row of the image (top row first, or pass by pass) through the sink. `full_row`
// fills one whole image row, counted from the top, in file byte order: `pixel_bytes` per pixel,
// or packed at `packed_bits` for a non-interlaced packed row.
template <typename FullRow>
bool emit_rows(PngWriterContext* c, RowSink* sink, int32_t pixel_bytes, FullRow full_row, uint8_t* scratch) {
    const int32_t w = c->conversion.width;
    const int32_t h = c->conversion.height;
    if (!c->state.interlace) {
        const int32_t row_bytes = static_cast<int32_t>(png_row_bytes(c, w));
        sink->start_pass(row_bytes);
        for (int32_t y = 0; y < h; ++y) {
            full_row(y, c->row_buffers[1] + 1, false);
            sink->emit(row_bytes);
        }
        return true;
    }
    for (int p = 0; p < 7; ++p) {
        const int32_t row_bytes = c->pass_row_bytes[p];
        if (row_bytes == 0) continue;
        sink->start_pass(row_bytes);
        for (int32_t k = 0; k < c->pass_rows[p]; ++k) {
            const int32_t y = kAdam7RowStart[p] + k * kAdam7RowStep[p];
            full_row(y, scratch, true);
            uint8_t* raw = c->row_buffers[1] + 1;
            const int32_t columns = c->pass_columns[p];
            if (c->state.bit_depth < 8) {
                uint8_t* gathered = scratch + w;
                for (int32_t j = 0; j < columns; ++j)
                    gathered[j] = scratch[kAdam7ColumnStart[p] + j * kAdam7ColumnStep[p]];
                pack_indices(gathered, columns, c->state.bit_depth, raw);
            } else {
                for (int32_t j = 0; j < columns; ++j) {
                    const int32_t x = kAdam7ColumnStart[p] + j * kAdam7ColumnStep[p];
                    std::memcpy(raw + static_cast<size_t>(j) * pixel_bytes,
                                scratch + static_cast<size_t>(x) * pixel_bytes,
                                static_cast<size_t>(pixel_bytes));
                }
            }
            sink->emit(row_bytes);
        }
    }
    return true;
}

bool write_transparency(PngWriterContext* c, const RgbQuad* written_palette) {
    const uint8_t* rgb = c->transparent_colour;
    if (!c->settings.transparent || !rgb) return true;
    uint8_t data[256];
    if (c->state.colour_type == 0) {
        // The key must use the same grey rule as the pixels, or the chosen colour would not
        // match its own grey level: an 8-bit source goes grey through its palette entries.
        const uint8_t grey = c->conversion.source_bits == 8
                                 ? grey_of_entry(RgbQuad{rgb[2], rgb[1], rgb[0], 0})
                                 : grey_of_bgr(rgb[2], rgb[1], rgb[0]);
        data[0] = 0;
        data[1] = grey;
        return write_chunk(c, "tRNS", data, 2) && write_chunk(c, "bKGD", data, 2);
    }
    if (c->state.colour_type == 2) {
        for (int i = 0; i < 3; ++i) {
            data[2 * i] = 0;
            data[2 * i + 1] = rgb[i];
        }
        return write_chunk(c, "tRNS", data, 6) && write_chunk(c, "bKGD", data, 6);
    }
    int index = 0;
    int64_t best = -1;
    for (int i = 0; i < c->state.palette_entries; ++i) {
        const RgbQuad& e = written_palette[i];
        const int dr = e.red - rgb[0], dg = e.green - rgb[1], db = e.blue - rgb[2];
        const int64_t d = dr * dr + dg * dg + db * db;
        if (best < 0 || d < best) {
            best = d;
            index = i;
        }
        if (d == 0) break;
    }
    std::memset(data, 255, sizeof data);
    data[index] = 0;
    const uint8_t bkgd = static_cast<uint8_t>(index);
    return write_chunk(c, "tRNS", data, static_cast<uint32_t>(index + 1)) && write_chunk(c, "bKGD", &bkgd, 1);
}

WorkBuffer alloc_temp(int64_t bytes) {
    if (bytes < 0 || bytes > kMaxImageBytes) return nullptr;
    return WorkBuffer(static_cast<uint8_t*>(std::calloc(static_cast<size_t>(bytes) + 1, 1)));
}

bool encode_palette(PngWriterContext* c, RgbQuad* palette, const uint8_t* pixels, uint8_t* scratch,
                    RowSink* sink) {
    const int32_t bits = c->state.bit_depth;
    WorkBuffer temp = alloc_temp(c->conversion.image_bytes);
    if (!temp) {
        set_codec_error(c, kCodecNoMemory);
        return false;
    }
    RgbQuad target[256] = {};
    if (!convert_pixel_depth(target, temp.get(), &c->conversion, palette, pixels)) {
        set_codec_error(c, kCodecSaveFailed);
        return false;
    }
    RgbQuad kept[256] = {};
    uint8_t map[256];
    for (int i = 0; i < 256; ++i) map[i] = static_cast<uint8_t>(i);
    int count = 0;
    if (bits == 1) {
        kept[0] = target[0];
        kept[1] = target[1];
        count = 2;
    } else {
        const int scan = 1 << bits;
        for (int i = 0; i < scan; ++i) {
            int found = -1;
            for (int k = 0; k < count && found < 0; ++k) {
                if (kept[k].blue == target[i].blue && kept[k].green == target[i].green &&
                    kept[k].red == target[i].red)
                    found = k;
            }
            if (found < 0) {
                kept[count] = target[i];
                found = count++;
            }
            map[i] = static_cast<uint8_t>(found);
        }
        const int per_byte = 8 / bits;
        const int mask = (1 << bits) - 1;
        for (int32_t y = 0; y < c->conversion.height; ++y) {
            uint8_t* row = temp.get() + static_cast<int64_t>(y) * c->conversion.stride;
            for (int32_t i = 0; i < c->conversion.row_bytes; ++i) {
                if (bits == 8) {
                    row[i] = map[row[i]];
                    continue;
                }
                uint8_t v = 0;
                for (int k = 0; k < per_byte; ++k) {
                    const int shift = 8 - bits * (k + 1);
                    v |= static_cast<uint8_t>(map[(row[i] >> shift) & mask] << shift);
                }
                row[i] = v;
            }
        }
    }
    c->state.palette_entries = count;
    uint8_t plte[768];
    for (int i = 0; i < count; ++i) {
        plte[3 * i] = kept[i].red;
        plte[3 * i + 1] = kept[i].green;
        plte[3 * i + 2] = kept[i].blue;
    }
    if (!write_chunk(c, "PLTE", plte, static_cast<uint32_t>(3 * count)) || !write_transparency(c, kept)) {
        return false;
    }
    WorkBuffer indices;
    const uint8_t* rows = temp.get();
    int64_t rows_stride = c->conversion.stride;
    if (c->state.interlace && bits < 8) {
        ConversionContext expand;
        init_conversion_context(&expand);
        expand.width = c->conversion.width;
        expand.height = c->conversion.height;
        expand.source_bits = bits;
        expand.target_bits = 8;
        compute_row_sizes(&expand);
        indices = alloc_temp(expand.image_bytes);
        if (!indices) {
            set_codec_error(c, kCodecNoMemory);
            return false;
        }
        RgbQuad unused[256] = {};
        if (!convert_pixel_depth(unused, indices.get(), &expand, kept, temp.get())) {
            set_codec_error(c, kCodecSaveFailed);
            return false;
        }
        rows = indices.get();
        rows_stride = expand.stride;
    }
    const int32_t h = c->conversion.height;
    const int32_t row_bytes = c->conversion.row_bytes;
    const int32_t w = c->conversion.width;
    emit_rows(
        c, sink, 1,
        [&](int32_t y, uint8_t* out, bool interlaced) {
            const uint8_t* src = rows + static_cast<int64_t>(h - 1 - y) * rows_stride;
            std::memcpy(out, src, static_cast<size_t>(interlaced ? w : row_bytes));
        },
        scratch);
    return true;
}

bool encode_grey(PngWriterContext* c, RgbQuad* palette, const uint8_t* pixels, uint8_t* scratch,
                 RowSink* sink) {
    const int64_t bytes = static_cast<int64_t>(c->conversion.width) * c->conversion.height;
    WorkBuffer temp = alloc_temp(bytes);
    if (!temp) {
        set_codec_error(c, kCodecNoMemory);
        return false;
    }
    if (!convert_to_8bit_grey(&c->conversion, palette, pixels, temp.get())) {
        set_codec_error(c, kCodecSaveFailed);
        return false;
    }
    if (!write_transparency(c, nullptr)) {
        return false;
    }
    const int32_t w = c->conversion.width;
    const int32_t h = c->conversion.height;
    emit_rows(
        c, sink, 1,
        [&](int32_t y, uint8_t* out, bool) {
            std::memcpy(out, temp.get() + static_cast<int64_t>(h - 1 - y) * w, static_cast<size_t>(w));
        },
        scratch);
    return true;
}

bool encode_colour(PngWriterContext* c, RgbQuad* palette, const uint8_t* pixels, uint8_t* scratch,
                   RowSink* sink) {
    const int32_t w = c->conversion.width;
    const int32_t h = c->conversion.height;
    WorkBuffer temp;
    const uint8_t* source = pixels;
    const int32_t s = c->conversion.source_bits;
    if (c->state.bit_depth == 16 ? s != 48 : (s != 8 && s != 24)) {
        set_codec_error(c, kCodecSaveFailed);
        return false;
    }
    if (s == 8) {
        temp = alloc_temp(c->conversion.image_bytes);
        if (!temp) {
            set_codec_error(c, kCodecNoMemory);
            return false;
        }
        if (!convert_pixel_depth(nullptr, temp.get(), &c->conversion, palette, pixels)) {
            set_codec_error(c, kCodecSaveFailed);
            return false;
        }
        source = temp.get();
    }
    if (!write_transparency(c, nullptr)) {
        return false;
    }
    if (s == 48) {
        const int64_t stride = 6 * static_cast<int64_t>(w);
        const bool reversed = c->settings.layout48 == 1;
        emit_rows(
            c, sink, 6,
            [&](int32_t y, uint8_t* out, bool) {
                if (!reversed) {
                    std::memcpy(out, source + y * stride, static_cast<size_t>(stride));
                    return;
                }
                const uint8_t* src = source + (h - 1 - y) * stride;
                for (int32_t x = 0; x < w; ++x)
                    for (int k = 0; k < 6; ++k) out[6 * x + k] = src[6 * x + 5 - k];
            },
            scratch);
    } else {
        const int64_t stride = stride_for_depth(w, 24);
        emit_rows(
            c, sink, 3,
            [&](int32_t y, uint8_t* out, bool) {
                const uint8_t* src = source + (h - 1 - y) * stride;
                for (int32_t x = 0; x < w; ++x, src += 3, out += 3) {
                    out[0] = src[2];
                    out[1] = src[1];
                    out[2] = src[0];
                }
            },
            scratch);
    }
    return true;
}

bool compress_and_write(PngWriterContext* c) {
    std::u16string saved;
    const bool status = c->settings.status_window && c->status_text;
    if (status) {
        if (c->status_get) saved = c->status_get(c->settings.status_window);
        if (saved.size() > 260) saved.resize(260);
        c->status_text(c->settings.status_window, u"compress...");
    }
    bool ok = false;
    z_stream stream = z_stream();
    stream.zalloc = zlib_alloc;
    stream.zfree = zlib_free;
    const int strategy = c->state.colour_type == 3 ? Z_DEFAULT_STRATEGY : Z_FILTERED;
    if (deflateInit2(&stream, c->settings.level, Z_DEFLATED, 15, 9, strategy) != Z_OK) {
        set_codec_error(c, kCodecDeflateFailed);
    } else {
        const uLong bound = deflateBound(&stream, static_cast<uLong>(c->filtered_bytes));
        WorkBuffer out(static_cast<uint8_t*>(std::malloc(bound)));
        if (!out) {
            deflateEnd(&stream);
            set_codec_error(c, kCodecNoMemory);
        } else {
            stream.next_in = c->filtered_data.get();
            stream.avail_in = static_cast<uInt>(c->filtered_bytes);
            stream.next_out = out.get();
            stream.avail_out = static_cast<uInt>(bound);
            if (deflate(&stream, Z_FINISH) != Z_STREAM_END) {
                deflateEnd(&stream);
                set_codec_error(c, kCodecDeflateFailed);
            } else {
                const uint32_t produced = static_cast<uint32_t>(stream.total_out);
                if (deflateEnd(&stream) != Z_OK) {
                    set_codec_error(c, kCodecDeflateFailed);
                } else {
                    ok = write_chunk(c, "IDAT", out.get(), produced);
                }
            }
        }
    }
    if (status) c->status_text(c->settings.status_window, saved.c_str());
    return ok;
}

void free_filtered(PngWriterContext* c) {
    c->filtered_data.reset();
    for (uint8_t*& b : c->row_buffers) b = nullptr;
}

}  // namespace

int png_adaptive_score(const uint8_t* row, int32_t row_bytes) {
    int score = 0;
    for (int32_t i = 1; i < row_bytes; ++i) {
        const uint8_t v = row[i];
        if (v == row[i - 1] && (v <= 3 || v >= 252)) ++score;
    }
    return score;
}

void PngWriterContext::free_format_buffers() {
    free_filtered(this);
}

void png_writer_reset(PngWriterContext* context) {
    reset_codec_handles(context);
    context->in_memory = 0;
    context->state = {};
    context->settings = {};
    context->filtered_data.reset();
}

int32_t png_writer_setup(PngWriterContext* context) {
    PngWriterContext* c = context;
    switch (c->conversion.target_bits) {
        case 1:
        case 2:
        case 4:
        case 8:
            c->state.bit_depth = c->conversion.target_bits;
            c->state.colour_type = c->state.grey ? 0 : 3;
            c->state.bytes_per_pixel = 1;
            break;
        case 24:
            c->state.bit_depth = 8;
            c->state.colour_type = 2;
            c->state.bytes_per_pixel = 3;
            break;
        case 48:
            c->state.bit_depth = 16;
            c->state.colour_type = 2;
            c->state.bytes_per_pixel = 6;
            break;
        default: set_codec_error(c, kCodecSaveFailed); return 0;
    }
    if (c->state.colour_type == 3) {
        c->choose_filter = choose_fixed;
    } else if (c->settings.filter_mode == 0) {
        c->choose_filter = choose_adaptive;
    } else if (c->settings.filter_mode >= 1 && c->settings.filter_mode <= 5) {
        c->choose_filter = choose_fixed;
    } else {
        set_codec_error(c, kCodecSaveFailed);
        return 0;
    }
    // The encoders size their temporaries from the row sizes; a caller that forgot them must
    // not make them write through stale values.
    compute_row_sizes(&c->conversion);
    if (c->conversion.width < 1 || c->conversion.height < 1 || c->conversion.size_overflow) {
        set_codec_error(c, kCodecSaveFailed);
        return 0;
    }
    int64_t largest = 0;
    int64_t total = 0;
    if (!c->state.interlace) {
        largest = png_row_bytes(c, c->conversion.width);
        total = largest * c->conversion.height;
    } else {
        const PngPassSizes s = png_adam7_pass_sizes(c, c->conversion.width, c->conversion.height);
        for (int p = 0; p < 7; ++p) {
            c->pass_row_bytes[p] = s.row_bytes[p];
            c->pass_columns[p] = s.columns[p];
            c->pass_rows[p] = s.rows[p];
            total += static_cast<int64_t>(s.row_bytes[p]) * s.rows[p];
            if (s.row_bytes[p] > largest) largest = s.row_bytes[p];
        }
    }
    if (total + 6 * largest > kMaxImageBytes) {
        set_codec_error(c, kCodecSaveFailed);
        return 0;
    }
    c->filtered_bytes = static_cast<uint64_t>(total);
    return static_cast<int32_t>(largest);
}

bool write_png_file(const std::u16string& path, PngWriterContext* context, RgbQuad* palette,
                    const uint8_t* pixels) {
    PngWriterContext* c = context;
    if (!c->output_file.create(path)) {
        set_codec_error(c, kCodecCreateFailed);
        return false;
    }
    c->palette = palette;
    c->pixels = pixels;
    const int32_t largest = png_writer_setup(c);
    if (largest == 0) return false;

    uint8_t ihdr[13];
    put32(ihdr, static_cast<uint32_t>(c->conversion.width));
    put32(ihdr + 4, static_cast<uint32_t>(c->conversion.height));
    ihdr[8] = static_cast<uint8_t>(c->state.bit_depth);
    ihdr[9] = static_cast<uint8_t>(c->state.colour_type);
    ihdr[10] = 0;
    ihdr[11] = 0;
    ihdr[12] = c->state.interlace;
    if (!write_output(c, kSignature, 8) || !write_chunk(c, "IHDR", ihdr, 13)) return false;
    if (c->settings.gamma > 0) {
        uint8_t g[4];
        put32(g, static_cast<uint32_t>(100000000.0 / c->settings.gamma + 0.5));
        if (!write_chunk(c, "gAMA", g, 4)) return false;
    }
    if (c->settings.horizontal_resolution != 0 && c->settings.vertical_resolution != 0) {
        uint8_t p[9];
        put32(p, static_cast<uint32_t>(c->settings.horizontal_resolution));
        put32(p + 4, static_cast<uint32_t>(c->settings.vertical_resolution));
        p[8] = 1;
        if (!write_chunk(c, "pHYs", p, 9)) return false;
    }

    free_filtered(c);
    c->filtered_data.reset(static_cast<uint8_t*>(
        std::calloc(static_cast<size_t>(c->filtered_bytes) + 6 * static_cast<size_t>(largest), 1)));
    // A full-width row (and, for packed interlaced rows, a second one) to gather pass rows from.
    const int64_t scratch_bytes =
        2 * (static_cast<int64_t>(c->conversion.width) * c->state.bytes_per_pixel + 8);
    WorkBuffer scratch(static_cast<uint8_t*>(std::calloc(static_cast<size_t>(scratch_bytes), 1)));
    if (!c->filtered_data || !scratch) {
        free_filtered(c);
        set_codec_error(c, kCodecNoMemory);
        return false;
    }
    for (int i = 0; i < 6; ++i)
        c->row_buffers[i] = c->filtered_data.get() + c->filtered_bytes + static_cast<size_t>(i) * largest;

    RowSink sink{c, c->filtered_data.get()};
    bool ok;
    if (c->state.colour_type == 3)
        ok = encode_palette(c, palette, pixels, scratch.get(), &sink);
    else if (c->state.colour_type == 0)
        ok = encode_grey(c, palette, pixels, scratch.get(), &sink);
    else
        ok = encode_colour(c, palette, pixels, scratch.get(), &sink);
    if (!ok || !compress_and_write(c)) return false;
    if (c->settings.comment && !png_write_comment_chunk(c, c->settings.comment)) return false;
    if (!write_chunk(c, "IEND", nullptr, 0)) return false;
    return !c->output_failed;
}

void png_writer_release(PngWriterContext* context) {
    png_writer_release_global(context);
}

void png_writer_release_global(PngWriterContext* context) {
    free_filtered(context);
    close_codec_files(context);
}
