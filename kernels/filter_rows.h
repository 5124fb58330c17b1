// Pieces the filter kernels share: row addressing, the mask rule over a row, the row bands on
// helper threads and the weighted sum of byte rows that the Gaussian and 3x3 kernels run on.
#pragma once

#include <cstdint>
#include <functional>

#include "kernels/filter_work.h"

namespace filter_detail {

inline int32_t clamp_arg(int32_t v, int32_t lo, int32_t hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

inline const uint8_t* row_of(const uint8_t* base, int32_t stride, int32_t y) {
    return base + static_cast<int64_t>(y) * stride;
}
inline uint8_t* row_of(uint8_t* base, int32_t stride, int32_t y) {
    return base + static_cast<int64_t>(y) * stride;
}

// Writes destination row y from the effect row: the mask rule against the given keep row
// (the source, or what a pass treats as its source). Without a mask the effect row may be
// the output row itself.
void put_row_masked(const FilterWork* w, int32_t y, const uint8_t* keep, const uint8_t* effect, uint8_t* out);

// t[a][effect] + t[255 - a][source] over n bytes, in place in effect.
void mix_strength(const uint8_t* blend, int32_t a, const uint8_t* source, uint8_t* effect, int32_t n);

// Runs body(first_row, end_row) over [0, rows) in bands, on the calling thread and helpers as
// the record allows. Each row must depend on the source alone, so any split gives the same bytes.
void run_row_bands(const FilterWork* w, int32_t rows, const std::function<void(int32_t, int32_t)>& body);

// out[i] = sum over k of weights[k] x rows[k][i] for i = 0..n-1; weights fit in 16 bits, taps
// are at most 2 x kGaussMaxRadius + 1.
void weighted_sum(const uint8_t* const* rows, const int16_t* weights, int32_t taps, int32_t n, int32_t* out);

// The same, each sum as clamp((sum + bias) >> shift, 0..255) in a byte (arithmetic shift).
void weighted_sum_bytes(const uint8_t* const* rows, const int16_t* weights, int32_t taps, int32_t n,
                        int32_t bias, int32_t shift, uint8_t* out);

inline bool cancelled(const FilterWork* w) {
    return w->cancel && w->cancel->load(std::memory_order_relaxed);
}

}  // namespace filter_detail
