#include "kernels/filter_work.h"

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "common/stride.h"
#include "kernels/filter_rows.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

std::atomic<int32_t> g_helpers_running{0};

// Below this many pixels a second thread costs more than it saves.
constexpr int64_t kPixelsPerThread = 1 << 17;
constexpr int32_t kMaxThreads = 16;

}  // namespace

void set_filter_image(FilterWork* work, int32_t width, int32_t height, const uint8_t* source,
                      uint8_t* destination, const uint8_t* mask) {
    work->width = width;
    work->height = height;
    work->stride = static_cast<int32_t>(row_stride_bytes(width < 0 ? 0 : width, 24));
    work->source = source;
    work->destination = destination;
    work->mask = mask;
}

uint8_t* filter_build_div9_table(uint8_t* storage, FilterWork* work) {
    work->div9 = build_div9_table(storage);
    return storage;
}

uint8_t* filter_build_div25_table(uint8_t* storage, FilterWork* work) {
    work->div25 = build_div25_table(storage);
    return storage;
}

int32_t filter_helper_threads_running() {
    return g_helpers_running.load();
}

namespace filter_detail {

void put_row_masked(const FilterWork* w, int32_t y, const uint8_t* keep, const uint8_t* effect,
                    uint8_t* out) {
    const int32_t n = 3 * w->width;
    if (!w->mask) {
        if (out != effect) std::memcpy(out, effect, static_cast<size_t>(n));
        return;
    }
    const uint8_t* m = w->mask + static_cast<int64_t>(y) * w->width;
    const uint8_t* t = w->blend;
    for (int32_t x = 0; x < w->width; ++x, keep += 3, effect += 3, out += 3) {
        const int mv = m[x];
        if (mv == 0) {
            out[0] = effect[0];
            out[1] = effect[1];
            out[2] = effect[2];
        } else if (mv == 255) {
            out[0] = keep[0];
            out[1] = keep[1];
            out[2] = keep[2];
        } else {
            const uint8_t* k = t + 256 * mv;
            const uint8_t* e = t + 256 * (255 - mv);
            out[0] = static_cast<uint8_t>(k[keep[0]] + e[effect[0]]);
            out[1] = static_cast<uint8_t>(k[keep[1]] + e[effect[1]]);
            out[2] = static_cast<uint8_t>(k[keep[2]] + e[effect[2]]);
        }
    }
}

void mix_strength(const uint8_t* blend, int32_t a, const uint8_t* source, uint8_t* effect, int32_t n) {
    // t[255][v] = v and t[0][v] = 0, so the ends need no lookups.
    if (a == 255) return;
    if (a == 0) {
        for (int32_t i = 0; i < n; ++i) effect[i] = source[i];
        return;
    }
    const uint8_t* te = blend + 256 * a;
    const uint8_t* ts = blend + 256 * (255 - a);
    for (int32_t i = 0; i < n; ++i) effect[i] = static_cast<uint8_t>(te[effect[i]] + ts[source[i]]);
}

void run_row_bands(const FilterWork* w, int32_t rows, const std::function<void(int32_t, int32_t)>& body) {
    if (rows <= 0 || w->width <= 0) return;
    int32_t threads = 1;
    if (w->threads == 0) {
        const int64_t by_size = static_cast<int64_t>(w->width) * rows / kPixelsPerThread;
        const int32_t cores = static_cast<int32_t>(std::thread::hardware_concurrency());
        threads = static_cast<int32_t>(by_size < cores ? by_size : cores);
    } else if (w->threads > 1) {
        threads = w->threads;
    }
    threads = clamp_arg(threads, 1, kMaxThreads);
    if (threads > rows) threads = rows;
    if (threads <= 1) {
        if (!cancelled(w)) body(0, rows);
        return;
    }
    // Several bands per thread even out rows of unequal cost (masked areas, borders).
    const int32_t band = rows / (4 * threads) > 0 ? rows / (4 * threads) : 1;
    std::atomic<int32_t> next{0};
    auto worker = [&] {
        while (!cancelled(w)) {
            const int32_t first = next.fetch_add(band);
            if (first >= rows) break;
            body(first, first + band < rows ? first + band : rows);
        }
    };
    std::vector<std::thread> helpers;
    helpers.reserve(static_cast<size_t>(threads - 1));
    for (int32_t i = 1; i < threads; ++i) {
        g_helpers_running.fetch_add(1);
        try {
            helpers.emplace_back([&worker] {
                worker();
                g_helpers_running.fetch_sub(1);
            });
        } catch (...) {
            // No thread to be had: the bands it would have taken fall to the others.
            g_helpers_running.fetch_sub(1);
            break;
        }
    }
    worker();
    for (std::thread& t : helpers) t.join();
}

namespace {

// The Gaussian's 101 taps are the most any caller passes.
constexpr int32_t kMaxTaps = 2 * kGaussMaxRadius + 1;

#if defined(__SSE2__)
// The weights as (w_k, w_k+1) pairs of 16-bit lanes, a lone last weight paired with 0.
inline int32_t weight_pairs(const int16_t* weights, int32_t taps, __m128i* pairs) {
    int32_t count = 0;
    for (int32_t k = 0; k < taps; k += 2) {
        const uint16_t second = k + 1 < taps ? static_cast<uint16_t>(weights[k + 1]) : 0;
        const uint32_t pair =
            static_cast<uint32_t>(static_cast<uint16_t>(weights[k])) | (static_cast<uint32_t>(second) << 16);
        pairs[count++] = _mm_set1_epi32(static_cast<int32_t>(pair));
    }
    return count;
}

// Four vectors of 32-bit sums for bytes i..i+15: two taps at a time, their bytes interleaved
// as 16-bit pairs that meet a weight pair in one multiply-add.
inline void sum16(const uint8_t* const* rows, const __m128i* pairs, int32_t taps, int32_t i, __m128i* s) {
    const __m128i zero = _mm_setzero_si128();
    __m128i s0 = zero, s1 = zero, s2 = zero, s3 = zero;
    int32_t k = 0;
    for (; k + 2 <= taps; k += 2) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k + 1] + i));
        const __m128i wp = pairs[k >> 1];
        const __m128i lo = _mm_unpacklo_epi8(a, b);
        const __m128i hi = _mm_unpackhi_epi8(a, b);
        s0 = _mm_add_epi32(s0, _mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), wp));
        s1 = _mm_add_epi32(s1, _mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), wp));
        s2 = _mm_add_epi32(s2, _mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), wp));
        s3 = _mm_add_epi32(s3, _mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), wp));
    }
    if (k < taps) {
        // The lone tap against zero bytes: its pair's second weight is 0.
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + i));
        const __m128i wp = pairs[k >> 1];
        const __m128i lo = _mm_unpacklo_epi8(a, zero);
        const __m128i hi = _mm_unpackhi_epi8(a, zero);
        s0 = _mm_add_epi32(s0, _mm_madd_epi16(_mm_unpacklo_epi16(lo, zero), wp));
        s1 = _mm_add_epi32(s1, _mm_madd_epi16(_mm_unpackhi_epi16(lo, zero), wp));
        s2 = _mm_add_epi32(s2, _mm_madd_epi16(_mm_unpacklo_epi16(hi, zero), wp));
        s3 = _mm_add_epi32(s3, _mm_madd_epi16(_mm_unpackhi_epi16(hi, zero), wp));
    }
    s[0] = s0;
    s[1] = s1;
    s[2] = s2;
    s[3] = s3;
}
#endif

inline int32_t sum1(const uint8_t* const* rows, const int16_t* weights, int32_t taps, int32_t i) {
    int32_t s = 0;
    for (int32_t k = 0; k < taps; ++k) s += weights[k] * rows[k][i];
    return s;
}

}  // namespace

void weighted_sum(const uint8_t* const* rows, const int16_t* weights, int32_t taps, int32_t n, int32_t* out) {
    int32_t i = 0;
#if defined(__SSE2__)
    __m128i pairs[kMaxTaps / 2 + 1];
    weight_pairs(weights, taps, pairs);
    for (; i + 16 <= n; i += 16) {
        __m128i s[4];
        sum16(rows, pairs, taps, i, s);
        for (int j = 0; j < 4; ++j) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 4 * j), s[j]);
    }
#endif
    for (; i < n; ++i) out[i] = sum1(rows, weights, taps, i);
}

void weighted_sum_bytes(const uint8_t* const* rows, const int16_t* weights, int32_t taps, int32_t n,
                        int32_t bias, int32_t shift, uint8_t* out) {
    int32_t i = 0;
#if defined(__SSE2__)
    const __m128i b = _mm_set1_epi32(bias);
    const __m128i count = _mm_cvtsi32_si128(shift);
    __m128i pairs[kMaxTaps / 2 + 1];
    weight_pairs(weights, taps, pairs);
    for (; i + 16 <= n; i += 16) {
        __m128i s[4];
        sum16(rows, pairs, taps, i, s);
        for (int j = 0; j < 4; ++j) s[j] = _mm_sra_epi32(_mm_add_epi32(s[j], b), count);
        // Signed saturation to 16 bits, then unsigned to 8: the clamp to 0..255.
        const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(s[0], s[1]), _mm_packs_epi32(s[2], s[3]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), packed);
    }
#endif
    for (; i < n; ++i)
        out[i] = static_cast<uint8_t>(clamp_arg((sum1(rows, weights, taps, i) + bias) >> shift, 0, 255));
}

}  // namespace filter_detail
