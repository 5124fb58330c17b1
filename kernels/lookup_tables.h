// Lookup tables shared by the pixel kernels and the codecs.
#pragma once

#include <cstdint>

// 256 x 256 bytes, t[a][v] at 256a + v: v scaled by a / 255. A kernel mixes x over y with
// weight w as t[w][x] + t[255 - w][y].
uint8_t* build_blend_table(uint8_t* table);

// 511 signed squares of -255..255; returns the centre (the entry for 0).
const int32_t* build_squares_table(int32_t* table);
