// Separable Gaussian blur with integer weights that add up to about 2^s: the interior of each
// row and column shifts by s, the r pixels at each end divide by the weights that lie inside
// the image.
#include <cmath>
#include <vector>

#include "kernels/filter_rows.h"
#include "kernels/filters.h"

using namespace filter_detail;

int32_t build_gauss_weights(int32_t radius, int32_t* centre) {
    const int32_t r = clamp_arg(radius, 0, kGaussMaxRadius);
    int32_t k[kGaussMaxRadius + 1];
    k[0] = 255;
    // D = r * r / 2 rounded half up; with r = 0 only k[0] exists.
    const double d = std::trunc(2.0 * (r * 0.5) * (r * 0.5) + 0.5);
    for (int32_t i = 1; i <= r; ++i) {
        k[i] = static_cast<int32_t>(std::trunc(255.0 * std::exp(-static_cast<double>(i * i) / d) + 0.5));
    }
    int32_t total = k[0];
    for (int32_t i = 1; i <= r; ++i) total += 2 * k[i];
    int32_t s = 0;
    while ((int64_t{1} << s) <= total) ++s;
    const double scale = static_cast<double>(int64_t{1} << s);
    for (int32_t i = 0; i <= r; ++i) {
        const int32_t v = static_cast<int32_t>(std::trunc(k[i] * scale / total + 0.5));
        centre[i] = v;
        centre[-i] = v;
    }
    return s;
}

void blur_gaussian(FilterWork* w, uint8_t* intermediate, int32_t radius) {
    const int32_t width = w->width, height = w->height;
    if (width <= 0 || height <= 0) return;
    radius = clamp_arg(radius, 0, kGaussMaxRadius);
    const int32_t fit = ((width < height ? width : height) - 1) / 2;
    const int32_t r = radius < fit ? radius : fit;
    int32_t* wc = w->gauss_weights + kGaussMaxRadius;
    const int32_t s = build_gauss_weights(r, wc);
    const int32_t taps = 2 * r + 1;
    // Weights never exceed 2 x 255 (k[0] x 2^s / T with T >= 2^(s - 1)), so 16 bits hold them.
    int16_t w16[2 * kGaussMaxRadius + 1];
    for (int32_t k = 0; k < taps; ++k) w16[k] = static_cast<int16_t>(wc[k - r]);
    const int32_t n = 3 * width;

    // Pass 1: rows of the source into the intermediate buffer.
    run_row_bands(w, height, [&](int32_t y0, int32_t y1) {
        std::vector<uint8_t> effect(static_cast<size_t>(n));
        std::vector<int32_t> acc(static_cast<size_t>(n));
        const uint8_t* taps_at[2 * kGaussMaxRadius + 1];
        for (int32_t y = y0; y < y1; ++y) {
            const uint8_t* src = row_of(w->source, w->stride, y);
            const int32_t inner = 3 * (width - 2 * r);
            for (int32_t k = 0; k < taps; ++k) taps_at[k] = src + 3 * k;
            weighted_sum(taps_at, w16, taps, inner, acc.data());
            for (int32_t i = 0; i < inner; ++i)
                effect[static_cast<size_t>(3 * r + i)] = static_cast<uint8_t>(acc[i] >> s);
            for (int32_t x = 0; x < r; ++x) {
                for (int side = 0; side < 2; ++side) {
                    const int32_t px = side == 0 ? x : width - 1 - x;
                    const int32_t lo = px - r < 0 ? 0 : px - r;
                    const int32_t hi = px + r > width - 1 ? width - 1 : px + r;
                    int32_t total = 0;
                    int32_t sum[3] = {0, 0, 0};
                    for (int32_t j = lo; j <= hi; ++j) {
                        const int32_t wt = wc[j - px];
                        total += wt;
                        for (int c = 0; c < 3; ++c) sum[c] += wt * src[3 * j + c];
                    }
                    for (int c = 0; c < 3; ++c)
                        effect[static_cast<size_t>(3 * px + c)] = static_cast<uint8_t>(sum[c] / total);
                }
            }
            put_row_masked(w, y, src, effect.data(), row_of(intermediate, w->stride, y));
        }
    });

    // Pass 2: columns of the intermediate buffer into the destination.
    run_row_bands(w, height, [&](int32_t y0, int32_t y1) {
        std::vector<uint8_t> scratch(static_cast<size_t>(n));
        std::vector<int32_t> acc(static_cast<size_t>(n));
        const uint8_t* taps_at[2 * kGaussMaxRadius + 1];
        int16_t part[2 * kGaussMaxRadius + 1];
        for (int32_t y = y0; y < y1; ++y) {
            uint8_t* out = row_of(w->destination, w->stride, y);
            uint8_t* effect = w->mask ? scratch.data() : out;
            const int32_t lo = y - r < 0 ? 0 : y - r;
            const int32_t hi = y + r > height - 1 ? height - 1 : y + r;
            int32_t count = 0, total = 0;
            for (int32_t j = lo; j <= hi; ++j, ++count) {
                taps_at[count] = row_of(intermediate, w->stride, j);
                part[count] = w16[j - y + r];
                total += part[count];
            }
            if (count == taps) {
                weighted_sum_bytes(taps_at, part, count, n, 0, s, effect);
            } else {
                weighted_sum(taps_at, part, count, n, acc.data());
                for (int32_t i = 0; i < n; ++i) effect[i] = static_cast<uint8_t>(acc[i] / total);
            }
            put_row_masked(w, y, row_of(intermediate, w->stride, y), effect, out);
        }
    });
}
