// The job record of the colour kernels: one per open colour tool and one for batch
// conversion. The owner fills the image fields and points the table fields at tables it
// built; a kernel reads only what it needs.
#pragma once

#include <cstdint>

#include "kernels/lookup_tables.h"

struct AdjustContext {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bits = 0;
    // Bytes per row of both pixel buffers: the 4-byte padded row at either depth.
    int32_t stride = 0;
    const uint8_t* source_palette = nullptr;  // 256 entries blue, green, red, reserved
    uint8_t* destination_palette = nullptr;
    const uint8_t* source_pixels = nullptr;  // bottom row first
    uint8_t* destination_pixels = nullptr;   // distinct from the source
    const uint8_t* mask = nullptr;           // width * height bytes, 255 outside; null = all
    int32_t range_threshold = 0;
    const uint8_t* blend = nullptr;
    const uint8_t* levels = nullptr;    // row 0 of LevelsStretchTable
    const uint8_t* gamma = nullptr;     // curve 100
    const uint8_t* clamp = nullptr;     // centre
    const uint8_t* contrast = nullptr;  // table 0
    const int32_t* squares = nullptr;   // centre
    int32_t falloff[kFalloffWeights] = {};
    // This context's own view of its HSL tables (install_hsl_tables_for_adjust).
    HslAddresses hsl;
};

// Fills the image fields (1-9) and the stride from the size and depth.
void set_adjust_image(AdjustContext* context, int32_t width, int32_t height, int32_t bits,
                      const uint8_t* source_pixels, uint8_t* destination_pixels, const uint8_t* mask,
                      const uint8_t* source_palette, uint8_t* destination_palette);
