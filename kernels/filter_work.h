// The job record of the effect filter kernels and the rules they share. Every kernel reads a
// 24-bit bottom-up source (rows padded to 4 bytes, blue, green, red) and writes the three
// channels of every destination pixel and nothing else: padding bytes are never written.
// Row order: the row "before" a pixel's row is the one at the lower address, that is one row
// lower in the picture.
//
// Shared rules:
// - strength a (0..255): e' = t[a][effect] + t[255 - a][source];
// - mask byte m: 255 keeps the source pixel, 0 (or no mask) takes the effect, between mixes
//   t[m][source] + t[255 - m][effect];
// - integer arithmetic per pixel; only the Gaussian weights use double precision, once a call.
//
// Arguments are brought into the ranges the tables hold at entry, since tools hand them over
// from settings files. Every kernel accepts any image of at least 1 x 1 pixel: neighbourhoods
// are clamped to the image, so nothing outside the buffers is ever read or written.
//
// Threads: a kernel may split its rows into bands run on helper threads; the output is the
// same byte for byte as on one thread. Helpers are joined before the kernel returns. An owner
// that may end the calling thread from outside sets `cancel` first: helpers stop at the next
// band, and filter_helper_threads_running() falls to 0 once none of them touches a buffer.
#pragma once

#include <atomic>
#include <cstdint>

#include "kernels/lookup_tables.h"

constexpr int32_t kGaussMaxRadius = 50;

struct FilterWork {
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;  // always computed by set_filter_image
    const uint8_t* source = nullptr;
    uint8_t* destination = nullptr;
    const uint8_t* mask = nullptr;  // width bytes a row, no padding; null = all selected
    int8_t* difference = nullptr;   // height x stride, one signed value per channel (unsharp)
    const uint8_t* blend = nullptr;
    const uint8_t* div9 = nullptr;
    const uint8_t* div25 = nullptr;
    const int16_t* unsharp_rows = nullptr;                // row 0 of the 101 amount rows
    const uint8_t* unsharp_clamp = nullptr;               // centre
    const uint8_t* grey = nullptr;                        // GreyTables256
    int32_t gauss_weights[2 * kGaussMaxRadius + 1] = {};  // w[-50..50], index 0 at [50]
    // Row 0 of the CoefficientTables. The 3x3 kernels compute k x v with an integer multiply,
    // which equals the table entry, so they work whether or not it is set.
    const int32_t* coefficients = nullptr;

    // 0: as many threads as the machine has cores (small images stay on one); n: at most n.
    int32_t threads = 0;
    // When set, helper threads stop at their next band and the kernel returns early, leaving
    // part of the destination unwritten.
    const std::atomic<bool>* cancel = nullptr;
};

// Nine coefficients in row order: k0..k2 the row before (left, same column, right), k3..k5 the
// pixel's own row, k6..k8 the row after. Each lies in -32..32.
struct Kernel3x3 {
    int32_t k[9];
};

// Stores the image and buffers and computes the stride from the width.
void set_filter_image(FilterWork* work, int32_t width, int32_t height, const uint8_t* source,
                      uint8_t* destination, const uint8_t* mask);
// Fill the divide tables (Div9Table 2,296 bytes, Div25Table 6,376 bytes) and store them.
uint8_t* filter_build_div9_table(uint8_t* storage, FilterWork* work);
uint8_t* filter_build_div25_table(uint8_t* storage, FilterWork* work);

// Helper threads of filter kernels still running anywhere in the process.
int32_t filter_helper_threads_running();
