// Colour-depth conversion between 1, 2, 4, 8, 24 and 48 bits per pixel, with optional error
// diffusion, over the record of conversion_context.h.
#pragma once

#include <cstdint>

#include "codecs/conversion_context.h"
#include "common/win_types.h"

[[nodiscard]] bool convert_pixel_depth(RgbQuad* target_palette, uint8_t* target_pixels,
                                       ConversionContext* context, RgbQuad* source_palette,
                                       const uint8_t* source_pixels);

[[nodiscard]] bool convert_to_8bit_grey(ConversionContext* context, const RgbQuad* source_palette,
                                        const uint8_t* source_pixels, uint8_t* target_pixels);
