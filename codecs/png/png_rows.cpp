// Unfiltering, Adam7 and the row converters of the PNG reader.
//
// Each converter undoes one filter type for one file layout and writes the pixels in the same
// loop, so a row is touched once. 16-bit samples only have their high bytes unfiltered: every
// filter works on each byte position independently and the low bytes are never kept.
#include <zlib.h>

#include <cstdlib>
#include <cstring>

#include "codecs/pixel_memory.h"
#include "codecs/png/png.h"
#include "common/stride.h"

const int32_t kAdam7ColumnStart[7] = {0, 4, 0, 2, 0, 1, 0};
const int32_t kAdam7RowStart[7] = {0, 0, 4, 0, 2, 0, 1};
const int32_t kAdam7ColumnStep[7] = {8, 8, 4, 4, 2, 2, 1};
const int32_t kAdam7RowStep[7] = {8, 8, 8, 4, 4, 2, 2};

uint8_t paeth_predictor(uint8_t a, uint8_t b, uint8_t c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    if (pb <= pc) return b;
    return c;
}

namespace {

enum Filter { kNone = 0, kSub = 1, kUp = 2, kAverage = 3, kPaeth = 4 };

// Undoes one filter over n bytes of a row in place (n is a multiple of kBpp); the distance to
// the byte on the left is kBpp, a compile-time constant. The left pixel and the one above-left
// are carried in locals: reloading a byte just stored would put store forwarding on the
// dependency chain of every byte.
template <int F, int kBpp>
inline void unfilter_row(uint8_t* cur, const uint8_t* prev, int32_t n) {
    if constexpr (F == kNone) {
        (void)cur;
        (void)prev;
        (void)n;
    } else if constexpr (F == kUp) {
        for (int32_t i = 0; i < n; ++i) cur[i] = static_cast<uint8_t>(cur[i] + prev[i]);
    } else {
        if (n < kBpp) return;
        int left[kBpp];
        int above_left[kBpp];
        for (int k = 0; k < kBpp; ++k) {
            // First pixel: a = c = 0, so Sub adds nothing, Average adds b / 2 and Paeth adds b.
            int v = cur[k];
            if constexpr (F == kAverage) v += prev[k] >> 1;
            if constexpr (F == kPaeth) v += prev[k];
            left[k] = v & 0xFF;
            cur[k] = static_cast<uint8_t>(v);
            above_left[k] = prev[k];
        }
        for (int32_t i = kBpp; i < n; i += kBpp) {
            for (int k = 0; k < kBpp; ++k) {
                const int x = cur[i + k];
                int v;
                if constexpr (F == kSub) {
                    v = x + left[k];
                } else if constexpr (F == kAverage) {
                    v = x + ((left[k] + prev[i + k]) >> 1);
                } else {
                    const int a = left[k], b = prev[i + k], c = above_left[k];
                    // The predictor without branches: distances of p = a + b - c to a, b, c.
                    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
                    v = x + ((pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c));
                    above_left[k] = b;
                }
                left[k] = v & 0xFF;
                cur[i + k] = static_cast<uint8_t>(v);
            }
        }
    }
}

// Whole-byte layouts: kChannels kept samples of kSample bytes each (1 or 2, big-endian; only
// the high byte is kept). None and Up have no dependency along the row: the row is unfiltered
// in one pass and written out in another. Sub, Average and Paeth depend on the pixel to the
// left, so their values stay in locals and each pixel is written as soon as it is known; only
// the kept bytes are unfiltered, which is all the next row needs.
template <int kChannels, int kSample>
inline void emit_pixel(const int* v, uint8_t* d, uint8_t* alpha) {
    if constexpr (kChannels >= 3) {
        d[0] = static_cast<uint8_t>(v[2]);
        d[1] = static_cast<uint8_t>(v[1]);
        d[2] = static_cast<uint8_t>(v[0]);
    } else {
        d[0] = static_cast<uint8_t>(v[0]);
    }
    if constexpr (kChannels == 2 || kChannels == 4) *alpha = static_cast<uint8_t>(v[kChannels - 1]);
}

template <int kChannels, int kSample, int F>
void convert_row(PngContext* context, uint8_t* destination) {
    constexpr int kBpp = kChannels * kSample;
    uint8_t* cur = context->state.current_row + 1;
    const uint8_t* prev = context->state.previous_row + 1;
    const int32_t n = context->state.row_pixels;
    const int32_t step = context->state.pixel_step;
    const int32_t dstep = kChannels >= 3 ? context->state.destination_step : step;
    uint8_t* d = destination;
    uint8_t* alpha = context->state.alpha_row;
    // Layouts without alpha have no alpha plane: their alpha pointer is never moved.
    constexpr int32_t kHasAlpha = (kChannels == 2 || kChannels == 4) ? 1 : 0;
    const int32_t astep = kHasAlpha * step;
    int v[kChannels];
    if constexpr (F == kNone || F == kUp) {
        unfilter_row<F, kBpp>(cur, prev, n * kBpp);
        const uint8_t* p = cur;
        for (int32_t x = 0; x < n; ++x, p += kBpp, d += dstep, alpha += astep) {
            for (int j = 0; j < kChannels; ++j) v[j] = p[j * kSample];
            emit_pixel<kChannels, kSample>(v, d, alpha);
        }
    } else {
        if (n == 0) return;
        int above_left[kChannels];
        // First pixel: a = c = 0, so Sub adds nothing, Average adds b / 2 and Paeth adds b.
        for (int j = 0; j < kChannels; ++j) {
            const int o = j * kSample;
            int value = cur[o];
            if constexpr (F == kAverage) value += prev[o] >> 1;
            if constexpr (F == kPaeth) value += prev[o];
            v[j] = value & 0xFF;
            cur[o] = static_cast<uint8_t>(value);
            above_left[j] = prev[o];
        }
        emit_pixel<kChannels, kSample>(v, d, alpha);
        uint8_t* p = cur;
        const uint8_t* q = prev;
        for (int32_t x = 1; x < n; ++x) {
            p += kBpp;
            q += kBpp;
            d += dstep;
            alpha += astep;
            for (int j = 0; j < kChannels; ++j) {
                const int o = j * kSample;
                const int raw = p[o];
                int value;
                if constexpr (F == kSub) {
                    value = raw + v[j];
                } else if constexpr (F == kAverage) {
                    value = raw + ((v[j] + q[o]) >> 1);
                } else {
                    const int a = v[j], b = q[o], c = above_left[j];
                    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
                    value = raw + ((pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c));
                    above_left[j] = b;
                }
                v[j] = value & 0xFF;
                p[o] = static_cast<uint8_t>(value);
            }
            emit_pixel<kChannels, kSample>(v, d, alpha);
        }
    }
}

template <int kBits>
void unpack_whole(PngContext* context, uint8_t** destination, uint8_t data) {
    constexpr int kMask = (1 << kBits) - 1;
    uint8_t* d = *destination;
    const int32_t step = context->state.pixel_step;
    for (int k = 0; k < 8 / kBits; ++k) {
        *d = static_cast<uint8_t>((data >> (8 - kBits * (k + 1))) & kMask);
        d += step;
    }
    *destination = d;
}

template <int kBits>
void unpack_last(PngContext* context, uint8_t** destination, uint8_t data) {
    constexpr int kMask = (1 << kBits) - 1;
    uint8_t* d = *destination;
    const int32_t step = context->state.pixel_step;
    for (int k = 0; k < context->state.last_byte_pixels; ++k) {
        *d = static_cast<uint8_t>((data >> (8 - kBits * (k + 1))) & kMask);
        d += step;
    }
    *destination = d;
}

// Packed layouts (1, 2, 4 bits): the filter distance is one byte.
template <int F>
void convert_packed_row(PngContext* context, uint8_t* destination) {
    uint8_t* cur = context->state.current_row + 1;
    const int32_t n = context->state.inflated_row_bytes - 1;
    unfilter_row<F, 1>(cur, context->state.previous_row + 1, n);
    uint8_t* d = destination;
    const int32_t whole = context->state.last_byte_pixels != 0 ? n - 1 : n;
    for (int32_t i = 0; i < whole; ++i) context->state.unpack_whole(context, &d, cur[i]);
    if (whole < n) context->state.unpack_last(context, &d, cur[n - 1]);
}

template <int kChannels, int kSample>
void set_converters(PngContext* context) {
    context->state.converters[kNone] = convert_row<kChannels, kSample, kNone>;
    context->state.converters[kSub] = convert_row<kChannels, kSample, kSub>;
    context->state.converters[kUp] = convert_row<kChannels, kSample, kUp>;
    context->state.converters[kAverage] = convert_row<kChannels, kSample, kAverage>;
    context->state.converters[kPaeth] = convert_row<kChannels, kSample, kPaeth>;
}

template <int kBits>
void set_packed_converters(PngContext* context) {
    context->state.converters[kNone] = convert_packed_row<kNone>;
    context->state.converters[kSub] = convert_packed_row<kSub>;
    context->state.converters[kUp] = convert_packed_row<kUp>;
    context->state.converters[kAverage] = convert_packed_row<kAverage>;
    context->state.converters[kPaeth] = convert_packed_row<kPaeth>;
    context->state.unpack_whole = unpack_whole<kBits>;
    context->state.unpack_last = unpack_last<kBits>;
}

int32_t last_byte_pixels(int32_t bit_depth, int32_t pixels) {
    switch (bit_depth) {
        case 1: return pixels % 8;
        case 2: return pixels % 4;
        case 4: return pixels % 2;
        default: return 0;
    }
}

voidpf zlib_alloc(voidpf, uInt items, uInt size) {
    return std::calloc(items, size);
}
void zlib_free(voidpf, voidpf address) {
    std::free(address);
}

bool begin_stream(PngContext* context, z_stream* stream) {
    *stream = z_stream();
    stream->zalloc = zlib_alloc;
    stream->zfree = zlib_free;
    if (inflateInit(stream) != Z_OK) {
        set_codec_error(context, kCodecInflateFailed);
        return false;
    }
    stream->next_in = const_cast<Bytef*>(context->state.compressed_data);
    stream->avail_in = context->state.compressed_bytes;
    return true;
}

// Inflates one row into the current row buffer and converts it. Returns false when decoding
// ends (stream end, corrupt or short data); `finished` tells whether the row was converted.
bool inflate_one_row(PngContext* context, z_stream* stream, uint8_t* destination, bool* converted) {
    stream->next_out = context->state.current_row;
    stream->avail_out = static_cast<uInt>(context->state.inflated_row_bytes);
    const int result = inflate(stream, Z_NO_FLUSH);
    *converted = false;
    if ((result != Z_OK && result != Z_STREAM_END) || stream->avail_out != 0) {
        // A row that did not fill would be converted from stale bytes: stop before it.
        set_codec_error(context, kCodecInflateFailed);
        return false;
    }
    const uint8_t type = context->state.current_row[0];
    context->state.converters[type <= 4 ? type : 0](context, destination);
    *converted = true;
    uint8_t* t = context->state.previous_row;
    context->state.previous_row = context->state.current_row;
    context->state.current_row = t;
    return result == Z_OK;
}

void end_rows(PngContext* context, z_stream* stream) {
    context->state.current_row = nullptr;
    context->state.previous_row = nullptr;
    inflateEnd(stream);
}

}  // namespace

int64_t png_row_bytes(const PngContext* context, int64_t pixels) {
    switch (context->state.bit_depth) {
        case 1: return (pixels + 7) / 8 + 1;
        case 2: return (pixels + 3) / 4 + 1;
        case 4: return (pixels + 1) / 2 + 1;
        default: return pixels * context->state.bytes_per_pixel + 1;
    }
}

PngPassSizes png_adam7_pass_sizes(const PngContext* context, int32_t width, int32_t height) {
    PngPassSizes s = {};
    for (int p = 0; p < 7; ++p) {
        const int64_t cols = (static_cast<int64_t>(width) + kAdam7ColumnStep[p] - kAdam7ColumnStart[p] - 1) /
                             kAdam7ColumnStep[p];
        const int64_t rows =
            (static_cast<int64_t>(height) + kAdam7RowStep[p] - kAdam7RowStart[p] - 1) / kAdam7RowStep[p];
        s.columns[p] = static_cast<int32_t>(cols > 0 ? cols : 0);
        s.rows[p] = static_cast<int32_t>(rows > 0 ? rows : 0);
        s.row_bytes[p] = (s.columns[p] == 0 || s.rows[p] == 0)
                             ? 0
                             : static_cast<int32_t>(png_row_bytes(context, s.columns[p]));
    }
    return s;
}

bool png_choose_converters(PngContext* context) {
    PngContext* c = context;
    c->state.bytes_per_sample = c->state.bit_depth / 8;
    c->state.grey = (c->state.colour_type & 2) ? 0 : 1;
    c->state.alpha = (c->state.colour_type & 4) ? 1 : 0;
    const int32_t ct = c->state.colour_type;
    const int32_t w = c->conversion.width;
    const int32_t stride8 = static_cast<int32_t>(row_stride_bytes(w, 8));
    const int32_t stride24 = static_cast<int32_t>(row_stride_bytes(w, 24));
    switch (c->state.bit_depth) {
        case 1:
        case 2:
        case 4:
        case 8:
            if (ct == 0 || ct == 3) {
                c->state.bytes_per_pixel = 1;
                c->state.output_bits = 8;
                c->state.output_stride = stride8;
                if (c->state.bit_depth == 1) set_packed_converters<1>(c);
                if (c->state.bit_depth == 2) set_packed_converters<2>(c);
                if (c->state.bit_depth == 4) set_packed_converters<4>(c);
                if (c->state.bit_depth == 8) set_converters<1, 1>(c);
                break;
            }
            if (c->state.bit_depth != 8) {
                set_codec_error(c, kCodecPngIhdrColourType);
                return false;
            }
            if (ct == 4) {
                c->state.bytes_per_pixel = 2;
                c->state.output_bits = 8;
                c->state.output_stride = stride8;
                set_converters<2, 1>(c);
            } else if (ct == 2) {
                c->state.bytes_per_pixel = 3;
                c->state.output_bits = 24;
                c->state.output_stride = stride24;
                set_converters<3, 1>(c);
            } else if (ct == 6) {
                c->state.bytes_per_pixel = 4;
                c->state.output_bits = 24;
                c->state.output_stride = stride24;
                set_converters<4, 1>(c);
            } else {
                set_codec_error(c, kCodecPngIhdrColourType);
                return false;
            }
            break;
        case 16:
            if (ct == 0) {
                c->state.bytes_per_pixel = 2;
                c->state.output_bits = 8;
                c->state.output_stride = stride8;
                set_converters<1, 2>(c);
            } else if (ct == 4) {
                c->state.bytes_per_pixel = 4;
                c->state.output_bits = 8;
                c->state.output_stride = stride8;
                set_converters<2, 2>(c);
            } else if (ct == 2) {
                c->state.bytes_per_pixel = 6;
                c->state.output_bits = 24;
                c->state.output_stride = stride24;
                set_converters<3, 2>(c);
            } else if (ct == 6) {
                c->state.bytes_per_pixel = 8;
                c->state.output_bits = 24;
                c->state.output_stride = stride24;
                set_converters<4, 2>(c);
            } else {
                set_codec_error(c, kCodecPngIhdrColourType);
                return false;
            }
            break;
        default: set_codec_error(c, kCodecPngIhdrBitDepth); return false;
    }
    if (c->state.grey) {
        int step = 1;
        if (c->state.bit_depth == 1) step = 255;
        if (c->state.bit_depth == 2) step = 85;
        if (c->state.bit_depth == 4) step = 17;
        for (int v = 0, i = 0; v < 256; v += step, ++i) {
            RgbQuad& e = c->loaded.palette[i];
            e.blue = e.green = e.red = static_cast<uint8_t>(v);
        }
    }
    return true;
}

bool png_inflate_rows(PngContext* context) {
    PngContext* c = context;
    z_stream stream;
    if (!begin_stream(c, &stream)) return false;
    const int64_t r = png_row_bytes(c, c->conversion.width);
    const HeapBuffer owned(static_cast<uint8_t*>(std::calloc(2, static_cast<size_t>(r))));
    uint8_t* buffers = owned.get();
    if (!buffers) {
        inflateEnd(&stream);
        set_codec_error(c, kCodecNoMemory);
        return false;
    }
    c->state.current_row = buffers;
    c->state.previous_row = buffers + r;
    c->state.inflated_row_bytes = static_cast<int32_t>(r);
    c->state.row_pixels = c->conversion.width;
    c->state.pixel_step = 1;
    c->state.destination_step = 3;
    c->state.last_byte_pixels = last_byte_pixels(c->state.bit_depth, c->conversion.width);
    const int64_t h = c->conversion.height;
    uint8_t* destination = c->state.image_buffer.get() + (h - 1) * c->state.output_stride;
    uint8_t* alpha =
        c->state.alpha_plane ? c->state.alpha_plane.get() + (h - 1) * c->conversion.width : nullptr;
    for (int64_t y = 0; y < h; ++y) {
        c->state.alpha_row = alpha;
        bool converted = false;
        const bool more = inflate_one_row(c, &stream, destination, &converted);
        if (!more) {
            if (converted && y != h - 1) set_codec_error(c, kCodecInflateFailed);
            break;
        }
        destination -= c->state.output_stride;
        if (alpha) alpha -= c->conversion.width;
    }
    end_rows(c, &stream);
    return true;
}

bool png_inflate_rows_interlaced(PngContext* context) {
    PngContext* c = context;
    z_stream stream;
    if (!begin_stream(c, &stream)) return false;
    const int64_t full = png_row_bytes(c, c->conversion.width);
    const HeapBuffer owned(static_cast<uint8_t*>(std::calloc(2, static_cast<size_t>(full))));
    uint8_t* buffers = owned.get();
    if (!buffers) {
        inflateEnd(&stream);
        set_codec_error(c, kCodecNoMemory);
        return false;
    }
    const PngPassSizes sizes = png_adam7_pass_sizes(c, c->conversion.width, c->conversion.height);
    const int64_t h = c->conversion.height;
    const int32_t pixel_bytes = c->state.output_bits == 24 ? 3 : 1;
    bool going = true;
    for (int p = 0; p < 7 && going; ++p) {
        if (sizes.row_bytes[p] == 0) continue;
        std::memset(buffers, 0, static_cast<size_t>(2 * full));
        c->state.current_row = buffers;
        c->state.previous_row = buffers + full;
        c->state.inflated_row_bytes = sizes.row_bytes[p];
        c->state.row_pixels = sizes.columns[p];
        c->state.pixel_step = kAdam7ColumnStep[p];
        c->state.destination_step = 3 * kAdam7ColumnStep[p];
        c->state.last_byte_pixels = last_byte_pixels(c->state.bit_depth, sizes.columns[p]);
        const int64_t first = h - kAdam7RowStart[p] - 1;
        uint8_t* destination = c->state.image_buffer.get() + first * c->state.output_stride +
                               static_cast<int64_t>(kAdam7ColumnStart[p]) * pixel_bytes;
        uint8_t* alpha = c->state.alpha_plane
                             ? c->state.alpha_plane.get() + kAdam7ColumnStart[p] + first * c->conversion.width
                             : nullptr;
        for (int32_t row = 0; row < sizes.rows[p]; ++row) {
            c->state.alpha_row = alpha;
            bool converted = false;
            if (!inflate_one_row(c, &stream, destination, &converted)) {
                const bool last_row = row == sizes.rows[p] - 1;
                bool last_pass = true;
                for (int q = p + 1; q < 7; ++q) last_pass = last_pass && sizes.row_bytes[q] == 0;
                if (converted && !(last_row && last_pass)) set_codec_error(c, kCodecInflateFailed);
                going = false;
                break;
            }
            destination -= static_cast<int64_t>(kAdam7RowStep[p]) * c->state.output_stride;
            if (alpha) alpha -= static_cast<int64_t>(kAdam7RowStep[p]) * c->conversion.width;
        }
    }
    end_rows(c, &stream);
    return true;
}
