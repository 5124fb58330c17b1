// Palette building and reduction of true colour to indexed images, and colour counting.
#pragma once

#include <cstdint>

#include "codecs/conversion_context.h"

uint32_t count_colours_24bit(ConversionContext* context);
uint32_t count_colours_8bit(ConversionContext* context);

// The 8/24 to 2/4/8-bit branch of convert_pixel_depth.
[[nodiscard]] bool reduce_to_palette(ConversionContext* context);

// One byte per pixel (rows of exactly width bytes) at target bits 1-8, for the GIF writer.
[[nodiscard]] bool reduce_to_indexed(RgbQuad* target_palette, ConversionContext* context,
                                     const RgbQuad* source_palette, const uint8_t* source_pixels,
                                     uint8_t* target_bytes);
