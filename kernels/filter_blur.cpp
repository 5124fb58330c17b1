// Box blurs, soft focus and the two steps of the unsharp mask.
#include <cstring>
#include <vector>

#include "kernels/filter_rows.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include "kernels/filters.h"

using namespace filter_detail;

namespace {

// The (2R + 1)^2 box mean of destination rows [y0, y1) with coordinates clamped to the image
// (edge pixels replicated), through `divide` (Div9Table or Div25Table), into out rows.
// Any width and height of at least 1 work: a clamped neighbourhood never leaves the image.
template <int R>
void box_rows(const FilterWork* w, int32_t y0, int32_t y1, int32_t strength,
              const std::function<void(int32_t, const uint8_t*)>& emit) {
    const int32_t width = w->width, height = w->height, n = 3 * width;
    const uint8_t* divide = R == 1 ? w->div9 : w->div25;
    // Vertical sums with R replicated pixels on each side, so the horizontal sum has no tests.
    std::vector<uint16_t> vsum(static_cast<size_t>(3 * (width + 2 * R)));
    std::vector<uint16_t> hsum(static_cast<size_t>(n));
    std::vector<uint8_t> effect(static_cast<size_t>(n));
    for (int32_t y = y0; y < y1; ++y) {
        const uint8_t* rows[2 * R + 1];
        for (int j = -R; j <= R; ++j)
            rows[j + R] = row_of(w->source, w->stride, clamp_arg(y + j, 0, height - 1));
        uint16_t* v = vsum.data() + 3 * R;
        int32_t i = 0;
#if defined(__SSE2__)
        const __m128i zero = _mm_setzero_si128();
        for (; i + 8 <= n; i += 8) {
            __m128i s = zero;
            for (int j = 0; j <= 2 * R; ++j) {
                const __m128i b = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(rows[j] + i));
                s = _mm_add_epi16(s, _mm_unpacklo_epi8(b, zero));
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(v + i), s);
        }
#endif
        for (; i < n; ++i) {
            uint16_t s = 0;
            for (int j = 0; j <= 2 * R; ++j) s = static_cast<uint16_t>(s + rows[j][i]);
            v[i] = s;
        }
        for (int p = 1; p <= R; ++p) {
            for (int c = 0; c < 3; ++c) {
                v[-3 * p + c] = v[c];
                v[n - 3 + 3 * p + c] = v[n - 3 + c];
            }
        }
        // Horizontal sums (at most 25 x 255, so 16 bits hold them), then the divide table.
        i = 0;
#if defined(__SSE2__)
        for (; i + 8 <= n; i += 8) {
            __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + i - 3 * R));
            for (int j = 1 - R; j <= R; ++j) {
                s = _mm_add_epi16(s, _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + i + 3 * j)));
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(hsum.data() + i), s);
        }
#endif
        for (; i < n; ++i) {
            uint16_t s = 0;
            for (int j = -R; j <= R; ++j) s = static_cast<uint16_t>(s + v[i + 3 * j]);
            hsum[static_cast<size_t>(i)] = s;
        }
        for (i = 0; i < n; ++i) effect[static_cast<size_t>(i)] = divide[hsum[static_cast<size_t>(i)]];
        const uint8_t* src = row_of(w->source, w->stride, y);
        mix_strength(w->blend, strength, src, effect.data(), n);
        emit(y, effect.data());
    }
}

template <int R>
void blur_box(FilterWork* w, int32_t strength) {
    if (w->width <= 0 || w->height <= 0) return;
    strength = clamp_arg(strength, 0, 255);
    run_row_bands(w, w->height, [&](int32_t y0, int32_t y1) {
        box_rows<R>(w, y0, y1, strength, [&](int32_t y, const uint8_t* e) {
            put_row_masked(w, y, row_of(w->source, w->stride, y), e, row_of(w->destination, w->stride, y));
        });
    });
}

}  // namespace

void blur_box3(FilterWork* work, int32_t strength) {
    blur_box<1>(work, strength);
}

void blur_box5(FilterWork* work, int32_t strength) {
    blur_box<2>(work, strength);
}

void soft_focus_blend(FilterWork* w, int32_t strength, const uint8_t* blurred) {
    if (w->width <= 0 || w->height <= 0) return;
    strength = clamp_arg(strength, 0, 255);
    const int32_t n = 3 * w->width;
    run_row_bands(w, w->height, [&](int32_t y0, int32_t y1) {
        std::vector<uint8_t> effect(static_cast<size_t>(n));
        for (int32_t y = y0; y < y1; ++y) {
            const uint8_t* src = row_of(w->source, w->stride, y);
            std::memcpy(effect.data(), row_of(blurred, w->stride, y), static_cast<size_t>(n));
            mix_strength(w->blend, strength, src, effect.data(), n);
            put_row_masked(w, y, src, effect.data(), row_of(w->destination, w->stride, y));
        }
    });
}

void unsharp_difference(FilterWork* w) {
    if (w->width <= 0 || w->height <= 0) return;
    const int32_t n = 3 * w->width;
    run_row_bands(w, w->height, [&](int32_t y0, int32_t y1) {
        box_rows<2>(w, y0, y1, 255, [&](int32_t y, const uint8_t* e) {
            const uint8_t* src = row_of(w->source, w->stride, y);
            uint8_t* dst = row_of(w->destination, w->stride, y);
            put_row_masked(w, y, src, e, dst);
            int8_t* diff = w->difference + static_cast<int64_t>(y) * w->stride;
            for (int32_t i = 0; i < n; ++i) {
                const int d = clamp_arg(src[i] - dst[i], -128, 127);
                diff[i] = static_cast<int8_t>(d);
            }
        });
    });
}

void unsharp_apply(FilterWork* w, int32_t amount, int32_t threshold) {
    if (w->width <= 0 || w->height <= 0) return;
    amount = clamp_arg(amount, 0, 100);
    // D never exceeds 3 x 128, so any larger threshold keeps every pixel.
    threshold = clamp_arg(threshold, 0, 385);
    const int16_t* add = w->unsharp_rows + 256 * amount + 128;
    const uint8_t* clamp = w->unsharp_clamp;
    const uint8_t* t = w->blend;
    run_row_bands(w, w->height, [&](int32_t y0, int32_t y1) {
        for (int32_t y = y0; y < y1; ++y) {
            const uint8_t* s = row_of(w->source, w->stride, y);
            const int8_t* d = w->difference + static_cast<int64_t>(y) * w->stride;
            uint8_t* out = row_of(w->destination, w->stride, y);
            const uint8_t* m = w->mask ? w->mask + static_cast<int64_t>(y) * w->width : nullptr;
            for (int32_t x = 0; x < w->width; ++x, s += 3, d += 3, out += 3) {
                const int mv = m ? m[x] : 0;
                const int sum =
                    (d[0] < 0 ? -d[0] : d[0]) + (d[1] < 0 ? -d[1] : d[1]) + (d[2] < 0 ? -d[2] : d[2]);
                if (mv == 255 || sum <= threshold) {
                    out[0] = s[0];
                    out[1] = s[1];
                    out[2] = s[2];
                    continue;
                }
                uint8_t e[3];
                for (int c = 0; c < 3; ++c) e[c] = clamp[s[c] + add[d[c]]];
                if (mv == 0) {
                    out[0] = e[0];
                    out[1] = e[1];
                    out[2] = e[2];
                } else {
                    const uint8_t* k = t + 256 * mv;
                    const uint8_t* f = t + 256 * (255 - mv);
                    for (int c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>(k[s[c]] + f[e[c]]);
                }
            }
        }
    });
}
