#include "kernels/colour_adjust.h"

#include <cmath>

#include "kernels/mask_blend.h"

namespace {

// Levels map of one span. Values at or below black map to 0 without touching the table, so
// black = 255 (index -255, one before the row) and black = white read nothing outside it.
void build_levels_map(const AdjustContext* c, int white, int black, uint8_t* map) {
    black = clamp_int(black, 0, 255);
    white = clamp_int(white, 0, 255);
    const int span = white > black ? white - black : 0;
    const uint8_t* row = c->levels + kLevelsRowBytes * span + kLevelsRowCentre;
    for (int v = 0; v < 256; ++v) map[v] = v <= black ? 0 : row[v - black];
}

void build_curve_map(const AdjustContext* c, int k, uint8_t* map) {
    const uint8_t* curve = c->gamma + 256 * clamp_int(k, -100, 100);
    for (int v = 0; v < 256; ++v) map[v] = curve[v];
}

void build_brightness_map(const AdjustContext* c, int offset, uint8_t* map) {
    offset = clamp_int(offset, -255, 255);
    for (int v = 0; v < 256; ++v) map[v] = c->clamp[v + offset];
}

void build_contrast_map(const AdjustContext* c, int k, uint8_t* map) {
    const uint8_t* table = c->contrast + 256 * clamp_int(k, -100, 100);
    for (int v = 0; v < 256; ++v) map[v] = table[v];
}

void build_invert_map(uint8_t* map) {
    for (int v = 0; v < 256; ++v) map[v] = static_cast<uint8_t>(255 - v);
}

}  // namespace

void apply_levels_rgb(AdjustContext* c, int white, int black, int channel) {
    uint8_t map[256];
    build_levels_map(c, white, black, map);
    channel = clamp_int(channel, 0, 3);
    if (channel == kLevelsAll) {
        map_masked_channels(c, map, map, map);
        return;
    }
    const uint8_t* t = c->blend;
    for (int32_t y = 0; y < c->height; ++y) {
        const uint8_t* s = c->source_pixels + static_cast<int64_t>(y) * c->stride + channel;
        uint8_t* d = c->destination_pixels + static_cast<int64_t>(y) * c->stride + channel;
        const uint8_t* m = c->mask ? c->mask + static_cast<int64_t>(y) * c->width : nullptr;
        for (int32_t x = 0; x < c->width; ++x, s += 3, d += 3) {
            const int mv = m ? m[x] : 0;
            if (mv == 255) {
                *d = *s;
            } else if (mv == 0) {
                *d = map[*s];
            } else {
                *d = static_cast<uint8_t>(t[256 * mv + *s] + t[256 * (255 - mv) + map[*s]]);
            }
        }
    }
}

void apply_levels_palette(AdjustContext* c, int white, int black, int channel) {
    uint8_t map[256];
    build_levels_map(c, white, black, map);
    channel = clamp_int(channel, 0, 3);
    for (int i = 0; i < 256; ++i) {
        const uint8_t* s = c->source_palette + 4 * i;
        uint8_t* d = c->destination_palette + 4 * i;
        for (int ch = 0; ch < 3; ++ch) {
            if (channel == kLevelsAll || channel == ch) d[ch] = map[s[ch]];
        }
    }
}

void apply_gamma_rgb(AdjustContext* c, int kb, int kg, int kr) {
    uint8_t mb[256], mg[256], mr[256];
    build_curve_map(c, kb, mb);
    build_curve_map(c, kg, mg);
    build_curve_map(c, kr, mr);
    map_masked_channels(c, mb, mg, mr);
}

void apply_gamma_palette(AdjustContext* c, int kb, int kg, int kr) {
    uint8_t mb[256], mg[256], mr[256];
    build_curve_map(c, kb, mb);
    build_curve_map(c, kg, mg);
    build_curve_map(c, kr, mr);
    map_palette_channels(c, mb, mg, mr);
}

void apply_brightness_rgb(AdjustContext* c, int blue, int green, int red) {
    uint8_t mb[256], mg[256], mr[256];
    build_brightness_map(c, blue, mb);
    build_brightness_map(c, green, mg);
    build_brightness_map(c, red, mr);
    map_masked_channels(c, mb, mg, mr);
}

void apply_brightness_palette(AdjustContext* c, int blue, int green, int red) {
    uint8_t mb[256], mg[256], mr[256];
    build_brightness_map(c, blue, mb);
    build_brightness_map(c, green, mg);
    build_brightness_map(c, red, mr);
    map_palette_channels(c, mb, mg, mr);
}

void apply_contrast_rgb(AdjustContext* c, int kb, int kg, int kr) {
    uint8_t mb[256], mg[256], mr[256];
    build_contrast_map(c, kb, mb);
    build_contrast_map(c, kg, mg);
    build_contrast_map(c, kr, mr);
    map_masked_channels(c, mb, mg, mr);
}

void apply_contrast_palette(AdjustContext* c, int kb, int kg, int kr) {
    uint8_t mb[256], mg[256], mr[256];
    build_contrast_map(c, kb, mb);
    build_contrast_map(c, kg, mg);
    build_contrast_map(c, kr, mr);
    map_palette_channels(c, mb, mg, mr);
}

void invert_colours_rgb(AdjustContext* c) {
    uint8_t map[256];
    build_invert_map(map);
    map_masked_channels(c, map, map, map);
}

void invert_colours_palette(AdjustContext* c) {
    uint8_t map[256];
    build_invert_map(map);
    map_palette_channels(c, map, map, map);
}

void build_posterize_table(int levels, uint8_t* p) {
    const int n = clamp_int(levels, 2, 256);
    const int s = 65536 / n;
    const int first = s >> 8;
    const int end = ((n - 1) * s) >> 8;
    for (int v = 0; v < first; ++v) p[v] = 0;
    for (int j = 1;; ++j) {
        const int from = (j * s) >> 8;
        if (from >= end) break;
        int to = ((j + 1) * s) >> 8;
        if (to > end) to = end;
        const uint8_t value = static_cast<uint8_t>(((j + 1) * s - s / 2) >> 8);
        for (int v = from; v < to; ++v) p[v] = value;
    }
    for (int v = end; v < 256; ++v) p[v] = 255;
}

void apply_posterize_rgb(AdjustContext* c, int levels, uint8_t* table) {
    build_posterize_table(levels, table);
    map_masked_channels(c, table, table, table);
}

void apply_posterize_palette(AdjustContext* c, int levels, uint8_t* table) {
    build_posterize_table(levels, table);
    map_palette_channels(c, table, table, table);
}

void count_channel_histograms_rgb(const AdjustContext* c, int32_t* blue, int32_t* green, int32_t* red) {
    for (int32_t y = 0; y < c->height; ++y) {
        const uint8_t* s = c->source_pixels + static_cast<int64_t>(y) * c->stride;
        const uint8_t* m = c->mask ? c->mask + static_cast<int64_t>(y) * c->width : nullptr;
        for (int32_t x = 0; x < c->width; ++x, s += 3) {
            if (m && m[x] == 255) continue;
            ++blue[s[0]];
            ++green[s[1]];
            ++red[s[2]];
        }
    }
}

void count_channel_histograms_palette(const AdjustContext* c, int32_t* blue, int32_t* green, int32_t* red) {
    for (int32_t y = 0; y < c->height; ++y) {
        const uint8_t* s = c->source_pixels + static_cast<int64_t>(y) * c->stride;
        for (int32_t x = 0; x < c->width; ++x) {
            const uint8_t* e = c->source_palette + 4 * s[x];
            ++blue[e[0]];
            ++green[e[1]];
            ++red[e[2]];
        }
    }
}

void build_rounded_luma_tables(uint8_t* blue, uint8_t* green, uint8_t* red) {
    for (int v = 0; v < 256; ++v) {
        blue[v] = static_cast<uint8_t>(std::floor(0.114 * v + 0.5));
        green[v] = static_cast<uint8_t>(std::floor(0.587 * v + 0.5));
        red[v] = static_cast<uint8_t>(std::floor(0.299 * v + 0.5));
    }
}

void count_luma_histogram_rgb(const AdjustContext* c, int32_t* histogram) {
    uint8_t tb[256], tg[256], tr[256];
    build_rounded_luma_tables(tb, tg, tr);
    for (int32_t y = 0; y < c->height; ++y) {
        const uint8_t* s = c->source_pixels + static_cast<int64_t>(y) * c->stride;
        for (int32_t x = 0; x < c->width; ++x, s += 3) ++histogram[tb[s[0]] + tg[s[1]] + tr[s[2]]];
    }
}

void count_luma_histogram_palette(const AdjustContext* c, int32_t* histogram) {
    uint8_t tb[256], tg[256], tr[256];
    build_rounded_luma_tables(tb, tg, tr);
    for (int32_t y = 0; y < c->height; ++y) {
        const uint8_t* s = c->source_pixels + static_cast<int64_t>(y) * c->stride;
        for (int32_t x = 0; x < c->width; ++x) {
            const uint8_t* e = c->source_palette + 4 * s[x];
            ++histogram[tb[e[0]] + tg[e[1]] + tr[e[2]]];
        }
    }
}
