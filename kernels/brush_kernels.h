// Kernels of the paint brush and the partial-correction brush: one round dab at a time on a
// 24-bit image. The effect always comes from the unchanged source, so overlapping dabs move
// the destination toward the mode's full effect and never beyond it.
#pragma once

#include <cstdint>

#include "kernels/lookup_tables.h"

// Process-wide: only one brush tool is open at a time, and the kernels run on its thread.
struct BrushKernelState {
    int32_t opacity = 0;                    // 0..255
    const uint8_t* paint_colour = nullptr;  // red, green, blue
    const uint8_t* mask = nullptr;          // width * height bytes, 255 outside; null = all
    uint8_t* const* tips = nullptr;         // kBrushTipCount tips, diameters 3..128
    uint8_t* destination = nullptr;         // the accumulating rows, bottom row first
    const uint8_t* source = nullptr;        // the unchanged rows
    int32_t stride = 0;
    int32_t height = 0;
    int32_t width = 0;
    int32_t level = 0;  // the parameter of the current correction mode
    const uint8_t* blend = nullptr;
    const uint8_t* gamma = nullptr;  // curve 100
    const uint8_t* grey = nullptr;   // GreyTables256
    const uint8_t* mean9 = nullptr;  // Div9Table
    HslAddresses hsl;
};
extern BrushKernelState g_brush_state;

// Left, top, right, bottom with y counted from the top row; right and bottom exclusive and
// right - left = bottom - top = the tip diameter.
struct DabRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

enum BrushCorrectionMode : int {
    kBrushBrighten = 0,
    kBrushDarken = 1,
    kBrushVivid = 2,
    kBrushPale = 3,
    kBrushSharpen = 4,
    kBrushBlur = 5,
    kBrushDenoise = 6,
    kBrushRedEye = 7,
};

void set_brush_image(int32_t width, int32_t height, const uint8_t* source, uint8_t* destination,
                     const uint8_t* mask);

// Every pixel becomes the paint colour over the source at the opacity.
void paint_fill_masked();
void paint_fill();

void paint_dab_masked(const DabRect* rect);
void paint_dab(const DabRect* rect);
// level: curve offset, +strength brightens, -strength darkens.
void brush_tone_masked(const DabRect* rect);
void brush_tone(const DabRect* rect);
// level: saturation delta, +strength vivid, -strength pale.
void brush_saturation_masked(const DabRect* rect);
void brush_saturation(const DabRect* rect);
// level: 2 * strength, the weight of the sharpened or blurred value. These three modes never
// change the outermost rows and columns of the image.
void brush_sharpen_masked(const DabRect* rect);
void brush_sharpen(const DabRect* rect);
void brush_blur_masked(const DabRect* rect);
void brush_blur(const DabRect* rect);
void brush_denoise_masked(const DabRect* rect);
void brush_denoise(const DabRect* rect);
void brush_red_eye_masked(const DabRect* rect);
void brush_red_eye(const DabRect* rect);

void adjust_pixel_saturation(uint8_t& blue, uint8_t& green, uint8_t& red, int delta);
// Pulls a reddish colour toward its neighbours' levels; true when it counts as changed.
bool test_red_pixel(uint8_t& blue, uint8_t& red, uint8_t& green);
