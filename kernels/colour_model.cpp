#include "kernels/colour_model.h"

#include "kernels/colour_adjust.h"
#include "kernels/mask_blend.h"

int normalise_hue_shift(int shift) {
    shift %= 360;
    if (shift > 180) shift -= 360;
    if (shift < -180) shift += 360;
    return shift;
}

namespace {

// Squared distance of a blue, green, red pixel to a red, green, blue colour.
int32_t distance(const AdjustContext* c, const uint8_t* s, const uint8_t* rgb) {
    const int32_t* sq = c->squares;
    return sq[s[2] - rgb[0]] + sq[s[1] - rgb[1]] + sq[s[0] - rgb[2]];
}

// The falloff array holds kFalloffWeights entries; a threshold set by hand beyond that must
// still not index past it.
int32_t usable_threshold(const AdjustContext* c) {
    const int32_t t = c->range_threshold;
    return t < 0 ? -1 : (t >= kFalloffWeights ? kFalloffWeights - 1 : t);
}

// The conversion itself; its callers have brought the amounts into range.
void hsl_core(const HslAddresses& hsl, uint8_t& blue, uint8_t& green, uint8_t& red, int hue_shift,
              int lightness_delta, int saturation_delta) {
    const int b = blue, g = green, r = red;
    const int mx = r > g ? (r > b ? r : b) : (g > b ? g : b);
    const int mn = r < g ? (r < b ? r : b) : (g < b ? g : b);
    const int l = mx + mn;
    const int L = l >> 1;
    int S = 0;
    int hue = 0;
    if (mx != mn) {
        S = hsl.saturations[256 * l + (mx - mn)];
        hue = hsl_hue(hsl, b, g, r);
    }
    const int S2 = hsl.clamp[S + saturation_delta];
    const int L2 = hsl.clamp[L + lightness_delta];
    if (S2 == 0) {
        blue = green = red = static_cast<uint8_t>(L2);
        return;
    }
    const int top = hsl.top_values[256 * L2 + S2];
    const int bottom = 2 * L2 - top;
    const int span = top - bottom;
    const int h = hue + hue_shift;
    blue = static_cast<uint8_t>(bottom + hsl.ramps[256 * hsl.hue_wrap[h - 120] + span]);
    green = static_cast<uint8_t>(bottom + hsl.ramps[256 * hsl.hue_wrap[h] + span]);
    red = static_cast<uint8_t>(bottom + hsl.ramps[256 * hsl.hue_wrap[h + 120] + span]);
}

struct HslArgs {
    int hue;
    int lightness;
    int saturation;
};

HslArgs clamp_hsl_args(int hue, int lightness, int saturation) {
    return {normalise_hue_shift(hue), clamp_int(lightness, -255, 255), clamp_int(saturation, -255, 255)};
}

void hsl_effect(const HslAddresses& hsl, const HslArgs& a, const uint8_t* s, uint8_t* e) {
    copy_bgr(s, e);
    hsl_core(hsl, e[0], e[1], e[2], a.hue, a.lightness, a.saturation);
}

void in_range_effect(const AdjustContext* c, const HslArgs& a, const uint8_t* picked, int32_t threshold,
                     const uint8_t* s, uint8_t* e) {
    const int32_t dist = distance(c, s, picked);
    if (dist > threshold) {
        copy_bgr(s, e);
        return;
    }
    const int w = c->falloff[dist];
    uint8_t h[3];
    hsl_effect(c->hsl, a, s, h);
    const uint8_t* tw = c->blend + 256 * w;
    const uint8_t* tv = c->blend + 256 * (255 - w);
    for (int ch = 0; ch < 3; ++ch) e[ch] = static_cast<uint8_t>(tw[h[ch]] + tv[s[ch]]);
}

void replace_effect(const AdjustContext* c, int strength, const uint8_t* from, const uint8_t* to,
                    int32_t threshold, const uint8_t* s, uint8_t* e) {
    const int32_t dist = distance(c, s, from);
    if (dist > threshold) {
        copy_bgr(s, e);
        return;
    }
    const int w = c->blend[256 * strength + c->falloff[dist]];
    const uint8_t* tw = c->blend + 256 * w;
    const uint8_t* tv = c->blend + 256 * (255 - w);
    e[0] = static_cast<uint8_t>(tw[to[2]] + tv[s[0]]);
    e[1] = static_cast<uint8_t>(tw[to[1]] + tv[s[1]]);
    e[2] = static_cast<uint8_t>(tw[to[0]] + tv[s[2]]);
}

void shadow_highlight_effect(const AdjustContext* c, int ks, int kh, int32_t threshold, const uint8_t* s,
                             uint8_t* e) {
    const int32_t* sq = c->squares;
    const uint8_t* curve = nullptr;
    int w = 0;
    const int32_t d0 = sq[s[0]] + sq[s[1]] + sq[s[2]];
    if (d0 <= threshold) {
        curve = c->gamma + 256 * ks;
        w = c->falloff[d0];
    } else {
        const int32_t d1 = sq[s[0] - 255] + sq[s[1] - 255] + sq[s[2] - 255];
        if (d1 <= threshold) {
            curve = c->gamma - 256 * kh;
            w = c->falloff[d1];
        }
    }
    if (!curve) {
        copy_bgr(s, e);
        return;
    }
    const uint8_t* tw = c->blend + 256 * w;
    const uint8_t* tv = c->blend + 256 * (255 - w);
    for (int ch = 0; ch < 3; ++ch) e[ch] = static_cast<uint8_t>(tw[curve[s[ch]]] + tv[s[ch]]);
}

void filter_effect(const AdjustContext* c, const LuminanceTables* lt, int density, const uint8_t* rgb,
                   const uint8_t* s, uint8_t* e) {
    const uint8_t* tw = c->blend + 256 * density;
    const uint8_t* tv = c->blend + 256 * (255 - density);
    e[0] = static_cast<uint8_t>(tw[rgb[2]] + tv[s[0]]);
    e[1] = static_cast<uint8_t>(tw[rgb[1]] + tv[s[1]]);
    e[2] = static_cast<uint8_t>(tw[rgb[0]] + tv[s[2]]);
    restore_luminance(lt, s, e);
}

void balance_effect(const LuminanceTables* lt, const int* offsets, const uint8_t* s, uint8_t* e) {
    for (int ch = 0; ch < 3; ++ch) e[ch] = static_cast<uint8_t>(clamp_int(s[ch] + offsets[ch], 0, 255));
    restore_luminance(lt, s, e);
}

void apply_hue_saturation(AdjustContext* c, AdjustLayout layout, int hue, int lightness, int saturation) {
    const HslArgs a = clamp_hsl_args(hue, lightness, saturation);
    run_adjust_effect(c, layout, [=](const uint8_t* s, uint8_t* e) { hsl_effect(c->hsl, a, s, e); });
}

void apply_hue_saturation_in_range(AdjustContext* c, AdjustLayout layout, int hue, int lightness,
                                   int saturation, const uint8_t* picked) {
    const HslArgs a = clamp_hsl_args(hue, lightness, saturation);
    const int32_t threshold = usable_threshold(c);
    run_adjust_effect(c, layout,
                      [=](const uint8_t* s, uint8_t* e) { in_range_effect(c, a, picked, threshold, s, e); });
}

void replace_colour(AdjustContext* c, AdjustLayout layout, int strength, const uint8_t* from,
                    const uint8_t* to) {
    strength = clamp_int(strength, 0, 255);
    const int32_t threshold = usable_threshold(c);
    run_adjust_effect(c, layout, [=](const uint8_t* s, uint8_t* e) {
        replace_effect(c, strength, from, to, threshold, s, e);
    });
}

void apply_shadow_highlight(AdjustContext* c, AdjustLayout layout, int ks, int kh) {
    ks = clamp_int(ks, -100, 100);
    kh = clamp_int(kh, -100, 100);
    const int32_t threshold = usable_threshold(c);
    run_adjust_effect(c, layout, [=](const uint8_t* s, uint8_t* e) {
        shadow_highlight_effect(c, ks, kh, threshold, s, e);
    });
}

void apply_colour_filter(AdjustContext* c, AdjustLayout layout, const LuminanceTables* lt, int density,
                         const uint8_t* rgb) {
    density = clamp_int(density, 0, 255);
    run_adjust_effect(c, layout,
                      [=](const uint8_t* s, uint8_t* e) { filter_effect(c, lt, density, rgb, s, e); });
}

void apply_colour_balance(AdjustContext* c, AdjustLayout layout, const LuminanceTables* lt, int blue,
                          int green, int red) {
    const int offsets[3] = {clamp_int(blue, -255, 255), clamp_int(green, -255, 255),
                            clamp_int(red, -255, 255)};
    run_adjust_effect(c, layout, [=](const uint8_t* s, uint8_t* e) { balance_effect(lt, offsets, s, e); });
}

}  // namespace

int hsl_hue(const HslAddresses& hsl, int b, int g, int r) {
    const int mx = r > g ? (r > b ? r : b) : (g > b ? g : b);
    const int mn = r < g ? (r < b ? r : b) : (g < b ? g : b);
    const int d = mx - mn;
    const int larger_gb = g > b ? g : b;
    if (r > larger_gb) return hsl.hue_wrap[hsl.numerators[256 * (g - b) + d]];
    if (g >= b) return hsl.hue_wrap[hsl.numerators[256 * (b - r) + d] + 120];
    return hsl.hue_wrap[hsl.numerators[256 * (r - g) + d] + 240];
}

void adjust_pixel_hsl(const HslAddresses& hsl, uint8_t& blue, uint8_t& green, uint8_t& red, int hue_shift,
                      int lightness_delta, int saturation_delta) {
    hsl_core(hsl, blue, green, red, normalise_hue_shift(hue_shift), clamp_int(lightness_delta, -255, 255),
             clamp_int(saturation_delta, -255, 255));
}

void apply_hue_saturation_rgb(AdjustContext* c, int hue, int lightness, int saturation) {
    apply_hue_saturation(c, kAdjustPixels, hue, lightness, saturation);
}
void apply_hue_saturation_palette(AdjustContext* c, int hue, int lightness, int saturation) {
    apply_hue_saturation(c, kAdjustPalette, hue, lightness, saturation);
}
void apply_hue_saturation_in_range_rgb(AdjustContext* c, int hue, int lightness, int saturation,
                                       const uint8_t* picked) {
    apply_hue_saturation_in_range(c, kAdjustPixels, hue, lightness, saturation, picked);
}
void apply_hue_saturation_in_range_palette(AdjustContext* c, int hue, int lightness, int saturation,
                                           const uint8_t* picked) {
    apply_hue_saturation_in_range(c, kAdjustPalette, hue, lightness, saturation, picked);
}
void replace_colour_rgb(AdjustContext* c, int strength, const uint8_t* from, const uint8_t* to) {
    replace_colour(c, kAdjustPixels, strength, from, to);
}
void replace_colour_palette(AdjustContext* c, int strength, const uint8_t* from, const uint8_t* to) {
    replace_colour(c, kAdjustPalette, strength, from, to);
}
void apply_shadow_highlight_rgb(AdjustContext* c, int ks, int kh) {
    apply_shadow_highlight(c, kAdjustPixels, ks, kh);
}
void apply_shadow_highlight_palette(AdjustContext* c, int ks, int kh) {
    apply_shadow_highlight(c, kAdjustPalette, ks, kh);
}
void apply_colour_filter_rgb(AdjustContext* c, const LuminanceTables* lt, int density, const uint8_t* rgb) {
    apply_colour_filter(c, kAdjustPixels, lt, density, rgb);
}
void apply_colour_filter_palette(AdjustContext* c, const LuminanceTables* lt, int density,
                                 const uint8_t* rgb) {
    apply_colour_filter(c, kAdjustPalette, lt, density, rgb);
}
void apply_colour_balance_rgb(AdjustContext* c, const LuminanceTables* lt, int blue, int green, int red) {
    apply_colour_balance(c, kAdjustPixels, lt, blue, green, red);
}
void apply_colour_balance_palette(AdjustContext* c, const LuminanceTables* lt, int blue, int green, int red) {
    apply_colour_balance(c, kAdjustPalette, lt, blue, green, red);
}

void equalize_rgb(AdjustContext* c) {
    uint8_t tb[256], tg[256], tr[256];
    build_rounded_luma_tables(tb, tg, tr);
    int64_t bins[256] = {};
    for (int32_t y = 0; y < c->height; ++y) {
        const uint8_t* s = c->source_pixels + static_cast<int64_t>(y) * c->stride;
        for (int32_t x = 0; x < c->width; ++x, s += 3) ++bins[tb[s[0]] + tg[s[1]] + tr[s[2]]];
    }
    int64_t cdf[256];
    int64_t running = 0;
    int64_t c0 = 0;
    for (int j = 0; j < 256; ++j) {
        running += bins[j];
        cdf[j] = running;
        if (c0 == 0) c0 = running;
    }
    const int64_t n = static_cast<int64_t>(c->width) * c->height;
    if (n - c0 <= 0) {
        // One luma only (or no pixels): the mapping is undefined, so the image stays as it is.
        for (int32_t y = 0; y < c->height; ++y) {
            const uint8_t* s = c->source_pixels + static_cast<int64_t>(y) * c->stride;
            uint8_t* d = c->destination_pixels + static_cast<int64_t>(y) * c->stride;
            for (int32_t x = 0; x < 3 * c->width; ++x) d[x] = s[x];
        }
        return;
    }
    int delta[256];
    for (int j = 0; j < 256; ++j) {
        const int eq =
            static_cast<int>(static_cast<double>(cdf[j] - c0) / static_cast<double>(n - c0) * 255.0);
        delta[j] = (eq - j) >> 1;
    }
    for_each_masked_pixel(c, [c, &delta, &tb, &tg, &tr](const uint8_t* s, uint8_t* e) {
        copy_bgr(s, e);
        hsl_core(c->hsl, e[0], e[1], e[2], 0, delta[tb[s[0]] + tg[s[1]] + tr[s[2]]], 0);
    });
}

void restore_luminance(const LuminanceTables* lt, const uint8_t* s, uint8_t* x) {
    const int y0 = lt->bw[s[0]] + lt->gw[s[1]] + lt->rw[s[2]];
    int xb = lt->bw[x[0]], xg = lt->gw[x[1]], xr = lt->rw[x[2]];
    const int d = y0 - (xb + xg + xr);
    xb = clamp_int(xb + lt->share_blue_centre[d], 0, 255);
    xg = clamp_int(xg + lt->share_green_centre[d], 0, 1313);
    xr = clamp_int(xr + lt->share_red_centre[d], 0, 668);
    x[0] = lt->inverse_blue[xb];
    x[1] = lt->inverse_green[xg];
    x[2] = lt->inverse_red[xr];
}
