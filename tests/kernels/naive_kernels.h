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
#include <string>
#include <vector>

#include "common/stride.h"
#include "kernels/adjust_context.h"
#include "kernels/brush_kernels.h"
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
        : width(w),
          height(h),
          bits(b),
          stride(static_cast<int>(row_stride_bytes(w, b))),
          pixels(static_cast<size_t>(stride) * h, fill) {}
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

inline int clampi(int v, int lo, int hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

// t[a][v] from its formula.
inline int blend(int a, int v) {
    if (a == 0 || v == 0) return 0;
    if (a == 255) return v;
    if (v == 255) return a;
    const int64_t lo = a < v ? a : v, hi = a < v ? v : a;
    return static_cast<int>(((lo * 65536 / 255) * hi + 32768) >> 16);
}

inline int mix(int w, int x, int y) {
    return blend(w, x) + blend(255 - w, y);
}

// The mask rule: m = 255 keeps the source, 0 takes the effect, between mixes.
inline int masked(int m, int s, int e) {
    if (m == 255) return s;
    if (m == 0) return e;
    return mix(m, s, e);
}

inline int rounded(double x) {
    return static_cast<int>(std::floor(x + 0.5));
}

// The mean of n channel values as the divide tables compute it: (32768 + m i) >> 16 with
// m = 65536 / n truncated (2621 for 25, 7281 for 9).
inline int div_by_multiply(int i, int m) {
    return (32768 + m * i) >> 16;
}

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

inline int wrap(int h) {
    return h < 0 ? h + 360 : (h >= 360 ? h - 360 : h);
}

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
        set_adjust_image(ctx.get(), src.width, src.height, src.bits, src.pixels.data(), dst->pixels.data(),
                         mask, src_pal, dst_pal);
    }
};

// Rotation by the formula, one pixel at a time (no incremental steps).
inline Image rotate(const Image& src, int angle, const uint8_t* bg_rgb, int dw, int dh, bool smooth) {
    const double a = (angle / 10.0) * 3.1415926535 / 180.0;
    const int sn = static_cast<int>(256 * std::sin(a)), cs = static_cast<int>(256 * std::cos(a));
    Image dst(dw, dh, 24, 0xEE);
    const int cx = src.width >> 1, cy = src.height >> 1, dcx = dw >> 1, dcy = dh >> 1;
    const uint8_t bg[3] = {bg_rgb[2], bg_rgb[1], bg_rgb[0]};
    auto sample = [&](int x, int y, bool inside) { return inside ? src.at(x, y) : bg; };
    for (int y = 0; y < dh; ++y) {
        for (int x = 0; x < dw; ++x) {
            const int u = 256 * cx + (x - dcx) * cs - (y - dcy) * sn;
            const int v = 256 * cy + (x - dcx) * sn + (y - dcy) * cs;
            uint8_t* d = dst.at(x, y);
            const int x0 = static_cast<int>(std::floor(u / 256.0)),
                      y0 = static_cast<int>(std::floor(v / 256.0));
            if (!smooth) {
                const uint8_t* s = sample(x0, y0, u >= 0 && v >= 0 && x0 < src.width && y0 < src.height);
                std::memcpy(d, s, 3);
                continue;
            }
            const int fx = u - 256 * x0, fy = v - 256 * y0;
            const bool r0 = v >= 0 && y0 < src.height, r1 = v >= -256 && y0 + 1 < src.height;
            const bool c0 = u >= 0 && x0 < src.width, c1 = u >= -256 && x0 + 1 < src.width;
            const uint8_t* s00 = sample(x0, y0, r0 && c0);
            const uint8_t* s10 = sample(x0 + 1, y0, r0 && c1);
            const uint8_t* s01 = sample(x0, y0 + 1, r1 && c0);
            const uint8_t* s11 = sample(x0 + 1, y0 + 1, r1 && c1);
            for (int ch = 0; ch < 3; ++ch) {
                d[ch] = static_cast<uint8_t>((fy * ((256 - fx) * s01[ch] + fx * s11[ch]) +
                                              (256 - fy) * (fx * s10[ch] + (256 - fx) * s00[ch])) >>
                                             16);
            }
        }
    }
    return dst;
}

// One pass of the resize by the formula; the shrink table value trunc(i / x) is computed
// directly for each sum.
inline std::vector<int> resize_pass(const std::vector<int>& in, int m) {
    const int n = static_cast<int>(in.size());
    std::vector<int> out;
    if (m >= n) {
        const int64_t step = static_cast<int64_t>(n) * 65536 / m;
        for (int k = 0; k < m; ++k) {
            const int64_t p = k * step, l = p >> 16, f = p & 65535;
            out.push_back(l < n - 1 ? static_cast<int>((in[l] * (65536 - f) + in[l + 1] * f) >> 16) : in[l]);
        }
        return out;
    }
    const double x = static_cast<double>(n) / m;
    const int64_t K = static_cast<int64_t>(32768.0 * x);
    auto A = [&](int64_t i) { return static_cast<int>(static_cast<double>(i) / x); };
    int64_t s = 0, p = 0;
    for (int i = 0; i < n - 1; ++i) {
        p += 32768;
        if (p < K) {
            s += in[i];
        } else {
            const int64_t c = in[i] * (p - K) / 32768;
            out.push_back(A(s + in[i] - c));
            s = c;
            p -= K;
        }
    }
    p += 32768;
    const int last = in[n - 1];
    out.push_back(A(s + (p < K ? last : last - last * (p - K) / 32768)));
    return out;
}

inline Image resize(const Image& src, int nw, int nh) {
    Image mid(src.width, nh, 24, 0);
    for (int x = 0; x < src.width; ++x) {
        for (int ch = 0; ch < 3; ++ch) {
            std::vector<int> col;
            for (int y = 0; y < src.height; ++y) col.push_back(src.at(x, y)[ch]);
            const auto out = resize_pass(col, nh);
            for (int y = 0; y < nh; ++y) mid.at(x, y)[ch] = static_cast<uint8_t>(out[y]);
        }
    }
    Image dst(nw, nh, 24, 0xEE);
    for (int y = 0; y < nh; ++y) {
        for (int ch = 0; ch < 3; ++ch) {
            std::vector<int> row;
            for (int x = 0; x < src.width; ++x) row.push_back(mid.at(x, y)[ch]);
            const auto out = resize_pass(row, nw);
            for (int x = 0; x < nw; ++x) dst.at(x, y)[ch] = static_cast<uint8_t>(out[x]);
        }
    }
    return dst;
}

inline int tip_coverage(int d, int col, int row) {
    double dx, dy, radius;
    if (d % 2) {
        radius = (d + 1) / 2;
        dx = col - (d - 1) / 2;
        dy = row - (d - 1) / 2;
    } else {
        radius = d / 2;
        dx = std::abs(col - (d - 1) / 2.0) - 0.25;  // cells sit 0.25, 1.25, ... from the centre
        dy = std::abs(row - (d - 1) / 2.0) - 0.25;
    }
    const int scaled = rounded(std::sqrt(dx * dx + dy * dy) * 255.0 / radius);
    return 255 - std::min(255, scaled);
}

inline bool red_eye(uint8_t* p) {
    int b = p[0], g = p[1], r = p[2];
    if (b == g && g == r) return false;
    const int hue = hue_of(b, g, r);
    if (hue >= 21 && hue <= 279) return false;
    const int mx = std::max({b, g, r}), mn = std::min({b, g, r});
    if (hue <= 20) {
        if (mx + mn > 199 && r - b < 129) return false;
        for (; g > b + 12; g -= 4, r -= 4) {
        }
        for (; r > g + 12; r -= 4) {
        }
    } else if (hue <= 299) {
        for (; r > g + 12; r -= 4, b -= 4) {
        }
        for (; b > r + 12; b -= 4) {
        }
    } else {
        for (; b > g + 12; b -= 4, r -= 4) {
        }
        for (; r > b + 12; r -= 4) {
        }
    }
    p[0] = static_cast<uint8_t>(b);
    p[1] = static_cast<uint8_t>(g);
    p[2] = static_cast<uint8_t>(r);
    return true;
}

// The effect of one pixel at (x, memory row y); false leaves the source (red-eye only).
// A brush mode by name, as the dab tests and benchmarks drive it.
struct BrushMode {
    const char* name;
    int level;
    bool inset;  // leaves the outermost rows and columns alone
    const uint8_t* colour_rgb;
    int opacity;
};

inline bool brush_effect(const BrushMode& mode, const Image& src, int x, int y, uint8_t* e) {
    const uint8_t* s = src.at(x, y);
    std::memcpy(e, s, 3);
    const std::string name = mode.name;
    if (name == "paint") {
        for (int ch = 0; ch < 3; ++ch)
            e[ch] = static_cast<uint8_t>(mix(mode.opacity, mode.colour_rgb[2 - ch], s[ch]));
    } else if (name == "brighten" || name == "darken") {
        for (int ch = 0; ch < 3; ++ch) e[ch] = static_cast<uint8_t>(gamma_value(100 + mode.level, s[ch]));
    } else if (name == "vivid" || name == "pale") {
        hsl(e, 0, 0, mode.level);
    } else if (name == "sharpen" || name == "blur") {
        for (int ch = 0; ch < 3; ++ch) {
            int around = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    if (dx || dy) around += src.at(x + dx, y + dy)[ch];
                }
            }
            if (name == "sharpen") {
                const int sharp = clampi(static_cast<int>(std::floor((24 * s[ch] - around) / 16.0)), 0, 255);
                e[ch] = static_cast<uint8_t>(mix(255 - mode.level, s[ch], sharp));
            } else {
                const int sum = around + s[ch];
                const int mean = (32768 + 7281 * sum) >> 16;
                e[ch] = static_cast<uint8_t>(mix(mode.level, mean, s[ch]));
            }
        }
    } else if (name == "denoise") {
        const int order[9][2] = {{0, 0},  {-1, 0}, {1, 0},  {0, -1}, {-1, -1},
                                 {1, -1}, {0, 1},  {-1, 1}, {1, 1}};
        const uint8_t* px[9];
        int g[9];
        for (int i = 0; i < 9; ++i) {
            px[i] = src.at(x + order[i][0], y + order[i][1]);
            g[i] = ((30 * px[i][0]) >> 8) + ((151 * px[i][1]) >> 8) + ((77 * px[i][2]) >> 8);
        }
        for (int k = 0; k < 4; ++k) {
            int best = k;
            for (int i = k + 1; i < 9; ++i) best = g[i] < g[best] ? i : best;
            std::swap(g[k], g[best]);
            std::swap(px[k], px[best]);
        }
        int median = 4;
        for (int i = 5; i < 9; ++i) median = g[i] < g[median] ? i : median;
        std::memcpy(e, px[median], 3);
    } else {
        return red_eye(e);
    }
    return true;
}

inline void dab(const BrushMode& mode, const Image& src, Image* dst, const uint8_t* mask, const DabRect& r) {
    const int d = r.right - r.left;
    const int edge = mode.inset ? 1 : 0;
    for (int iy = std::max(r.top, edge); iy < std::min(r.bottom, src.height - edge); ++iy) {
        for (int x = std::max(r.left, edge); x < std::min(r.right, src.width - edge); ++x) {
            const int y = src.height - 1 - iy;
            const uint8_t* s = src.at(x, y);
            uint8_t* out = dst->at(x, y);
            const int m = mask ? mask[y * src.width + x] : 0;
            uint8_t e[3];
            if (m == 255 || !brush_effect(mode, src, x, y, e)) {
                std::memcpy(out, s, 3);
                continue;
            }
            const int c = tip_coverage(d, x - r.left, iy - r.top);
            for (int ch = 0; ch < 3; ++ch) {
                const int em = m ? mix(m, s[ch], e[ch]) : e[ch];
                out[ch] = static_cast<uint8_t>(mix(c, em, out[ch]));
            }
        }
    }
}

}  // namespace naive
