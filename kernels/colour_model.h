// Colour kernels that work in a colour model: hue/saturation/lightness, colour distance to
// a picked colour, and luminance-keeping changes. Same context, mask rule and palette twins
// as colour_adjust.h. Colours handed in are three bytes red, green, blue; pixels and
// palette entries are blue, green, red. Arguments are clamped to the tools' ranges.
#pragma once

#include <cstdint>

#include "kernels/adjust_context.h"

// Converts one colour into the integer HSL model, shifts it and converts it back, in place.
// hue_shift -180..180 degrees, lightness and saturation deltas -255..255.
void adjust_pixel_hsl(const HslAddresses& hsl, uint8_t& blue, uint8_t& green, uint8_t& red, int hue_shift,
                      int lightness_delta, int saturation_delta);
// A hue shift turned into -180..180 (a shift is circular), so that the hue-wrap table is
// never indexed outside -300..659.
int normalise_hue_shift(int shift);

// The hue (0..359) that adjust_pixel_hsl assigns to a colour that is not grey.
int hsl_hue(const HslAddresses& hsl, int blue, int green, int red);

void apply_hue_saturation_rgb(AdjustContext* context, int hue_shift, int lightness_delta,
                              int saturation_delta);
void apply_hue_saturation_palette(AdjustContext* context, int hue_shift, int lightness_delta,
                                  int saturation_delta);

// Only colours within the context's range of the picked colour, weighted by the falloff.
void apply_hue_saturation_in_range_rgb(AdjustContext* context, int hue_shift, int lightness_delta,
                                       int saturation_delta, const uint8_t* picked_rgb);
void apply_hue_saturation_in_range_palette(AdjustContext* context, int hue_shift, int lightness_delta,
                                           int saturation_delta, const uint8_t* picked_rgb);

void replace_colour_rgb(AdjustContext* context, int strength, const uint8_t* source_rgb,
                        const uint8_t* target_rgb);
void replace_colour_palette(AdjustContext* context, int strength, const uint8_t* source_rgb,
                            const uint8_t* target_rgb);

// Gamma curve 100 + shadow_amount near black, 100 - highlight_amount near white, weighted by
// the falloff of the distance to black or white.
void apply_shadow_highlight_rgb(AdjustContext* context, int shadow_amount, int highlight_amount);
void apply_shadow_highlight_palette(AdjustContext* context, int shadow_amount, int highlight_amount);

// Histogram equalisation of the luma through the lightness. An image of one luma is copied
// unchanged.
void equalize_rgb(AdjustContext* context);

void apply_colour_filter_rgb(AdjustContext* context, const LuminanceTables* tables, int density,
                             const uint8_t* filter_rgb);
void apply_colour_filter_palette(AdjustContext* context, const LuminanceTables* tables, int density,
                                 const uint8_t* filter_rgb);

void apply_colour_balance_rgb(AdjustContext* context, const LuminanceTables* tables, int blue, int green,
                              int red);
void apply_colour_balance_palette(AdjustContext* context, const LuminanceTables* tables, int blue, int green,
                                  int red);

// Gives the changed colour x back the luminance of the source colour s (both blue, green, red).
void restore_luminance(const LuminanceTables* tables, const uint8_t* s, uint8_t* x);
