// The effect filter kernels over a FilterWork (see filter_work.h for the shared rules).
#pragma once

#include <cstdint>

#include "kernels/filter_work.h"

// Box blurs with replicated edges: the mean of the 3x3 (div9) or 5x5 (div25) neighbourhood,
// mixed with the source by strength 0..255.
void blur_box3(FilterWork* work, int32_t strength);
void blur_box5(FilterWork* work, int32_t strength);
// t[a][blurred] + t[255 - a][source]; blurred has the source's layout.
void soft_focus_blend(FilterWork* work, int32_t strength, const uint8_t* blurred);
// The 5x5 mean through the mask into the destination, then source - mean limited to
// -128..127 into `difference`.
void unsharp_difference(FilterWork* work);
// Adds floor(d x amount / 8) to each channel of pixels whose |d_b| + |d_g| + |d_r| exceeds
// the threshold. amount 0..100, threshold >= 0.
void unsharp_apply(FilterWork* work, int32_t amount, int32_t threshold);

// Separable Gaussian blur, radius 0..50 reduced to (min(width, height) - 1) / 2: rows of the
// source into intermediate (height x stride bytes), then its columns into the destination.
// Near the edges the weights inside the image renormalise the sum. The mask applies in both
// passes.
void blur_gaussian(FilterWork* work, uint8_t* intermediate, int32_t radius);
// The integer weights of a radius (no reduction) into w[-r..r] around centre; returns the shift
// s: the weights add up to about 2^s.
int32_t build_gauss_weights(int32_t radius, int32_t* centre);

// Replaces a pixel whose grey stands out from its neighbours' mean colour by more than
// 255 - strength with the lower median by grey of itself and its 3x3 neighbours.
void filter_remove_noise(FilterWork* work, int32_t strength);

// 3x3 convolutions with replicated edges. Emboss: grey of (S + 127) limited to 0..255.
// Colour: S / divisor (truncating, divisor >= 1) limited to 0..255. Edges: the colour result
// with divisor 1, then 255 minus its mean, through the mask a second time.
void emboss_convolve(FilterWork* work, const Kernel3x3& kernel);
void convolve3x3_colour(FilterWork* work, const Kernel3x3& kernel, int32_t divisor);
void extract_edges(FilterWork* work, const Kernel3x3& kernel);

// Mosaic of cells W x H (2..100) counted from the top of the picture; shift offsets every
// second cell row by half a cell, tile lightens the top and left and darkens the bottom and
// right edge of each cell. blocks holds at least ceil(height / H) x width x 3 bytes.
void apply_mosaic(FilterWork* work, uint8_t* blocks, int32_t cell_width, int32_t cell_height, bool shift,
                  bool tile);
// The cell colours alone: column means of each cell row, then the cell means written in place
// into the same buffer, pitch bytes a cell row, bottom cell row first.
void average_blocks(FilterWork* work, uint8_t* blocks, int32_t pitch, int32_t cell_rows, int32_t cell_width,
                    int32_t cell_height, bool shift);

// Mixes every pixel with the source pixel at a random offset in -range/2..range - range/2,
// with weight density (0..255); draws two numbers of the calling thread's generator for each
// pixel the mask does not exclude.
void apply_diffusion(FilterWork* work, int32_t density, int32_t range);
// Symmetric-nearest-neighbour mean over 5x5; squares is the centre of a SquaresTable.
void painting_effect(FilterWork* work, const int32_t* squares);
// The painting-style chain through the record's mask: blur_box3 at 255 from source into
// result, painting_effect from result into scratch, then from scratch back into result. All
// three buffers have the image's size; the record's source and destination are left at the
// last pass.
void run_painting_style(FilterWork* work, const uint8_t* source, uint8_t* result, uint8_t* scratch,
                        const int32_t* squares);
