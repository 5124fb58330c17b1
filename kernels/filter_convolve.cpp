// 3x3 convolutions with replicated edges: emboss, colour convolution and edge extraction.
#include <cstring>
#include <vector>

#include "kernels/filter_rows.h"
#include "kernels/filters.h"

using namespace filter_detail;

namespace {

enum class ConvolveMode { kEmboss, kColour, kEdges };

void convolve(FilterWork* w, const Kernel3x3& kernel, int32_t divisor, ConvolveMode mode) {
    const int32_t width = w->width, height = w->height;
    if (width <= 0 || height <= 0) return;
    // The coefficient tables hold -32..32; a divisor of 0 would divide by zero.
    int16_t k16[9];
    for (int i = 0; i < 9; ++i) k16[i] = static_cast<int16_t>(clamp_arg(kernel.k[i], -32, 32));
    if (divisor < 1) divisor = 1;
    const int32_t n = 3 * width;
    const uint8_t* t = w->blend;
    // S / divisor limited to 0..255 by lookup: S <= 9 x 32 x 255, and from 256 x divisor on
    // the quotient is 255.
    constexpr int32_t kMaxSum = 9 * 32 * 255;
    std::vector<uint8_t> quotient;
    if (mode == ConvolveMode::kColour && (divisor & (divisor - 1)) != 0) {
        // Compared before multiplying: 256 x a divisor from a settings file can overflow.
        const int32_t size = divisor <= kMaxSum / 256 ? 256 * divisor : kMaxSum + 1;
        quotient.resize(static_cast<size_t>(size));
        for (int32_t v = 0; v < size; ++v)
            quotient[static_cast<size_t>(v)] = static_cast<uint8_t>(clamp_arg(v / divisor, 0, 255));
    }
    const int32_t quotient_size = static_cast<int32_t>(quotient.size());
    // A divisor of 2^p is a shift by p: the floor differs from the truncation only for
    // negative sums, which end at 0 either way.
    int32_t power_shift = -1;
    for (int32_t p = 0; p < 31; ++p) {
        if (divisor == (int32_t{1} << p)) power_shift = p;
    }
    run_row_bands(w, height, [&](int32_t y0, int32_t y1) {
        // Source rows with their edge pixel repeated once on either side, three slots by row
        // number, so each row is copied once as the window moves up.
        std::vector<uint8_t> padded(static_cast<size_t>(3 * (n + 6)));
        int32_t padded_row[3] = {-1, -1, -1};
        std::vector<int32_t> sums(static_cast<size_t>(n));
        std::vector<uint8_t> effect(static_cast<size_t>(n));
        for (int32_t y = y0; y < y1; ++y) {
            const uint8_t* at[9];
            for (int k = 0; k < 3; ++k) {
                const int32_t row = clamp_arg(y - 1 + k, 0, height - 1);
                const int slot = static_cast<int>(row % 3);
                uint8_t* p = padded.data() + static_cast<size_t>(slot) * (n + 6);
                if (padded_row[slot] != row) {
                    const uint8_t* src = row_of(w->source, w->stride, row);
                    std::memcpy(p + 3, src, static_cast<size_t>(n));
                    std::memcpy(p, src, 3);
                    std::memcpy(p + 3 + n, src + n - 3, 3);
                    padded_row[slot] = row;
                }
                at[3 * k] = p;
                at[3 * k + 1] = p + 3;
                at[3 * k + 2] = p + 6;
            }
            const uint8_t* src = row_of(w->source, w->stride, y);
            uint8_t* dst = row_of(w->destination, w->stride, y);
            // Without a mask the effect goes straight into the destination row (edges keep it
            // apart: their second step reads it).
            uint8_t* e = w->mask || mode == ConvolveMode::kEdges ? effect.data() : dst;
            if (mode == ConvolveMode::kEmboss) {
                weighted_sum_bytes(at, k16, 9, n, 127, 0, e);
                for (int32_t i = 0; i < n; i += 3) {
                    e[i] = e[i + 1] = e[i + 2] = static_cast<uint8_t>((e[i] + e[i + 1] + e[i + 2]) / 3);
                }
                put_row_masked(w, y, src, e, dst);
                continue;
            }
            if (power_shift >= 0) {
                weighted_sum_bytes(at, k16, 9, n, 0, power_shift, e);
            } else {
                weighted_sum(at, k16, 9, n, sums.data());
                for (int32_t i = 0; i < n; ++i) {
                    const int32_t v = sums[i];
                    e[i] = v <= 0 ? 0 : (v >= quotient_size ? 255 : quotient[static_cast<size_t>(v)]);
                }
            }
            if (mode == ConvolveMode::kColour) {
                put_row_masked(w, y, src, e, dst);
                continue;
            }
            // Edges: the colour result through the mask, then its inverted mean through the
            // mask again, so a partly selected pixel meets its source twice.
            uint8_t* first = effect.data();
            put_row_masked(w, y, src, first, first);
            const uint8_t* m = w->mask ? w->mask + static_cast<int64_t>(y) * width : nullptr;
            for (int32_t x = 0; x < width; ++x) {
                const uint8_t* s = src + 3 * x;
                uint8_t* o = dst + 3 * x;
                const int mv = m ? m[x] : 0;
                if (mv == 255) {
                    o[0] = s[0];
                    o[1] = s[1];
                    o[2] = s[2];
                    continue;
                }
                const uint8_t* f = first + 3 * x;
                const int v = 255 - (f[0] + f[1] + f[2]) / 3;
                if (mv == 0) {
                    o[0] = o[1] = o[2] = static_cast<uint8_t>(v);
                } else {
                    const uint8_t* keep = t + 256 * mv;
                    const uint8_t take = t[256 * (255 - mv) + v];
                    for (int c = 0; c < 3; ++c) o[c] = static_cast<uint8_t>(keep[s[c]] + take);
                }
            }
        }
    });
}

}  // namespace

void emboss_convolve(FilterWork* work, const Kernel3x3& kernel) {
    convolve(work, kernel, 1, ConvolveMode::kEmboss);
}

void convolve3x3_colour(FilterWork* work, const Kernel3x3& kernel, int32_t divisor) {
    convolve(work, kernel, divisor, ConvolveMode::kColour);
}

void extract_edges(FilterWork* work, const Kernel3x3& kernel) {
    convolve(work, kernel, 1, ConvolveMode::kEdges);
}
