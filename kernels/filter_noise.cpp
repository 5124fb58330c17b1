// Noise removal: a pixel whose grey stands out from its neighbours' mean colour is replaced by
// the lower median, by grey, of itself and its 3x3 neighbours.
#include <vector>

#include "kernels/filter_rows.h"
#include "kernels/filters.h"

using namespace filter_detail;

namespace {

// Candidate order: the pixel, left, right, then the row before (same column, left, right),
// then the row after (same column, left, right).
constexpr int kOrderX[9] = {0, -1, 1, 0, -1, 1, 0, -1, 1};
constexpr int kOrderRow[9] = {1, 1, 1, 0, 0, 0, 2, 2, 2};  // index into {before, own, after}

struct NoiseRows {
    const uint8_t* pixels[3];  // before, own, after; null outside the image
    const uint8_t* grey[3];
};

// Effect of pixel x; false leaves the source pixel.
template <bool Interior>
bool denoise_pixel(const NoiseRows& r, int32_t x, int32_t width, int32_t threshold, const uint8_t* gb,
                   const uint8_t* gg, const uint8_t* gr, const uint8_t** chosen) {
    const uint8_t* cand[9];
    int g[9];
    int n = 0;
    for (int k = 0; k < 9; ++k) {
        const int32_t cx = x + kOrderX[k];
        const uint8_t* row = r.pixels[kOrderRow[k]];
        if (!Interior && (row == nullptr || cx < 0 || cx >= width)) continue;
        cand[n] = row + 3 * cx;
        g[n] = r.grey[kOrderRow[k]][cx];
        ++n;
    }
    // A lone pixel (1 x 1 image) has no neighbours to stand out from.
    if (!Interior && n == 1) return false;
    int sb = 0, sg = 0, sr = 0;
    for (int k = 1; k < n; ++k) {
        sb += cand[k][0];
        sg += cand[k][1];
        sr += cand[k][2];
    }
    const int neighbours = n - 1;
    const int mb = Interior ? sb >> 3 : sb / neighbours;
    const int mg = Interior ? sg >> 3 : sg / neighbours;
    const int mr = Interior ? sr >> 3 : sr / neighbours;
    const int d = gb[mb] + gg[mg] + gr[mr] - g[0];
    if ((d < 0 ? -d : d) <= threshold) return false;
    // Partial selection sort by exchanges: q passes leave the q smallest in front (9 -> 4,
    // 6 -> 2, 4 -> 1); the first smallest after them is the lower median.
    const int q = (n - 1) / 2;
    for (int i = 0; i < q; ++i) {
        int best = i;
        for (int j = i + 1; j < n; ++j) {
            if (g[j] < g[best]) best = j;
        }
        const int tg = g[i];
        g[i] = g[best];
        g[best] = tg;
        const uint8_t* tc = cand[i];
        cand[i] = cand[best];
        cand[best] = tc;
    }
    int pick = q;
    for (int j = q + 1; j < n; ++j) {
        if (g[j] < g[pick]) pick = j;
    }
    *chosen = cand[pick];
    return true;
}

}  // namespace

void filter_remove_noise(FilterWork* w, int32_t strength) {
    const int32_t width = w->width, height = w->height;
    if (width <= 0 || height <= 0) return;
    const int32_t threshold = clamp_arg(strength, 0, 255) ^ 255;
    const uint8_t* gb = w->grey;
    const uint8_t* gg = w->grey + 256;
    const uint8_t* gr = w->grey + 512;
    const int32_t n = 3 * width;
    run_row_bands(w, height, [&](int32_t y0, int32_t y1) {
        // Grey values of three rows, reused as the window moves up.
        std::vector<uint8_t> grey_rows(static_cast<size_t>(3 * width));
        std::vector<uint8_t> effect(static_cast<size_t>(n));
        int32_t grey_of[3] = {-1, -1, -1};
        auto grey_row = [&](int32_t y) -> const uint8_t* {
            const int slot = static_cast<int>(((y % 3) + 3) % 3);
            uint8_t* g = grey_rows.data() + static_cast<size_t>(slot) * width;
            if (grey_of[slot] != y) {
                const uint8_t* p = row_of(w->source, w->stride, y);
                for (int32_t x = 0; x < width; ++x, p += 3)
                    g[x] = static_cast<uint8_t>(gb[p[0]] + gg[p[1]] + gr[p[2]]);
                grey_of[slot] = y;
            }
            return g;
        };
        for (int32_t y = y0; y < y1; ++y) {
            NoiseRows r;
            for (int k = 0; k < 3; ++k) {
                const int32_t ry = y - 1 + k;
                const bool inside = ry >= 0 && ry < height;
                r.pixels[k] = inside ? row_of(w->source, w->stride, ry) : nullptr;
                r.grey[k] = inside ? grey_row(ry) : nullptr;
            }
            const uint8_t* src = r.pixels[1];
            const bool inner_row = y > 0 && y < height - 1;
            for (int32_t x = 0; x < width; ++x) {
                const uint8_t* chosen = nullptr;
                const bool changed = inner_row && x > 0 && x < width - 1
                                         ? denoise_pixel<true>(r, x, width, threshold, gb, gg, gr, &chosen)
                                         : denoise_pixel<false>(r, x, width, threshold, gb, gg, gr, &chosen);
                const uint8_t* e = changed ? chosen : src + 3 * x;
                uint8_t* o = effect.data() + 3 * x;
                o[0] = e[0];
                o[1] = e[1];
                o[2] = e[2];
            }
            put_row_masked(w, y, src, effect.data(), row_of(w->destination, w->stride, y));
        }
    });
}
