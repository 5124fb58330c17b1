// The state of colour-depth conversion (the record is part of every codec context and is also
// used on its own) and the building blocks that the depth conversion and the palette reduction
// share: row sizes, error-diffusion tables, grey values and work copies.
// Kept apart from conversion.h so that the palette code, which the depth conversion calls,
// needs nothing above it.
#pragma once

#include <cstdint>

#include "common/win_types.h"

enum DitherMode : int32_t {
    kDitherDiv16 = 0,
    kDitherDiv24 = 1,
    kDitherDiv32 = 2,
    kDitherNone = 3,  // any value other than 0-2 means no diffusion
};

// Tables addressed through their centres so that negative errors index them directly.
constexpr int kDiffusionErrorRange = 255;
constexpr int kDiffusionTableSize = 2 * kDiffusionErrorRange + 1;  // -255..255
constexpr int kDiffusionClampSize = 766;                           // -255..510

struct ConversionContext {
    RgbQuad* source_palette = nullptr;
    RgbQuad* target_palette = nullptr;
    const uint8_t* source_pixels = nullptr;
    uint8_t* target_pixels = nullptr;
    int32_t dither_mode = kDitherDiv16;
    int32_t row_bytes = 0;
    int32_t stride = 0;
    int32_t image_bytes = 0;
    int32_t work_stride = 0;
    uint8_t* work_pixels = nullptr;
    uint8_t* work_buffer = nullptr;
    int32_t squares[kDiffusionTableSize] = {};
    uint8_t clamp_table[kDiffusionClampSize] = {};
    int32_t weight_tables[4][kDiffusionTableSize] = {};  // weights 1, 3, 5, 7
    bool diffusing = false;                              // the position operations spread errors (modes 0-2)
    int32_t width = 0;
    int32_t height = 0;
    int32_t source_bits = 0;
    int32_t target_bits = 0;
    const int32_t* squares_centre = nullptr;
    // Set by compute_row_sizes when the sizes do not fit the 32-bit fields; every conversion
    // refuses such a context instead of computing with wrapped sizes.
    bool size_overflow = false;

    const int32_t* w1() const { return weight_tables[0] + kDiffusionErrorRange; }
    const int32_t* w3() const { return weight_tables[1] + kDiffusionErrorRange; }
    const int32_t* w5() const { return weight_tables[2] + kDiffusionErrorRange; }
    const int32_t* w7() const { return weight_tables[3] + kDiffusionErrorRange; }
    const uint8_t* clamp() const { return clamp_table + kDiffusionErrorRange; }

    virtual ~ConversionContext() = default;
};

ConversionContext* init_conversion_context(ConversionContext* context);

// Row bytes, stride and image bytes for the context's width, height and target bits.
ConversionContext* compute_row_sizes(ConversionContext* context);

// Bytes in one stored row at a depth: padded to 4 except for 48 and unknown depths.
// Returns -1 when the width is negative or the size does not fit 31 bits.
int64_t stride_for_depth(int64_t width, int32_t bits);

// Largest byte count any single pixel buffer may have.
constexpr int64_t kMaxImageBytes = 0x7FFFFFFF;

// Fills the clamp table and the weight tables for the context's DitherMode.
void setup_diffusion(ConversionContext* context);

// Fills the context's squares table on first need and returns its centre.
const int32_t* ensure_squares(ConversionContext* context);

// Grey value of a 24-bit pixel and of a palette entry, by the program's grey rule.
uint8_t grey_of_bgr(uint8_t blue, uint8_t green, uint8_t red);
uint8_t grey_of_entry(const RgbQuad& entry);

// The grey values of the source (8 or 24 bits) into rows `out_stride` (>= width) bytes apart.
void grey_rows(const ConversionContext* context, const RgbQuad* source_palette, const uint8_t* source_pixels,
               uint8_t* out, int64_t out_stride);

// Grey work copy of the source (8 or 24 bits) in rows of exactly width bytes; null when the
// allocation fails. Free with free_work().
uint8_t* make_grey_work_copy(const ConversionContext* context, const RgbQuad* source_palette,
                             const uint8_t* source_pixels);

// The 24-bit work copy (blue, green, red) with rows padded to 4 bytes; an 8-bit source is
// expanded through its palette. Sets work_stride. Null when allocation fails.
uint8_t* make_bgr_work_copy(ConversionContext* context, const RgbQuad* source_palette,
                            const uint8_t* source_pixels);

uint8_t* alloc_work(int64_t bytes);
void free_work(void* block);

// Scans work pixels of `kChannels` bytes (rows `stride` bytes apart) in stored order, left to
// right, with diffusion. `pick(x, y, values, chosen)` takes a pixel's channel values after
// the errors that reached it, stores its choice and writes the chosen channel values; the
// difference is spread by the position table. The row loop is split by position (first,
// middle and last pixel, a single column, the last row and its last pixel), and the values
// on their way (the right neighbour and the three pixels below) stay in registers until they
// are final: each is clamped after every share, in the order a pixel-by-pixel scan would.
template <int kChannels, typename Pick>
void diffuse_by_position(const ConversionContext* context, uint8_t* work, int64_t stride, Pick pick) {
    const int32_t w = context->width;
    const int32_t h = context->height;
    if (w <= 0 || h <= 0) return;
    const uint8_t* clamp = context->clamp();
    const int32_t* w1 = context->w1();
    const int32_t* w3 = context->w3();
    const int32_t* w5 = context->w5();
    const int32_t* w7 = context->w7();
    // Small arrays indexed by channel: every loop over the channels is unrolled, so that they
    // live in registers, not on the stack.
    int cur[kChannels], chosen[kChannels], error[kChannels];
    auto take = [&](int32_t x, int32_t y) {
        pick(x, y, static_cast<const int*>(cur), chosen);
#pragma GCC unroll 4
        for (int c = 0; c < kChannels; ++c) error[c] = cur[c] - chosen[c];
    };
    for (int32_t y = 0; y < h - 1; ++y) {
        const uint8_t* row = work + y * stride;
        uint8_t* below = work + (y + 1) * stride;
#pragma GCC unroll 4
        for (int c = 0; c < kChannels; ++c) cur[c] = row[c];
        if (w == 1) {
            take(0, y);
#pragma GCC unroll 4
            for (int c = 0; c < kChannels; ++c) below[c] = clamp[below[c] + w5[error[c]]];
            continue;
        }
        // left: the pixel below-left, waiting for its last share; mid: the pixel below.
        int left[kChannels], mid[kChannels];
        take(0, y);
#pragma GCC unroll 4
        for (int c = 0; c < kChannels; ++c) {
            mid[c] = clamp[below[c] + w5[error[c]]];
            left[c] = mid[c];
            mid[c] = clamp[below[kChannels + c] + w1[error[c]]];
            cur[c] = clamp[row[kChannels + c] + w7[error[c]]];
        }
        for (int32_t x = 1; x < w - 1; ++x) {
            take(x, y);
            const int64_t at = static_cast<int64_t>(x) * kChannels;
#pragma GCC unroll 4
            for (int c = 0; c < kChannels; ++c) {
                below[at - kChannels + c] = clamp[left[c] + w3[error[c]]];
                left[c] = clamp[mid[c] + w5[error[c]]];
                mid[c] = clamp[below[at + kChannels + c] + w1[error[c]]];
                cur[c] = clamp[row[at + kChannels + c] + w7[error[c]]];
            }
        }
        take(w - 1, y);
        const int64_t at = static_cast<int64_t>(w - 1) * kChannels;
#pragma GCC unroll 4
        for (int c = 0; c < kChannels; ++c) {
            below[at - kChannels + c] = clamp[left[c] + w3[error[c]]];
            below[at + c] = clamp[mid[c] + w5[error[c]]];
        }
    }
    const uint8_t* row = work + (h - 1) * stride;
#pragma GCC unroll 4
    for (int c = 0; c < kChannels; ++c) cur[c] = row[c];
    for (int32_t x = 0; x < w - 1; ++x) {
        take(x, h - 1);
#pragma GCC unroll 4
        for (int c = 0; c < kChannels; ++c)
            cur[c] = clamp[row[static_cast<int64_t>(x + 1) * kChannels + c] + w7[error[c]]];
    }
    pick(w - 1, h - 1, static_cast<const int*>(cur), chosen);
}

// Scans 24-bit work pixels in stored order; `choose` maps (blue, green, red) to a palette
// index and the chosen entry's colour; the index is handed to `store(x, y, index)`.
template <typename Choose, typename Store>
void diffuse_bgr(ConversionContext* context, uint8_t* work, int32_t work_stride, const RgbQuad* palette,
                 Choose choose, Store store) {
    if (!context->diffusing) {
        for (int32_t y = 0; y < context->height; ++y) {
            const uint8_t* p = work + static_cast<int64_t>(y) * work_stride;
            for (int32_t x = 0; x < context->width; ++x, p += 3) store(x, y, choose(p[0], p[1], p[2]));
        }
        return;
    }
    diffuse_by_position<3>(context, work, work_stride, [&](int32_t x, int32_t y, const int* v, int* chosen) {
        const int index = choose(v[0], v[1], v[2]);
        store(x, y, index);
        const RgbQuad& e = palette[index];
        chosen[0] = e.blue;
        chosen[1] = e.green;
        chosen[2] = e.red;
    });
}

// Threshold with diffusion over a grey work copy (rows of width bytes); store(x, y, bit).
// A value of 128 or more gives 1 and leaves value - 255 to spread, else 0 and the value.
template <typename Store>
void diffuse_grey_threshold(ConversionContext* context, uint8_t* grey, Store store) {
    const int32_t w = context->width;
    if (!context->diffusing) {
        for (int32_t y = 0; y < context->height; ++y) {
            const uint8_t* p = grey + static_cast<int64_t>(y) * w;
            for (int32_t x = 0; x < w; ++x) store(x, y, (p[x] >> 7) & 1);
        }
        return;
    }
    diffuse_by_position<1>(context, grey, w, [&](int32_t x, int32_t y, const int* v, int* chosen) {
        const int bit = (v[0] >> 7) & 1;
        store(x, y, bit);
        chosen[0] = bit ? 255 : 0;
    });
}
