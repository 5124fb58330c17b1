// Rows of a device-independent bitmap are padded to a multiple of 4 bytes. The size is
// computed in 64 bits: the product runs 32-bit, and width x bits of a 25,000-pixel 48-bit
// row already needs more than 20 bits before the padding.
#pragma once

#include <cstdint>

constexpr int64_t row_stride_bytes(int64_t width, int64_t bit_count) {
    return ((width * bit_count + 31) / 32) * 4;
}

static_assert(row_stride_bytes(1, 24) == 4);
static_assert(row_stride_bytes(5, 8) == 8);
static_assert(row_stride_bytes(33, 1) == 8);
static_assert(row_stride_bytes(25000, 48) == 150000);
