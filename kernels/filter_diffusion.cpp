// Diffusion (random offsets from the calling thread's generator) and the painting effect.
#include <vector>

#include "kernels/filter_random.h"
#include "kernels/filter_rows.h"
#include "kernels/filters.h"

using namespace filter_detail;

void apply_diffusion(FilterWork* w, int32_t density, int32_t range) {
    const int32_t width = w->width, height = w->height;
    if (width <= 0 || height <= 0) return;
    density = clamp_arg(density, 0, 255);
    // range x 32767 stays inside 32 bits.
    range = clamp_arg(range, 0, 32767);
    const int32_t half = range >> 1;
    // Draws made before each row: two per pixel the mask does not exclude. Knowing them, a band
    // starts its own copy of the generator where the single pass would be, so the numbers
    // land on the same pixels whatever the split.
    std::vector<uint64_t> draws_before(static_cast<size_t>(height) + 1, 0);
    for (int32_t y = 0; y < height; ++y) {
        uint64_t row = 2 * static_cast<uint64_t>(width);
        if (w->mask) {
            const uint8_t* m = w->mask + static_cast<int64_t>(y) * width;
            row = 0;
            for (int32_t x = 0; x < width; ++x) row += m[x] != 255 ? 2 : 0;
        }
        draws_before[static_cast<size_t>(y) + 1] = draws_before[static_cast<size_t>(y)] + row;
    }
    const uint32_t start = filter_random_state();
    const uint8_t* take = w->blend + 256 * density;
    const uint8_t* keep = w->blend + 256 * (255 - density);
    run_row_bands(w, height, [&](int32_t y0, int32_t y1) {
        uint32_t state = filter_random_skip(start, draws_before[static_cast<size_t>(y0)]);
        auto draw = [&state] {
            state = state * 214013u + 2531011u;
            return static_cast<int32_t>((state >> 16) & 32767u);
        };
        std::vector<uint8_t> effect(static_cast<size_t>(3 * width));
        for (int32_t y = y0; y < y1; ++y) {
            const uint8_t* src = row_of(w->source, w->stride, y);
            const uint8_t* m = w->mask ? w->mask + static_cast<int64_t>(y) * width : nullptr;
            for (int32_t x = 0; x < width; ++x) {
                uint8_t* e = effect.data() + 3 * x;
                const uint8_t* s = src + 3 * x;
                if (m && m[x] == 255) {
                    e[0] = s[0];
                    e[1] = s[1];
                    e[2] = s[2];
                    continue;
                }
                const int32_t r1 = draw();
                const int32_t r2 = draw();
                const int32_t sx = clamp_arg(range * r1 / 32767 - half + x, 0, width - 1);
                const int32_t sy = clamp_arg(range * r2 / 32767 - half + y, 0, height - 1);
                const uint8_t* o = row_of(w->source, w->stride, sy) + 3 * sx;
                for (int c = 0; c < 3; ++c) e[c] = static_cast<uint8_t>(take[o[c]] + keep[s[c]]);
            }
            put_row_masked(w, y, src, effect.data(), row_of(w->destination, w->stride, y));
        }
    });
    filter_random_seed(filter_random_skip(start, draws_before[static_cast<size_t>(height)]));
}

namespace {

int32_t reach(int32_t p, int32_t length) {
    const int32_t nearer = p < length - 1 - p ? p : length - 1 - p;
    return nearer < 2 ? nearer : 2;
}

}  // namespace

void painting_effect(FilterWork* w, const int32_t* squares) {
    const int32_t width = w->width, height = w->height;
    if (width <= 0 || height <= 0) return;
    run_row_bands(w, height, [&](int32_t y0, int32_t y1) {
        // q = sq[b] + sq[g] + sq[r] of five rows, reused as the window moves up.
        std::vector<int32_t> q_rows(static_cast<size_t>(5) * width);
        int32_t q_of[5] = {-1, -1, -1, -1, -1};
        auto q_row = [&](int32_t y) -> const int32_t* {
            const int slot = static_cast<int>(y % 5);
            int32_t* q = q_rows.data() + static_cast<size_t>(slot) * width;
            if (q_of[slot] != y) {
                const uint8_t* p = row_of(w->source, w->stride, y);
                for (int32_t x = 0; x < width; ++x, p += 3)
                    q[x] = squares[p[0]] + squares[p[1]] + squares[p[2]];
                q_of[slot] = y;
            }
            return q;
        };
        std::vector<uint8_t> effect(static_cast<size_t>(3 * width));
        for (int32_t y = y0; y < y1; ++y) {
            // Offsets whose both ends lie inside the image: at most the distance to the nearer
            // edge, at most 2.
            const int32_t ay = reach(y, height);
            const uint8_t* rows[5];
            const int32_t* qs[5];
            for (int32_t j = -ay; j <= ay; ++j) {
                rows[j + 2] = row_of(w->source, w->stride, y + j);
                qs[j + 2] = q_row(y + j);
            }
            for (int32_t x = 0; x < width; ++x) {
                const int32_t ax = reach(x, width);
                const int32_t c = qs[2][x];
                const uint8_t* self = rows[2] + 3 * x;
                uint32_t sum[3] = {self[0], self[1], self[2]};
                uint32_t count = 1;
                // Each mirrored pair is met from both ends: the closer pixel counts twice, on
                // a tie each once. Half the offsets (j > 0, or j = 0 and i > 0) cover all pairs.
                for (int32_t j = 0; j <= ay; ++j) {
                    for (int32_t i = j == 0 ? 1 : -ax; i <= ax; ++i) {
                        const int32_t dp = qs[2 + j][x + i] - c, dq = qs[2 - j][x - i] - c;
                        const int32_t ap = dp < 0 ? -dp : dp, aq = dq < 0 ? -dq : dq;
                        const uint8_t* p = rows[2 + j] + 3 * (x + i);
                        const uint8_t* qp = rows[2 - j] + 3 * (x - i);
                        if (aq < ap) {
                            for (int k = 0; k < 3; ++k) sum[k] += 2u * qp[k];
                        } else if (ap < aq) {
                            for (int k = 0; k < 3; ++k) sum[k] += 2u * p[k];
                        } else {
                            for (int k = 0; k < 3; ++k) sum[k] += p[k] + qp[k];
                        }
                        count += 2;
                    }
                }
                uint8_t* e = effect.data() + 3 * x;
                for (int k = 0; k < 3; ++k) e[k] = static_cast<uint8_t>(sum[k] / count);
            }
            const uint8_t* src = rows[2];
            put_row_masked(w, y, src, effect.data(), row_of(w->destination, w->stride, y));
        }
    });
}

void run_painting_style(FilterWork* w, const uint8_t* source, uint8_t* result, uint8_t* scratch,
                        const int32_t* squares) {
    const int32_t width = w->width, height = w->height;
    const uint8_t* mask = w->mask;
    set_filter_image(w, width, height, source, result, mask);
    blur_box3(w, 255);
    set_filter_image(w, width, height, result, scratch, mask);
    painting_effect(w, squares);
    set_filter_image(w, width, height, scratch, result, mask);
    painting_effect(w, squares);
}
