// The state of colour-depth conversion (the record is part of every codec context and is also
// used on its own) and the building blocks that the depth conversion and the palette reduction
// share: row sizes, error-diffusion tables, grey values and work copies.
// Kept apart from conversion.h so that the palette code, which the depth conversion calls,
// needs nothing above it. The definitions live in conversion.cpp.
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

// Where a pixel lies decides which neighbours receive its error.
enum class DiffusionPosition : uint8_t {
    kFirst,         // first pixel of a row, not the last row
    kMiddle,        // middle pixel, not the last row
    kLast,          // last pixel of a row, not the last row
    kSingleColumn,  // one-pixel-wide image, not the last row
    kLastRow,       // last row, any pixel but the last
    kFinal,         // last pixel of the last row
};

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

DiffusionPosition diffusion_position(int32_t x, int32_t y, int32_t width, int32_t height);

// Spreads one channel's error from the pixel at p (row stride `stride`, `step` bytes per
// pixel) to its neighbours by position. Does nothing when the mode does not diffuse.
void spread_error(const ConversionContext* context, uint8_t* p, int32_t stride, int32_t step,
                  DiffusionPosition position, int32_t error);

// Scans 24-bit work pixels in stored order; `choose` maps (blue, green, red) to a palette
// index and the chosen entry's colour; the index is handed to `store(x, y, index)`.
template <typename Choose, typename Store>
void diffuse_bgr(ConversionContext* context, uint8_t* work, int32_t work_stride, const RgbQuad* palette,
                 Choose choose, Store store) {
    const int32_t w = context->width;
    const int32_t h = context->height;
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* row = work + static_cast<int64_t>(y) * work_stride;
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* p = row + 3 * x;
            int index = choose(p[0], p[1], p[2]);
            store(x, y, index);
            DiffusionPosition pos = diffusion_position(x, y, w, h);
            const RgbQuad& e = palette[index];
            spread_error(context, p + 0, work_stride, 3, pos, p[0] - e.blue);
            spread_error(context, p + 1, work_stride, 3, pos, p[1] - e.green);
            spread_error(context, p + 2, work_stride, 3, pos, p[2] - e.red);
        }
    }
}

// Threshold with diffusion over a grey work copy (rows of width bytes); store(x, y, bit).
template <typename Store>
void diffuse_grey_threshold(ConversionContext* context, uint8_t* grey, Store store) {
    const int32_t w = context->width;
    const int32_t h = context->height;
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* row = grey + static_cast<int64_t>(y) * w;
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* p = row + x;
            int value = *p;
            DiffusionPosition pos = diffusion_position(x, y, w, h);
            if (!context->diffusing || pos == DiffusionPosition::kFinal) {
                store(x, y, (value >> 7) & 1);
                continue;
            }
            int bit = value >= 128 ? 1 : 0;
            store(x, y, bit);
            spread_error(context, p, w, 1, pos, bit ? value - 255 : value);
        }
    }
}
