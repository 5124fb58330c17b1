// Colour-depth conversion between 1, 2, 4, 8, 24 and 48 bits per pixel, with optional error
// diffusion. The record is the base of every codec context and is also used on its own.
#pragma once

#include <cstdint>
#include <type_traits>

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

[[nodiscard]] bool convert_pixel_depth(RgbQuad* target_palette, uint8_t* target_pixels,
                                       ConversionContext* context, RgbQuad* source_palette,
                                       const uint8_t* source_pixels);

[[nodiscard]] bool convert_to_8bit_grey(ConversionContext* context, const RgbQuad* source_palette,
                                        const uint8_t* source_pixels, uint8_t* target_pixels);

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
// pixel) to its neighbours by position. Does nothing when the mode does not diffuse. The
// per-pixel form, for callers that visit single pixels; the scans below use spread_at.
void spread_error(const ConversionContext* context, uint8_t* p, int32_t stride, int32_t step,
                  DiffusionPosition position, int32_t error);

// The same for a position known when the code is compiled: the row loops name the position
// of each stretch of pixels, so no pixel works out where it lies and no channel switches on
// it. Only for modes that diffuse.
template <DiffusionPosition kPosition>
inline void spread_at(const ConversionContext* context, uint8_t* p, int32_t stride, int32_t step,
                      int32_t error) {
    using P = DiffusionPosition;
    const uint8_t* clamp = context->clamp();
    uint8_t* below = p + stride;
    if constexpr (kPosition == P::kFirst || kPosition == P::kMiddle || kPosition == P::kLastRow)
        p[step] = clamp[p[step] + context->w7()[error]];
    if constexpr (kPosition != P::kLastRow && kPosition != P::kFinal)
        *below = clamp[*below + context->w5()[error]];
    if constexpr (kPosition == P::kFirst || kPosition == P::kMiddle)
        below[step] = clamp[below[step] + context->w1()[error]];
    if constexpr (kPosition == P::kMiddle || kPosition == P::kLast)
        below[-step] = clamp[below[-step] + context->w3()[error]];
}

// Visits every pixel of a width x height image in stored order, left to right, handing
// `visit(position, x, y)` the position as a std::integral_constant: each row is split into
// its first, middle and last pixels (one pixel alone for a single column), and the last row
// into all but its last pixel and that one.
template <typename Visit>
void scan_by_position(int32_t width, int32_t height, Visit visit) {
    using P = DiffusionPosition;
    if (width <= 0 || height <= 0) return;
    for (int32_t y = 0; y < height - 1; ++y) {
        if (width == 1) {
            visit(std::integral_constant<P, P::kSingleColumn>{}, 0, y);
            continue;
        }
        visit(std::integral_constant<P, P::kFirst>{}, 0, y);
        for (int32_t x = 1; x < width - 1; ++x) visit(std::integral_constant<P, P::kMiddle>{}, x, y);
        visit(std::integral_constant<P, P::kLast>{}, width - 1, y);
    }
    for (int32_t x = 0; x < width - 1; ++x) visit(std::integral_constant<P, P::kLastRow>{}, x, height - 1);
    visit(std::integral_constant<P, P::kFinal>{}, width - 1, height - 1);
}

// Scans 24-bit work pixels in stored order; `choose` maps (blue, green, red) to a palette
// index and the chosen entry's colour; the index is handed to `store(x, y, index)`.
template <typename Choose, typename Store>
void diffuse_bgr(ConversionContext* context, uint8_t* work, int32_t work_stride, const RgbQuad* palette,
                 Choose choose, Store store) {
    if (!context->diffusing) {
        scan_by_position(context->width, context->height, [&](auto, int32_t x, int32_t y) {
            const uint8_t* p = work + static_cast<int64_t>(y) * work_stride + 3 * x;
            store(x, y, choose(p[0], p[1], p[2]));
        });
        return;
    }
    scan_by_position(context->width, context->height, [&](auto position, int32_t x, int32_t y) {
        constexpr DiffusionPosition kPosition = decltype(position)::value;
        uint8_t* p = work + static_cast<int64_t>(y) * work_stride + 3 * x;
        const int index = choose(p[0], p[1], p[2]);
        store(x, y, index);
        if constexpr (kPosition != DiffusionPosition::kFinal) {
            const RgbQuad& e = palette[index];
            spread_at<kPosition>(context, p + 0, work_stride, 3, p[0] - e.blue);
            spread_at<kPosition>(context, p + 1, work_stride, 3, p[1] - e.green);
            spread_at<kPosition>(context, p + 2, work_stride, 3, p[2] - e.red);
        }
    });
}

// Threshold with diffusion over a grey work copy (rows of width bytes); store(x, y, bit).
template <typename Store>
void diffuse_grey_threshold(ConversionContext* context, uint8_t* grey, Store store) {
    const int32_t w = context->width;
    if (!context->diffusing) {
        scan_by_position(w, context->height, [&](auto, int32_t x, int32_t y) {
            store(x, y, (grey[static_cast<int64_t>(y) * w + x] >> 7) & 1);
        });
        return;
    }
    scan_by_position(w, context->height, [&](auto position, int32_t x, int32_t y) {
        constexpr DiffusionPosition kPosition = decltype(position)::value;
        uint8_t* p = grey + static_cast<int64_t>(y) * w + x;
        const int value = *p;
        if constexpr (kPosition == DiffusionPosition::kFinal) {
            store(x, y, (value >> 7) & 1);
        } else {
            const int bit = value >= 128 ? 1 : 0;
            store(x, y, bit);
            spread_at<kPosition>(context, p, w, 1, bit ? value - 255 : value);
        }
    });
}
