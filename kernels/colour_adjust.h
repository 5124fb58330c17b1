// Colour kernels that map each channel through a table, and the histogram counters. Each
// 24-bit kernel reads the context's source pixels and writes its destination pixels through
// the selection mask; its 8-bit twin maps the 256 source palette entries into the
// destination palette instead (bytes 0-2; the mask does not apply to a palette).
// Arguments are clamped to the ranges the tools offer, since they may come straight from
// the settings file. Per-channel values are in the order blue, green, red.
#pragma once

#include <cstdint>

#include "kernels/adjust_context.h"

enum LevelsChannel : int { kLevelsBlue = 0, kLevelsGreen = 1, kLevelsRed = 2, kLevelsAll = 3 };

// Stretches black..white onto 0..255. With one channel only that byte of each destination
// pixel is written; the caller keeps the others filled with the current image.
void apply_levels_rgb(AdjustContext* context, int white, int black, int channel);
void apply_levels_palette(AdjustContext* context, int white, int black, int channel);

// Curve offsets -100..100 per channel.
void apply_gamma_rgb(AdjustContext* context, int k_blue, int k_green, int k_red);
void apply_gamma_palette(AdjustContext* context, int k_blue, int k_green, int k_red);

// Offsets -255..255 per channel.
void apply_brightness_rgb(AdjustContext* context, int blue, int green, int red);
void apply_brightness_palette(AdjustContext* context, int blue, int green, int red);

// Contrast steps -100..100 per channel, around the pivot the contrast tables were built on.
void apply_contrast_rgb(AdjustContext* context, int k_blue, int k_green, int k_red);
void apply_contrast_palette(AdjustContext* context, int k_blue, int k_green, int k_red);

void invert_colours_rgb(AdjustContext* context);
void invert_colours_palette(AdjustContext* context);

// n levels (2..256); table is 256 bytes of scratch that receives the mapping.
void build_posterize_table(int levels, uint8_t* table);
void apply_posterize_rgb(AdjustContext* context, int levels, uint8_t* table);
void apply_posterize_palette(AdjustContext* context, int levels, uint8_t* table);

// The counters add to the arrays; the caller clears them. The 24-bit channel counter skips
// pixels outside the selection; the others count every pixel.
void count_channel_histograms_rgb(const AdjustContext* context, int32_t* blue, int32_t* green, int32_t* red);
void count_channel_histograms_palette(const AdjustContext* context, int32_t* blue, int32_t* green,
                                      int32_t* red);
void count_luma_histogram_rgb(const AdjustContext* context, int32_t* histogram);
void count_luma_histogram_palette(const AdjustContext* context, int32_t* histogram);

// rounded(0.114 v), rounded(0.587 v), rounded(0.299 v): three 256-byte tables whose sum for a
// pixel is its luma 0..255.
void build_rounded_luma_tables(uint8_t* blue, uint8_t* green, uint8_t* red);
