#include "kernels/geometry.h"

#include <cmath>
#include <cstring>
#include <new>

#include "common/stride.h"

namespace {

template <int Bpp>
void copy_pixel(uint8_t* d, const uint8_t* s) {
    d[0] = s[0];
    if (Bpp == 3) {
        d[1] = s[1];
        d[2] = s[2];
    }
}

// dst[r][i] = src[row(r, i)][col(r, i)] over a destination of dw x dh.
template <int Bpp, typename Map>
void remap(const DibPair& p, int32_t dw, int32_t dh, Map map, bool tiled) {
    const int64_t ss = row_stride_bytes(p.width, Bpp * 8);
    const int64_t ds = row_stride_bytes(dw, Bpp * 8);
    // Tiles keep the quarter turns, which read the source across its rows, within the cache.
    const int32_t tile_rows = tiled ? 64 : 1;
    const int32_t tile_cols = tiled ? 64 : dw;
    for (int32_t r0 = 0; r0 < dh; r0 += tile_rows) {
        const int32_t r1 = r0 + tile_rows < dh ? r0 + tile_rows : dh;
        for (int32_t i0 = 0; i0 < dw; i0 += tile_cols) {
            const int32_t i1 = i0 + tile_cols < dw ? i0 + tile_cols : dw;
            for (int32_t r = r0; r < r1; ++r) {
                uint8_t* d = p.destination + r * ds + static_cast<int64_t>(i0) * Bpp;
                for (int32_t i = i0; i < i1; ++i, d += Bpp) {
                    int32_t sr, sc;
                    map(r, i, &sr, &sc);
                    copy_pixel<Bpp>(d, p.source + sr * ss + static_cast<int64_t>(sc) * Bpp);
                }
            }
        }
    }
}

template <int Bpp>
void rotate90(const DibPair& p) {
    const int32_t w = p.width;
    remap<Bpp>(
        p, p.height, p.width,
        [w](int32_t r, int32_t i, int32_t* sr, int32_t* sc) {
            *sr = i;
            *sc = w - 1 - r;
        },
        true);
}

template <int Bpp>
void rotate180(const DibPair& p) {
    const int32_t w = p.width, h = p.height;
    remap<Bpp>(
        p, w, h,
        [w, h](int32_t r, int32_t i, int32_t* sr, int32_t* sc) {
            *sr = h - 1 - r;
            *sc = w - 1 - i;
        },
        false);
}

template <int Bpp>
void rotate270(const DibPair& p) {
    const int32_t h = p.height;
    remap<Bpp>(
        p, p.height, p.width,
        [h](int32_t r, int32_t i, int32_t* sr, int32_t* sc) {
            *sr = h - 1 - i;
            *sc = r;
        },
        true);
}

template <int Bpp>
void mirror_rows(const DibPair& p) {
    const int32_t w = p.width;
    remap<Bpp>(
        p, w, p.height,
        [w](int32_t r, int32_t i, int32_t* sr, int32_t* sc) {
            *sr = r;
            *sc = w - 1 - i;
        },
        false);
}

void flip_rows(const DibPair& p, int bits) {
    const int64_t stride = row_stride_bytes(p.width, bits);
    for (int32_t r = 0; r < p.height; ++r) {
        std::memcpy(p.destination + r * stride, p.source + (p.height - 1 - r) * stride,
                    static_cast<size_t>(stride));
    }
}

// The destination is laid out for the requested rectangle, so a rectangle that reaches past
// the image cannot be clipped into it: its rows would land at the wrong stride. Such a
// rectangle is refused with nothing written; an empty or inverted one copies nothing.
bool crop(const DibPair& p, int bits, int left, int top, int right, int bottom) {
    if (left > right || top > bottom) return true;
    if (left < 0 || top < 0 || right >= p.width || bottom >= p.height) return false;
    const int bpp = bits / 8;
    const int64_t ss = row_stride_bytes(p.width, bits);
    const int64_t ds = row_stride_bytes(static_cast<int64_t>(right) - left + 1, bits);
    const size_t bytes = static_cast<size_t>(right - left + 1) * bpp;
    int64_t r = 0;
    for (int64_t sr = p.height - 1 - bottom; sr <= p.height - 1 - top; ++sr, ++r) {
        std::memcpy(p.destination + r * ds, p.source + sr * ss + static_cast<int64_t>(left) * bpp, bytes);
    }
    return true;
}

struct Turn {
    int32_t sn;
    int32_t cs;
};

Turn turn_for(int angle) {
    const double radians = (angle / 10.0) * 3.1415926535 / 180.0;
    return {static_cast<int32_t>(256.0 * std::sin(radians)), static_cast<int32_t>(256.0 * std::cos(radians))};
}

// A pass resamples n values spaced src_step apart into m values spaced dst_step apart.
struct PassPlan {
    int32_t n = 0;
    int32_t m = 0;
    bool shrink = false;
    int64_t k = 0;  // area window in 1/32768 of a source value
    uint8_t* table = nullptr;
    int64_t table_size = 0;
    int64_t step = 0;  // linear: source advance per output in 1/65536
};

void release_plan(PassPlan* plan) {
    delete[] plan->table;
    plan->table = nullptr;
}

bool make_plan(int32_t n, int32_t m, PassPlan* plan) {
    plan->n = n;
    plan->m = m;
    if (m > 2 * static_cast<int64_t>(n)) return false;
    if (m >= n) {
        plan->shrink = false;
        plan->step = static_cast<int64_t>(n) * 65536 / m;
        return true;
    }
    plan->shrink = true;
    const double x = static_cast<double>(n) / m;
    plan->k = static_cast<int64_t>(32768.0 * x);
    plan->table_size = resize_shrink_table_bytes(n, m);
    plan->table = new (std::nothrow) uint8_t[static_cast<size_t>(plan->table_size)];
    if (!plan->table) return false;
    for (int64_t i = 0; i < plan->table_size; ++i) {
        const int64_t q = static_cast<int64_t>(static_cast<double>(i) / x);
        plan->table[i] = static_cast<uint8_t>(q > 255 ? 255 : q);
    }
    return true;
}

// The area window (in 1/32768 of a source value) up to which the shrink's sums fit 32 bits:
// with k at most 2^30, the position stays below 2^31 and a sum of at most 2^15 + 2 values of 255
// far below.
constexpr int64_t kNarrowShrinkWindow = int64_t{1} << 30;

// The shrinking pass of run_pass, its sums and positions of type Sum.
template <typename Sum>
void shrink_run(const PassPlan& plan, const uint8_t* src, int64_t src_step, uint8_t* dst, int64_t dst_step) {
    const int32_t n = plan.n;
    const int32_t m = plan.m;
    const Sum k = static_cast<Sum>(plan.k);
    const Sum last_index = static_cast<Sum>(plan.table_size - 1);
    const uint8_t* table = plan.table;
    auto lookup = [&](Sum i) { return table[i < last_index ? i : last_index]; };
    Sum s = 0;
    Sum p = 0;
    int32_t out = 0;
    const uint8_t* in = src;
    uint8_t* to = dst;
    for (int32_t i = 0; i < n - 1; ++i, in += src_step) {
        const Sum value = *in;
        p += 32768;
        if (p < k) {
            s += value;
            continue;
        }
        const Sum c = value * (p - k) / 32768;
        if (out < m) {
            *to = lookup(s + value - c);
            to += dst_step;
            ++out;
        }
        s = c;
        p -= k;
    }
    const Sum value = *in;
    p += 32768;
    const Sum counted = p < k ? value : value - value * (p - k) / 32768;
    if (out < m) *to = lookup(s + counted);
}

void run_pass(const PassPlan& plan, const uint8_t* src, int64_t src_step, uint8_t* dst, int64_t dst_step) {
    const int32_t n = plan.n;
    const int32_t m = plan.m;
    if (!plan.shrink) {
        for (int32_t k = 0; k < m; ++k) {
            const int64_t pos = k * plan.step;
            const int64_t l = pos >> 16;
            const int64_t f = pos & 65535;
            const int64_t a = src[l * src_step];
            int64_t value = a;
            if (l < n - 1) value = (a * (65536 - f) + src[(l + 1) * src_step] * f) >> 16;
            dst[k * dst_step] = static_cast<uint8_t>(value);
        }
        return;
    }
    // The sums fit 32 bits unless the window spans more than 32,768 source values; 64-bit sums
    // cost a 32-bit build several times as much on the thumbnails' every row.
    if (plan.k <= kNarrowShrinkWindow)
        shrink_run<int32_t>(plan, src, src_step, dst, dst_step);
    else
        shrink_run<int64_t>(plan, src, src_step, dst, dst_step);
}

// Along rows: each of height rows of width pixels into new_width pixels.
bool horizontal_pass(const uint8_t* src, int32_t width, int32_t height, uint8_t* dst, int32_t new_width) {
    PassPlan plan;
    if (!make_plan(width, new_width, &plan)) return false;
    const int64_t ss = row_stride_bytes(width, 24);
    const int64_t ds = row_stride_bytes(new_width, 24);
    for (int32_t y = 0; y < height; ++y) {
        for (int ch = 0; ch < 3; ++ch) run_pass(plan, src + y * ss + ch, 3, dst + y * ds + ch, 3);
    }
    release_plan(&plan);
    return true;
}

// Along columns: height rows into new_height rows, width unchanged. The pass walks whole
// rows, keeping one running sum per column byte, since the window positions depend only on
// the row and a column-by-column walk would touch a new cache line for every value.
bool vertical_pass(const uint8_t* src, int32_t width, int32_t height, uint8_t* dst, int32_t new_height) {
    PassPlan plan;
    if (!make_plan(height, new_height, &plan)) return false;
    const int64_t stride = row_stride_bytes(width, 24);
    const int64_t bytes = 3 * static_cast<int64_t>(width);
    const int32_t n = plan.n, m = plan.m;
    if (!plan.shrink) {
        for (int32_t k = 0; k < m; ++k) {
            const int64_t pos = k * plan.step;
            const int64_t l = pos >> 16;
            const int32_t f = static_cast<int32_t>(pos & 65535);
            const uint8_t* a = src + l * stride;
            uint8_t* d = dst + k * stride;
            if (l < n - 1) {
                const uint8_t* b = a + stride;
                for (int64_t x = 0; x < bytes; ++x) {
                    d[x] = static_cast<uint8_t>(
                        (static_cast<int64_t>(a[x]) * (65536 - f) + static_cast<int64_t>(b[x]) * f) >> 16);
                }
            } else {
                std::memcpy(d, a, static_cast<size_t>(bytes));
            }
        }
        return true;
    }
    int32_t* sums = new (std::nothrow) int32_t[static_cast<size_t>(bytes)];
    if (!sums) {
        release_plan(&plan);
        return false;
    }
    std::memset(sums, 0, static_cast<size_t>(bytes) * sizeof(int32_t));
    const int64_t last_index = plan.table_size - 1;
    const uint8_t* table = plan.table;
    auto lookup = [&](int64_t i) { return table[i < last_index ? i : last_index]; };
    int64_t p = 0;
    int32_t out = 0;
    for (int32_t i = 0; i < n - 1; ++i) {
        const uint8_t* row = src + i * stride;
        p += 32768;
        if (p < plan.k) {
            for (int64_t x = 0; x < bytes; ++x) sums[x] += row[x];
            continue;
        }
        const int32_t over = static_cast<int32_t>(p - plan.k);
        if (out < m) {
            uint8_t* d = dst + static_cast<int64_t>(out) * stride;
            for (int64_t x = 0; x < bytes; ++x) {
                const int32_t v = row[x];
                const int32_t c = v * over / 32768;
                d[x] = lookup(sums[x] + v - c);
                sums[x] = c;
            }
            ++out;
        }
        p -= plan.k;
    }
    p += 32768;
    if (out < m) {
        const uint8_t* row = src + static_cast<int64_t>(n - 1) * stride;
        uint8_t* d = dst + static_cast<int64_t>(out) * stride;
        const int32_t over = p < plan.k ? 0 : static_cast<int32_t>(p - plan.k);
        for (int64_t x = 0; x < bytes; ++x) {
            const int32_t v = row[x];
            d[x] = lookup(sums[x] + v - v * over / 32768);
        }
    }
    delete[] sums;
    release_plan(&plan);
    return true;
}

}  // namespace

int64_t resize_shrink_table_bytes(int32_t n, int32_t m) {
    if (m <= 0 || n <= m) return 0;
    const double x = static_cast<double>(n) / m;
    const int64_t k = static_cast<int64_t>(32768.0 * x);
    // The table is indexed by the sum of the values of one output window: at most floor(x)
    // whole values and two partial ones. Sizing it by k (32,768 x) instead would ask for
    // 800 MB to shrink 25,000 pixels to 1.
    const int64_t needed = 255 * (static_cast<int64_t>(x) + 2) + 1;
    return needed < k ? needed : k;
}

void rotate90_8(const DibPair& p) {
    rotate90<1>(p);
}
void rotate90_24(const DibPair& p) {
    rotate90<3>(p);
}
void rotate180_8(const DibPair& p) {
    rotate180<1>(p);
}
void rotate180_24(const DibPair& p) {
    rotate180<3>(p);
}
void rotate270_8(const DibPair& p) {
    rotate270<1>(p);
}
void rotate270_24(const DibPair& p) {
    rotate270<3>(p);
}
void mirror_rows_8(const DibPair& p) {
    mirror_rows<1>(p);
}
void mirror_rows_24(const DibPair& p) {
    mirror_rows<3>(p);
}
void flip_rows_8(const DibPair& p) {
    flip_rows(p, 8);
}
void flip_rows_24(const DibPair& p) {
    flip_rows(p, 24);
}

bool rotate_flip_pixels(const DibPair& pair, int type, int bits) {
    using Routine = void (*)(const DibPair&);
    static const Routine k8[] = {rotate90_8, rotate180_8, rotate270_8, mirror_rows_8, flip_rows_8};
    static const Routine k24[] = {rotate90_24, rotate180_24, rotate270_24, mirror_rows_24, flip_rows_24};
    if (type < 1 || type > 5 || (bits != 8 && bits != 24)) return false;
    if (pair.width <= 0 || pair.height <= 0) return true;
    (bits == 8 ? k8 : k24)[type - 1](pair);
    return true;
}

bool crop_pixels_8(const DibPair& p, int left, int top, int right, int bottom) {
    return crop(p, 8, left, top, right, bottom);
}
bool crop_pixels_24(const DibPair& p, int left, int top, int right, int bottom) {
    return crop(p, 24, left, top, right, bottom);
}

bool crop_pixels(const DibPair& pair, int bits, int left, int top, int right, int bottom) {
    if (bits != 8 && bits != 24) return false;
    return crop(pair, bits, left, top, right, bottom);
}

void rotate_pixels_nearest(const DibPair& p, int angle, const uint8_t* background) {
    const Turn t = turn_for(angle);
    const int32_t w = p.width, h = p.height;
    const int32_t cx = w >> 1, cy = h >> 1;
    const int64_t stride = row_stride_bytes(w, 24);
    for (int32_t y = 0; y < h; ++y) {
        int32_t u = 256 * cx + (0 - cx) * t.cs - (y - cy) * t.sn;
        int32_t v = 256 * cy + (0 - cx) * t.sn + (y - cy) * t.cs;
        uint8_t* d = p.destination + y * stride;
        for (int32_t x = 0; x < w; ++x, d += 3, u += t.cs, v += t.sn) {
            const int32_t sx = u >> 8, sy = v >> 8;
            if (u >= 0 && v >= 0 && sx < w && sy < h) {
                const uint8_t* s = p.source + sy * stride + 3 * static_cast<int64_t>(sx);
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
            } else {
                d[0] = background[2];
                d[1] = background[1];
                d[2] = background[0];
            }
        }
    }
}

void rotate_pixels_smooth(const DibPair& p, int angle, const uint8_t* background, int dw, int dh) {
    if (dw <= 0 || dh <= 0) return;
    const Turn t = turn_for(angle);
    const int32_t w = p.width, h = p.height;
    const int32_t cx = w >> 1, cy = h >> 1;
    const int32_t dcx = dw >> 1, dcy = dh >> 1;
    const int64_t ss = row_stride_bytes(w, 24);
    const int64_t ds = row_stride_bytes(dw, 24);
    const uint8_t bg[3] = {background[2], background[1], background[0]};
    for (int32_t y = 0; y < dh; ++y) {
        int32_t u = 256 * cx + (0 - dcx) * t.cs - (y - dcy) * t.sn;
        int32_t v = 256 * cy + (0 - dcx) * t.sn + (y - dcy) * t.cs;
        uint8_t* d = p.destination + y * ds;
        for (int32_t x = 0; x < dw; ++x, d += 3, u += t.cs, v += t.sn) {
            const int32_t x0 = u >> 8, y0 = v >> 8;
            const int32_t fx = u & 255, fy = v & 255;
            const bool row0 = v >= 0 && y0 < h;
            const bool row1 = v >= -256 && y0 + 1 < h;
            const bool col0 = u >= 0 && x0 < w;
            const bool col1 = u >= -256 && x0 + 1 < w;
            auto at = [&](int32_t sx, int32_t sy) {
                return p.source + sy * ss + 3 * static_cast<int64_t>(sx);
            };
            const uint8_t* s00 = row0 && col0 ? at(x0, y0) : bg;
            const uint8_t* s10 = row0 && col1 ? at(x0 + 1, y0) : bg;
            const uint8_t* s01 = row1 && col0 ? at(x0, y0 + 1) : bg;
            const uint8_t* s11 = row1 && col1 ? at(x0 + 1, y0 + 1) : bg;
            for (int ch = 0; ch < 3; ++ch) {
                const int32_t top = (256 - fx) * s01[ch] + fx * s11[ch];
                const int32_t bottom = fx * s10[ch] + (256 - fx) * s00[ch];
                d[ch] = static_cast<uint8_t>((fy * top + (256 - fy) * bottom) >> 16);
            }
        }
    }
}

bool resize_pixels(DibPair& pair, int32_t new_width, int32_t new_height) {
    if (new_width <= 0 || new_height <= 0 || new_width > kMaxResizeDimension ||
        new_height > kMaxResizeDimension) {
        return false;
    }
    if (pair.width <= 0 || pair.height <= 0) return false;
    // Larger enlargements are made in several steps by the callers; refuse them before any
    // row is written.
    if (new_width > 2 * static_cast<int64_t>(pair.width) ||
        new_height > 2 * static_cast<int64_t>(pair.height)) {
        return false;
    }
    if (new_height == pair.height) {
        if (new_width == pair.width) return false;
        return horizontal_pass(pair.source, pair.width, pair.height, pair.destination, new_width);
    }
    if (new_width == pair.width) {
        return vertical_pass(pair.source, pair.width, pair.height, pair.destination, new_height);
    }
    const int64_t bytes = row_stride_bytes(pair.width, 24) * new_height;
    uint8_t* temp = new (std::nothrow) uint8_t[static_cast<size_t>(bytes)];
    if (!temp) return false;
    bool ok = vertical_pass(pair.source, pair.width, pair.height, temp, new_height) &&
              horizontal_pass(temp, pair.width, new_height, pair.destination, new_width);
    // The record keeps the caller's source and height: pointing it at the temporary rows
    // would leave it referring to freed memory.
    delete[] temp;
    return ok;
}
