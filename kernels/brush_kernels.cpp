#include "kernels/brush_kernels.h"

#include "common/stride.h"
#include "kernels/colour_model.h"
#include "kernels/mask_blend.h"

BrushKernelState g_brush_state;

uint8_t* brush_build_div9_table(uint8_t* table) {
    g_brush_state.mean9 = build_div9_table(table);
    return table;
}

HslTables* install_hsl_tables_for_brush(HslTables* storage) {
    build_hsl_tables(storage);
    g_brush_state.hsl = hsl_addresses(storage);
    return storage;
}

void set_brush_image(int32_t width, int32_t height, const uint8_t* source, uint8_t* destination,
                     const uint8_t* mask) {
    BrushKernelState& b = g_brush_state;
    b.width = width;
    b.height = height;
    b.stride = static_cast<int32_t>(row_stride_bytes(width, 24));
    b.source = source;
    b.destination = destination;
    b.mask = mask;
}

void adjust_pixel_saturation(uint8_t& blue, uint8_t& green, uint8_t& red, int delta) {
    adjust_pixel_hsl(g_brush_state.hsl, blue, green, red, 0, 0, delta);
}

bool test_red_pixel(uint8_t& blue, uint8_t& red, uint8_t& green) {
    int b = blue, r = red, g = green;
    if (b == g && g == r) return false;
    const int hue = hsl_hue(g_brush_state.hsl, b, g, r);
    if (hue >= 21 && hue <= 279) return false;
    if (hue <= 20) {
        const int mx = r > g ? (r > b ? r : b) : (g > b ? g : b);
        const int mn = r < g ? (r < b ? r : b) : (g < b ? g : b);
        if (mx + mn > 199 && r - b < 129) return false;
        while (g > b + 12) {
            g -= 4;
            r -= 4;
        }
        while (r > g + 12) r -= 4;
    } else if (hue <= 299) {
        while (r > g + 12) {
            r -= 4;
            b -= 4;
        }
        while (b > r + 12) b -= 4;
    } else {
        while (b > g + 12) {
            b -= 4;
            r -= 4;
        }
        while (r > b + 12) r -= 4;
    }
    // The loops stop within 4 of a level at least 12 above another channel, so none goes
    // below 0; the clamp keeps that true whatever the tables say.
    blue = static_cast<uint8_t>(clamp_int(b, 0, 255));
    red = static_cast<uint8_t>(clamp_int(r, 0, 255));
    green = static_cast<uint8_t>(clamp_int(g, 0, 255));
    return true;
}

namespace {

// The effect of one pixel: false when the pixel is to be left as the source (red-eye only).
// s points at the source pixel; the source rows above and below are s +- stride.
template <typename Effect>
void run_dab(const DabRect* rect, bool masked, bool inset, Effect effect) {
    const BrushKernelState& st = g_brush_state;
    if (!rect || !st.tips || !st.source || !st.destination) return;
    const int32_t d = rect->right - rect->left;
    // A diameter outside the tips, or a rectangle that is not the tip's square, would read
    // past the tip block.
    if (d < kBrushTipMinDiameter || d > kBrushTipMaxDiameter || rect->bottom - rect->top != d) return;
    const int32_t edge = inset ? 1 : 0;
    const int32_t x0 = rect->left > edge ? rect->left : edge;
    const int32_t y0 = rect->top > edge ? rect->top : edge;
    const int32_t x1 = rect->right < st.width - edge ? rect->right : st.width - edge;
    const int32_t y1 = rect->bottom < st.height - edge ? rect->bottom : st.height - edge;
    if (x0 >= x1 || y0 >= y1) return;
    const uint8_t* tip = st.tips[d - kBrushTipMinDiameter];
    const uint8_t* t = st.blend;
    const uint8_t* mask = masked ? st.mask : nullptr;
    for (int32_t y = y0; y < y1; ++y) {
        const int64_t row = static_cast<int64_t>(st.height - 1 - y);
        const uint8_t* srow = st.source + row * st.stride;
        uint8_t* drow = st.destination + row * st.stride;
        const uint8_t* mrow = mask ? mask + row * st.width : nullptr;
        const uint8_t* cover = tip + static_cast<int64_t>(y - rect->top) * d - rect->left;
        for (int32_t x = x0; x < x1; ++x) {
            const uint8_t* s = srow + 3 * static_cast<int64_t>(x);
            uint8_t* out = drow + 3 * static_cast<int64_t>(x);
            const int m = mrow ? mrow[x] : 0;
            if (m == 255) {
                copy_bgr(s, out);
                continue;
            }
            uint8_t e[3];
            if (!effect(s, e)) {
                copy_bgr(s, out);
                continue;
            }
            if (m != 0) {
                for (int ch = 0; ch < 3; ++ch)
                    e[ch] = static_cast<uint8_t>(t[256 * m + s[ch]] + t[256 * (255 - m) + e[ch]]);
            }
            const int c = cover[x];
            for (int ch = 0; ch < 3; ++ch) {
                out[ch] = static_cast<uint8_t>(t[256 * (255 - c) + out[ch]] + t[256 * c + e[ch]]);
            }
        }
    }
}

bool paint_effect(const uint8_t* s, uint8_t* e) {
    const BrushKernelState& st = g_brush_state;
    const int a = clamp_int(st.opacity, 0, 255);
    const uint8_t* ta = st.blend + 256 * a;
    const uint8_t* tv = st.blend + 256 * (255 - a);
    e[0] = static_cast<uint8_t>(ta[st.paint_colour[2]] + tv[s[0]]);
    e[1] = static_cast<uint8_t>(ta[st.paint_colour[1]] + tv[s[1]]);
    e[2] = static_cast<uint8_t>(ta[st.paint_colour[0]] + tv[s[2]]);
    return true;
}

void fill(bool masked) {
    const BrushKernelState& st = g_brush_state;
    for (int32_t y = 0; y < st.height; ++y) {
        const int64_t row = static_cast<int64_t>(y) * st.stride;
        const uint8_t* m = masked && st.mask ? st.mask + static_cast<int64_t>(y) * st.width : nullptr;
        masked_effect_row<3>(st.source + row, st.destination + row, m, st.width, st.blend,
                             [](const uint8_t* s, uint8_t* e) { paint_effect(s, e); });
    }
}

void tone(const DabRect* rect, bool masked) {
    const uint8_t* curve = g_brush_state.gamma + 256 * clamp_int(g_brush_state.level, -100, 100);
    run_dab(rect, masked, false, [curve](const uint8_t* s, uint8_t* e) {
        e[0] = curve[s[0]];
        e[1] = curve[s[1]];
        e[2] = curve[s[2]];
        return true;
    });
}

void saturation(const DabRect* rect, bool masked) {
    const int delta = clamp_int(g_brush_state.level, -255, 255);
    run_dab(rect, masked, false, [delta](const uint8_t* s, uint8_t* e) {
        copy_bgr(s, e);
        adjust_pixel_saturation(e[0], e[1], e[2], delta);
        return true;
    });
}

void sharpen(const DabRect* rect, bool masked) {
    const int level = clamp_int(g_brush_state.level, 0, 255);
    const int64_t stride = g_brush_state.stride;
    const uint8_t* keep = g_brush_state.blend + 256 * (255 - level);
    const uint8_t* take = g_brush_state.blend + 256 * level;
    run_dab(rect, masked, true, [=](const uint8_t* s, uint8_t* e) {
        for (int ch = 0; ch < 3; ++ch) {
            const uint8_t* p = s + ch;
            const int around = p[-3] + p[3] + p[-stride - 3] + p[-stride] + p[-stride + 3] + p[stride - 3] +
                               p[stride] + p[stride + 3];
            const int sharp = clamp_int((24 * p[0] - around) >> 4, 0, 255);
            e[ch] = static_cast<uint8_t>(keep[p[0]] + take[sharp]);
        }
        return true;
    });
}

void blur(const DabRect* rect, bool masked) {
    const int level = clamp_int(g_brush_state.level, 0, 255);
    const int64_t stride = g_brush_state.stride;
    const uint8_t* mean9 = g_brush_state.mean9;
    const uint8_t* take = g_brush_state.blend + 256 * level;
    const uint8_t* keep = g_brush_state.blend + 256 * (255 - level);
    run_dab(rect, masked, true, [=](const uint8_t* s, uint8_t* e) {
        for (int ch = 0; ch < 3; ++ch) {
            const uint8_t* p = s + ch;
            const int sum = p[-3] + p[0] + p[3] + p[-stride - 3] + p[-stride] + p[-stride + 3] +
                            p[stride - 3] + p[stride] + p[stride + 3];
            e[ch] = static_cast<uint8_t>(take[mean9[sum]] + keep[p[0]]);
        }
        return true;
    });
}

void denoise(const DabRect* rect, bool masked) {
    const int64_t stride = g_brush_state.stride;
    const uint8_t* grey = g_brush_state.grey;
    run_dab(rect, masked, true, [=](const uint8_t* s, uint8_t* e) {
        const uint8_t* px[9] = {s,          s - 3,          s + 3,
                                s - stride, s - stride - 3, s - stride + 3,
                                s + stride, s + stride - 3, s + stride + 3};
        int g[9];
        for (int i = 0; i < 9; ++i) g[i] = grey[px[i][0]] + grey[256 + px[i][1]] + grey[512 + px[i][2]];
        for (int k = 0; k < 4; ++k) {
            int best = k;
            for (int i = k + 1; i < 9; ++i) {
                if (g[i] < g[best]) best = i;
            }
            const int tg = g[k];
            g[k] = g[best];
            g[best] = tg;
            const uint8_t* tp = px[k];
            px[k] = px[best];
            px[best] = tp;
        }
        int median = 4;
        for (int i = 5; i < 9; ++i) {
            if (g[i] < g[median]) median = i;
        }
        e[0] = px[median][0];
        e[1] = px[median][1];
        e[2] = px[median][2];
        return true;
    });
}

void red_eye(const DabRect* rect, bool masked) {
    run_dab(rect, masked, false, [](const uint8_t* s, uint8_t* e) {
        copy_bgr(s, e);
        return test_red_pixel(e[0], e[2], e[1]);
    });
}

}  // namespace

void paint_fill_masked() {
    fill(true);
}
void paint_fill() {
    fill(false);
}
void paint_dab_masked(const DabRect* rect) {
    run_dab(rect, true, false, paint_effect);
}
void paint_dab(const DabRect* rect) {
    run_dab(rect, false, false, paint_effect);
}
void brush_tone_masked(const DabRect* rect) {
    tone(rect, true);
}
void brush_tone(const DabRect* rect) {
    tone(rect, false);
}
void brush_saturation_masked(const DabRect* rect) {
    saturation(rect, true);
}
void brush_saturation(const DabRect* rect) {
    saturation(rect, false);
}
void brush_sharpen_masked(const DabRect* rect) {
    sharpen(rect, true);
}
void brush_sharpen(const DabRect* rect) {
    sharpen(rect, false);
}
void brush_blur_masked(const DabRect* rect) {
    blur(rect, true);
}
void brush_blur(const DabRect* rect) {
    blur(rect, false);
}
void brush_denoise_masked(const DabRect* rect) {
    denoise(rect, true);
}
void brush_denoise(const DabRect* rect) {
    denoise(rect, false);
}
void brush_red_eye_masked(const DabRect* rect) {
    red_eye(rect, true);
}
void brush_red_eye(const DabRect* rect) {
    red_eye(rect, false);
}
