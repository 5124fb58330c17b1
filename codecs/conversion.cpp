#include "codecs/conversion.h"

#include <cstring>

#include "codecs/palette.h"
#include "common/stride.h"

bool convert_to_8bit_grey(ConversionContext* c, const RgbQuad* palette, const uint8_t* src, uint8_t* dst) {
    if (c->target_bits != 8 || (c->source_bits != 8 && c->source_bits != 24)) return false;
    if (c->width < 0 || c->height < 0 || stride_for_depth(c->width, c->source_bits) < 0 ||
        static_cast<int64_t>(c->width) * c->height > kMaxImageBytes)
        return false;
    grey_rows(c, palette, src, dst, c->width);
    return true;
}

namespace {

// 1-bit reduction of an 8- or 24-bit source through a grey work copy.
bool reduce_to_1bit(ConversionContext* c) {
    uint8_t* grey = make_grey_work_copy(c, c->source_palette, c->source_pixels);
    if (!grey) return false;
    c->work_pixels = grey;
    RgbQuad* pal = c->target_palette;
    if (pal) {
        pal[0].blue = pal[0].green = pal[0].red = 0;
        pal[1].blue = pal[1].green = pal[1].red = 255;
    }
    uint8_t* dst = c->target_pixels;
    const int32_t stride = c->stride;
    for (int32_t y = 0; y < c->height; ++y)
        std::memset(dst + static_cast<int64_t>(y) * stride, 0, c->row_bytes);
    diffuse_grey_threshold(c, grey, [dst, stride](int32_t x, int32_t y, int bit) {
        if (bit) dst[static_cast<int64_t>(y) * stride + (x >> 3)] |= static_cast<uint8_t>(0x80 >> (x & 7));
    });
    free_work(grey);
    c->work_pixels = nullptr;
    return true;
}

void expand_indexed(ConversionContext* c, int bits, const RgbQuad* palette, const uint8_t* src, uint8_t* dst,
                    bool to_24) {
    const int64_t src_stride = stride_for_depth(c->width, bits);
    const int mask = (1 << bits) - 1;
    const int per_byte = 8 / bits;
    for (int32_t y = 0; y < c->height; ++y) {
        const uint8_t* s = src + y * src_stride;
        uint8_t* d = dst + static_cast<int64_t>(y) * c->stride;
        for (int32_t x = 0; x < c->width; ++x) {
            const int shift = 8 - bits * (x % per_byte + 1);
            const int index = (s[x / per_byte] >> shift) & mask;
            if (to_24) {
                const RgbQuad& e = palette[index];
                *d++ = e.blue;
                *d++ = e.green;
                *d++ = e.red;
            } else {
                *d++ = static_cast<uint8_t>(index);
            }
        }
    }
}

}  // namespace

bool convert_pixel_depth(RgbQuad* target_palette, uint8_t* target_pixels, ConversionContext* c,
                         RgbQuad* source_palette, const uint8_t* source_pixels) {
    c->target_palette = target_palette;
    c->target_pixels = target_pixels;
    c->source_palette = source_palette;
    c->source_pixels = source_pixels;
    if (c->size_overflow || c->width < 0 || c->height < 0) return false;
    const int64_t src_stride = stride_for_depth(c->width, c->source_bits);
    if (src_stride < 0 || src_stride * c->height > kMaxImageBytes) return false;

    const int s = c->source_bits;
    const int t = c->target_bits;
    auto copy_palette = [&](int entries) {
        if (target_palette && source_palette)
            std::memcpy(target_palette, source_palette, sizeof(RgbQuad) * entries);
    };

    if ((s == 1 || s == 4) && t == 8) {
        copy_palette(s == 1 ? 2 : 16);
        expand_indexed(c, s, source_palette, source_pixels, target_pixels, false);
        return true;
    }
    if (s == 2 && t == 8) {
        expand_indexed(c, 2, source_palette, source_pixels, target_pixels, false);
        return true;
    }
    if ((s == 1 || s == 4 || s == 8) && t == 24) {
        if (s == 8) {
            for (int32_t y = 0; y < c->height; ++y) {
                const uint8_t* sp = source_pixels + y * src_stride;
                uint8_t* d = target_pixels + static_cast<int64_t>(y) * c->stride;
                for (int32_t x = 0; x < c->width; ++x) {
                    const RgbQuad& e = source_palette[sp[x]];
                    *d++ = e.blue;
                    *d++ = e.green;
                    *d++ = e.red;
                }
            }
        } else {
            expand_indexed(c, s, source_palette, source_pixels, target_pixels, true);
        }
        return true;
    }
    if (s == 8 && t == 8) {
        copy_palette(256);
        std::memcpy(target_pixels, source_pixels, static_cast<size_t>(c->image_bytes));
        return true;
    }
    if (s == 24 && t == 24) {
        std::memcpy(target_pixels, source_pixels, static_cast<size_t>(c->image_bytes));
        return true;
    }
    if ((s == 8 || s == 24) && t == 1) {
        setup_diffusion(c);
        return reduce_to_1bit(c);
    }
    if ((s == 8 && (t == 2 || t == 4)) || (s == 24 && (t == 2 || t == 4 || t == 8))) {
        setup_diffusion(c);
        return reduce_to_palette(c);
    }
    if (s == 24 && t == 48) {
        for (int32_t y = 0; y < c->height; ++y) {
            const uint8_t* sp = source_pixels + y * src_stride;
            uint8_t* d = target_pixels + static_cast<int64_t>(y) * c->stride;
            for (int32_t i = 0; i < 3 * c->width; ++i) d[2 * i + 1] = sp[i];
        }
        return true;
    }
    if (s == 48 && t == 24) {
        for (int32_t y = 0; y < c->height; ++y) {
            const uint8_t* sp = source_pixels + y * src_stride;
            uint8_t* d = target_pixels + static_cast<int64_t>(y) * c->stride;
            for (int32_t i = 0; i < 3 * c->width; ++i) d[i] = sp[2 * i + 1];
        }
        return true;
    }
    return false;
}
