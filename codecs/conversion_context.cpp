#include "codecs/conversion_context.h"

#include <cstdlib>
#include <cstring>

#include "common/stride.h"

ConversionContext* init_conversion_context(ConversionContext* context) {
    context->dither_mode = kDitherDiv16;
    context->width = 0;
    context->height = 0;
    context->source_bits = 0;
    context->target_bits = 0;
    context->squares_centre = nullptr;
    context->size_overflow = false;
    context->work_pixels = nullptr;
    context->work_buffer = nullptr;
    return context;
}

static int64_t row_bytes_for_depth(int64_t width, int32_t bits) {
    switch (bits) {
        case 1: return (width + 7) / 8;
        case 2: return (width + 3) / 4;
        case 4: return (width + 1) / 2;
        case 8: return width;
        case 24: return 3 * width;
        case 48: return 6 * width;
        default: return 4 * width;
    }
}

int64_t stride_for_depth(int64_t width, int32_t bits) {
    if (width < 0) return -1;
    int64_t row = row_bytes_for_depth(width, bits);
    int64_t stride = (bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 24)
                         ? row_stride_bytes(width, bits)
                         : row;
    return stride > kMaxImageBytes ? -1 : stride;
}

ConversionContext* compute_row_sizes(ConversionContext* context) {
    const int64_t w = context->width;
    const int64_t h = context->height;
    const int64_t stride = stride_for_depth(w, context->target_bits);
    const int64_t row = w >= 0 ? row_bytes_for_depth(w, context->target_bits) : -1;
    const int64_t image = (stride < 0 || h < 0) ? -1 : stride * h;
    if (stride < 0 || row < 0 || h < 0 || image > kMaxImageBytes) {
        context->size_overflow = true;
        context->row_bytes = 0;
        context->stride = 0;
        context->image_bytes = 0;
        return context;
    }
    context->size_overflow = false;
    context->row_bytes = static_cast<int32_t>(row);
    context->stride = static_cast<int32_t>(stride);
    context->image_bytes = static_cast<int32_t>(image);
    return context;
}

uint8_t* alloc_work(int64_t bytes) {
    if (bytes < 0 || bytes > kMaxImageBytes) return nullptr;
    return static_cast<uint8_t*>(std::calloc(1, bytes ? static_cast<size_t>(bytes) : 1));
}

void free_work(void* block) {
    std::free(block);
}

void setup_diffusion(ConversionContext* c) {
    uint8_t* clamp = c->clamp_table + kDiffusionErrorRange;
    for (int i = -255; i <= 510; ++i) clamp[i] = static_cast<uint8_t>(i < 0 ? 0 : (i > 255 ? 255 : i));
    static const int kWeights[4] = {1, 3, 5, 7};
    c->diffusing = c->dither_mode >= 0 && c->dither_mode <= 2;
    if (!c->diffusing) return;
    for (int k = 0; k < 4; ++k) {
        int32_t* t = c->weight_tables[k] + kDiffusionErrorRange;
        for (int e = -255; e <= 255; ++e) {
            const int32_t v = kWeights[k] * e;
            // Shifts of negative values round towards minus infinity; the division of mode 1
            // truncates towards zero. Both are part of the expected output.
            switch (c->dither_mode) {
                case kDitherDiv16: t[e] = v >> 4; break;
                case kDitherDiv24: t[e] = v / 24; break;
                default: t[e] = v >> 5; break;
            }
        }
    }
}

const int32_t* ensure_squares(ConversionContext* c) {
    if (!c->squares_centre) {
        for (int i = -255; i <= 255; ++i) c->squares[i + kDiffusionErrorRange] = i * i;
        c->squares_centre = c->squares + kDiffusionErrorRange;
    }
    return c->squares_centre;
}

namespace {

// Each product is shifted on its own before the sum, which is part of the grey rule.
struct GreyTables {
    uint8_t red[256], green[256], blue[256];
    GreyTables() {
        for (int v = 0; v < 256; ++v) {
            red[v] = static_cast<uint8_t>((306 * v) >> 10);
            green[v] = static_cast<uint8_t>((603 * v) >> 10);
            blue[v] = static_cast<uint8_t>((117 * v) >> 10);
        }
    }
};

// Built once, race-free, whichever thread converts first.
const GreyTables& grey_tables() {
    static const GreyTables tables;
    return tables;
}

}  // namespace

uint8_t grey_of_bgr(uint8_t blue, uint8_t green, uint8_t red) {
    const GreyTables& t = grey_tables();
    return static_cast<uint8_t>(t.red[red] + t.blue[blue] + t.green[green]);
}

uint8_t grey_of_entry(const RgbQuad& e) {
    return static_cast<uint8_t>((117 * e.blue + 603 * e.green + 306 * e.red) >> 10);
}

void grey_rows(const ConversionContext* c, const RgbQuad* palette, const uint8_t* src, uint8_t* out,
               int64_t out_stride) {
    const int64_t src_stride = stride_for_depth(c->width, c->source_bits);
    if (c->source_bits == 8) {
        uint8_t lut[256];
        for (int i = 0; i < 256; ++i) lut[i] = grey_of_entry(palette[i]);
        for (int32_t y = 0; y < c->height; ++y) {
            const uint8_t* s = src + y * src_stride;
            uint8_t* d = out + y * out_stride;
            for (int32_t x = 0; x < c->width; ++x) d[x] = lut[s[x]];
        }
    } else {
        for (int32_t y = 0; y < c->height; ++y) {
            const uint8_t* s = src + y * src_stride;
            uint8_t* d = out + y * out_stride;
            for (int32_t x = 0; x < c->width; ++x, s += 3) d[x] = grey_of_bgr(s[0], s[1], s[2]);
        }
    }
}

uint8_t* make_grey_work_copy(const ConversionContext* c, const RgbQuad* palette, const uint8_t* src) {
    const int64_t bytes = static_cast<int64_t>(c->width) * c->height;
    if (c->width < 0 || c->height < 0 || stride_for_depth(c->width, c->source_bits) < 0) return nullptr;
    uint8_t* grey = alloc_work(bytes);
    if (!grey) return nullptr;
    grey_rows(c, palette, src, grey, c->width);
    return grey;
}

uint8_t* make_bgr_work_copy(ConversionContext* c, const RgbQuad* palette, const uint8_t* src) {
    const int64_t stride = stride_for_depth(c->width, 24);
    const int64_t src_stride = stride_for_depth(c->width, c->source_bits);
    if (stride < 0 || src_stride < 0 || c->height < 0 || stride * c->height > kMaxImageBytes) return nullptr;
    uint8_t* work = alloc_work(stride * c->height);
    if (!work) return nullptr;
    c->work_stride = static_cast<int32_t>(stride);
    for (int32_t y = 0; y < c->height; ++y) {
        const uint8_t* s = src + y * src_stride;
        uint8_t* d = work + y * stride;
        if (c->source_bits == 8) {
            for (int32_t x = 0; x < c->width; ++x, d += 3) {
                const RgbQuad& e = palette[s[x]];
                d[0] = e.blue;
                d[1] = e.green;
                d[2] = e.red;
            }
        } else {
            std::memcpy(d, s, static_cast<size_t>(3) * c->width);
        }
    }
    return work;
}
