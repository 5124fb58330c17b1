// Deliberately plain reference versions of the pixel kernels: each works one pixel at a
// time straight from the formulas (no lookup tables, no incremental arithmetic), so that a
// slip in a table layout, a centre or a loop bound of the real kernels shows up as a
// difference. Shared by the tests and the benchmarks.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "kernels/adjust_context.h"
#include "kernels/lookup_tables.h"

namespace naive {

struct Rng {
    uint64_t state;
    explicit Rng(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<uint32_t>(state >> 11);
    }
    int range(int lo, int hi) { return lo + static_cast<int>(next() % static_cast<uint32_t>(hi - lo + 1)); }
    uint8_t byte() { return static_cast<uint8_t>(next() >> 5); }
};

inline int stride_of(int width, int bits) { return ((bits == 24 ? 3 * width : width) + 3) & ~3; }

// A bottom-up bitmap with 4-byte padded rows; the padding is filled too, so a kernel that
// writes into it or reads it as a pixel is caught by comparing whole buffers.
struct Image {
    int width = 0;
    int height = 0;
    int bits = 24;
    int stride = 0;
    std::vector<uint8_t> pixels;

    Image() = default;
    Image(int w, int h, int b, uint8_t fill = 0)
        : width(w), height(h), bits(b), stride(stride_of(w, b)), pixels(static_cast<size_t>(stride) * h, fill) {}
    uint8_t* at(int x, int memory_row) { return pixels.data() + memory_row * stride + x * (bits / 8); }
    const uint8_t* at(int x, int memory_row) const {
        return pixels.data() + memory_row * stride + x * (bits / 8);
    }
};

inline Image random_image(int w, int h, int bits, Rng& rng) {
    Image img(w, h, bits);
    for (auto& p : img.pixels) p = rng.byte();
    return img;
}

// A mask with whole runs inside (0) and outside (255) and partial values between.
inline std::vector<uint8_t> random_mask(int w, int h, Rng& rng) {
    std::vector<uint8_t> m(static_cast<size_t>(w) * h);
    for (auto& v : m) {
        const int kind = rng.range(0, 3);
        v = kind == 0 ? 0 : (kind == 1 ? 255 : rng.byte());
    }
    return m;
}

inline int clampi(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// t[a][v] from its formula.
inline int blend(int a, int v) {
    if (a == 0 || v == 0) return 0;
    if (a == 255) return v;
    if (v == 255) return a;
    const int64_t lo = a < v ? a : v, hi = a < v ? v : a;
    return static_cast<int>(((lo * 65536 / 255) * hi + 32768) >> 16);
}

inline int mix(int w, int x, int y) { return blend(w, x) + blend(255 - w, y); }

// The mask rule: m = 255 keeps the source, 0 takes the effect, between mixes.
inline int masked(int m, int s, int e) {
    if (m == 255) return s;
    if (m == 0) return e;
    return mix(m, s, e);
}

inline int rounded(double x) { return static_cast<int>(std::floor(x + 0.5)); }

inline int gamma_value(int i, int j) {
    if (j == 0) return 0;
    const double a = (5 + (2 * i) / 5) * 3.1415926535 / 180.0;
    const double e = std::cos(a) / std::sin(a);
    return rounded(255.0 * std::pow(j / 255.0, e));
}

inline int levels_value(int white, int black, int v) {
    const int w = white - black;
    const int x = v - black;
    if (w <= 0 || x <= 0) return 0;
    const int64_t s = 16711680 / w;
    for (int u = 1; u <= x; ++u) {
        if (u * s > 0xFFFFFF) return 255;
    }
    return static_cast<int>((x * s) >> 16);
}

inline int contrast_value(int k, int pivot, int v) {
    const int64_t p = static_cast<int64_t>(k) * (k <= 0 ? 512 : 2048) * (v - pivot);
    // floor of p / 65536: an arithmetic shift rounds toward minus infinity
    const int64_t q = p >= 0 ? p / 65536 : -((-p + 65535) / 65536);
    return clampi(v + static_cast<int>(q), 0, 255);
}

inline int mean_luma(const Image& img, const uint8_t* palette) {
    if (img.bits != 24 && img.bits != 8) return 128;
    uint64_t total = 0;
    for (int y = 0; y < img.height; ++y) {
        uint64_t sb = 0, sg = 0, sr = 0;
        for (int x = 0; x < img.width; ++x) {
            const uint8_t* p = img.bits == 24 ? img.at(x, y) : palette + 4 * *img.at(x, y);
            sb += 117u * p[0];
            sg += 601u * p[1];
            sr += 306u * p[2];
        }
        total += (sb >> 10) + (sg >> 10) + (sr >> 10);
    }
    return static_cast<int>(total / (static_cast<uint64_t>(img.width) * img.height));
}

inline int posterize_value(int n, int v) {
    const int s = 65536 / n;
    if (v < (s >> 8)) return 0;
    const int end = ((n - 1) * s) >> 8;
    if (v >= end) return 255;
    for (int j = 1;; ++j) {
        if (v >= ((j * s) >> 8) && v < ((j + 1) * s) >> 8) return ((j + 1) * s - s / 2) >> 8;
    }
}

inline int luma_rounded(const uint8_t* p) {
    return rounded(0.114 * p[0]) + rounded(0.587 * p[1]) + rounded(0.299 * p[2]);
}

inline int wrap(int h) { return h < 0 ? h + 360 : (h >= 360 ? h - 360 : h); }

inline int hue_of(int b, int g, int r) {
    const int mx = std::max(r, std::max(g, b)), mn = std::min(r, std::min(g, b));
    const int d = mx - mn;
    if (d == 0) return 0;
    if (r > std::max(g, b)) return wrap(60 * (g - b) / d);
    if (g >= b) return wrap(60 * (b - r) / d + 120);
    return wrap(60 * (r - g) / d + 240);
}

inline int ramp(int h, int d) {
    if (h < 60) return h * d / 60;
    if (h < 180) return d;
    if (h < 240) return (240 - h) * d / 60;
    return 0;
}

inline void hsl(uint8_t* bgr, int shift, int dl, int ds) {
    const int b = bgr[0], g = bgr[1], r = bgr[2];
    const int mx = std::max(r, std::max(g, b)), mn = std::min(r, std::min(g, b));
    const int l = mx + mn, L = l >> 1, d = mx - mn;
    int S = 0;
    if (d != 0) S = l <= 255 ? 255 * d / l : 255 * d / (510 - l);
    const int hue = hue_of(b, g, r);
    const int S2 = clampi(S + ds, 0, 255), L2 = clampi(L + dl, 0, 255);
    if (S2 == 0) {
        bgr[0] = bgr[1] = bgr[2] = static_cast<uint8_t>(L2);
        return;
    }
    const int top = L2 <= 127 ? L2 * (255 + S2) / 255 : L2 + S2 - L2 * S2 / 255;
    const int bottom = 2 * L2 - top, span = top - bottom, h = hue + shift;
    bgr[0] = static_cast<uint8_t>(bottom + ramp(wrap(h - 120), span));
    bgr[1] = static_cast<uint8_t>(bottom + ramp(wrap(h), span));
    bgr[2] = static_cast<uint8_t>(bottom + ramp(wrap(h + 120), span));
}

inline int falloff(int tolerance, int distance) {
    const int t = 3 * tolerance * tolerance;
    if (t == 0) return 255;
    return 255 - static_cast<int>(255ll * distance / t);
}

inline int sq_distance(const uint8_t* bgr, const uint8_t* rgb) {
    const int db = bgr[0] - rgb[2], dg = bgr[1] - rgb[1], dr = bgr[2] - rgb[0];
    return db * db + dg * dg + dr * dr;
}

inline int sgn_share(int weight, int d) {
    const int a = d < 0 ? -d : d;
    const int v = (weight * a) >> 12;
    return d < 0 ? -v : v;
}

inline void restore_luminance(const uint8_t* s, uint8_t* x) {
    const int y0 = s[0] + 587 * s[1] / 114 + 299 * s[2] / 114;
    int xb = x[0], xg = 587 * x[1] / 114, xr = 299 * x[2] / 114;
    const int d = y0 - (xb + xg + xr);
    xb = clampi(xb + sgn_share(468, d), 0, 255);
    xg = clampi(xg + sgn_share(2406, d), 0, 1313);
    xr = clampi(xr + sgn_share(1224, d), 0, 668);
    x[0] = static_cast<uint8_t>(xb);
    x[1] = static_cast<uint8_t>((398 * xg) >> 11);
    x[2] = static_cast<uint8_t>((391 * xr) >> 10);
}

// Applies a per-pixel effect over a 24-bit image through an optional mask.
template <typename Effect>
Image apply_masked(const Image& src, const uint8_t* mask, Effect effect) {
    Image out = src;
    for (int y = 0; y < src.height; ++y) {
        for (int x = 0; x < src.width; ++x) {
            const uint8_t* s = src.at(x, y);
            uint8_t* d = out.at(x, y);
            const int m = mask ? mask[y * src.width + x] : 0;
            uint8_t e[3] = {s[0], s[1], s[2]};
            if (m != 255) effect(s, e);
            for (int ch = 0; ch < 3; ++ch) d[ch] = static_cast<uint8_t>(masked(m, s[ch], e[ch]));
        }
    }
    return out;
}

// Tables and a context wired to them, as a colour tool sets them up.
struct Tables {
    std::vector<uint8_t> blend_t = std::vector<uint8_t>(kBlendTableSize);
    std::vector<int32_t> squares_t = std::vector<int32_t>(kSquaresTableSize);
    std::vector<uint8_t> levels_t = std::vector<uint8_t>(kLevelsStretchTableSize);
    std::vector<uint8_t> gamma_t = std::vector<uint8_t>(kGammaCurvesSize);
    std::vector<uint8_t> clamp_t = std::vector<uint8_t>(kClampTableSize);
    std::vector<uint8_t> contrast_t = std::vector<uint8_t>(kContrastTablesSize);
    std::vector<int32_t> luma_t = std::vector<int32_t>(kLumaTables1024Size);
    std::unique_ptr<HslTables> hsl_t = std::make_unique<HslTables>();
    std::unique_ptr<LuminanceTables> lum_t = std::make_unique<LuminanceTables>();
    std::unique_ptr<AdjustContext> ctx = std::make_unique<AdjustContext>();

    Tables() {
        AdjustContext* c = ctx.get();
        c->blend = build_blend_table(blend_t.data());
        build_context_squares_table(squares_t.data(), c);
        c->levels = build_levels_stretch_table(levels_t.data());
        c->gamma = build_gamma_curves(gamma_t.data());
        c->clamp = build_clamp_table(clamp_t.data());
        install_hsl_tables_for_adjust(hsl_t.get(), c);
        build_luminance_tables(lum_t.get());
        set_default_range_falloff(c);
    }
    // Points the context at src (and the destination, pre-filled with the source).
    void bind(const Image& src, Image* dst, const uint8_t* mask, const uint8_t* src_pal = nullptr,
              uint8_t* dst_pal = nullptr) {
        *dst = src;
        set_adjust_image(ctx.get(), src.width, src.height, src.bits, src.pixels.data(), dst->pixels.data(), mask,
                         src_pal, dst_pal);
    }
};

}  // namespace naive
