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

void apply_levels(AdjustContext* c, AdjustLayout layout, int white, int black, int channel) {
    uint8_t map[256];
    build_levels_map(c, white, black, map);
    channel = clamp_int(channel, 0, 3);
    if (channel == kLevelsAll) {
        run_adjust_effect(c, layout, ChannelMaps{map, map, map});
    } else {
        run_adjust_effect(c, layout, SingleChannelMap{map, channel});
    }
}

// Gamma, brightness and contrast: one map per channel, each built from that channel's amount.
using ChannelMapBuilder = void (*)(const AdjustContext*, int, uint8_t*);
void map_each_channel(AdjustContext* c, AdjustLayout layout, ChannelMapBuilder build, int blue, int green,
                      int red) {
    uint8_t mb[256], mg[256], mr[256];
    build(c, blue, mb);
    build(c, green, mg);
    build(c, red, mr);
    run_adjust_effect(c, layout, ChannelMaps{mb, mg, mr});
}

void invert_colours(AdjustContext* c, AdjustLayout layout) {
    uint8_t map[256];
    build_invert_map(map);
    run_adjust_effect(c, layout, ChannelMaps{map, map, map});
}

void apply_posterize(AdjustContext* c, AdjustLayout layout, int levels, uint8_t* table) {
    build_posterize_table(levels, table);
    run_adjust_effect(c, layout, ChannelMaps{table, table, table});
}

}  // namespace

void apply_levels_rgb(AdjustContext* c, int white, int black, int channel) {
    apply_levels(c, kAdjustPixels, white, black, channel);
}
void apply_levels_palette(AdjustContext* c, int white, int black, int channel) {
    apply_levels(c, kAdjustPalette, white, black, channel);
}
void apply_gamma_rgb(AdjustContext* c, int kb, int kg, int kr) {
    map_each_channel(c, kAdjustPixels, build_curve_map, kb, kg, kr);
}
void apply_gamma_palette(AdjustContext* c, int kb, int kg, int kr) {
    map_each_channel(c, kAdjustPalette, build_curve_map, kb, kg, kr);
}
void apply_brightness_rgb(AdjustContext* c, int blue, int green, int red) {
    map_each_channel(c, kAdjustPixels, build_brightness_map, blue, green, red);
}
void apply_brightness_palette(AdjustContext* c, int blue, int green, int red) {
    map_each_channel(c, kAdjustPalette, build_brightness_map, blue, green, red);
}
void apply_contrast_rgb(AdjustContext* c, int kb, int kg, int kr) {
    map_each_channel(c, kAdjustPixels, build_contrast_map, kb, kg, kr);
}
void apply_contrast_palette(AdjustContext* c, int kb, int kg, int kr) {
    map_each_channel(c, kAdjustPalette, build_contrast_map, kb, kg, kr);
}
void invert_colours_rgb(AdjustContext* c) {
    invert_colours(c, kAdjustPixels);
}
void invert_colours_palette(AdjustContext* c) {
    invert_colours(c, kAdjustPalette);
}
void apply_posterize_rgb(AdjustContext* c, int levels, uint8_t* table) {
    apply_posterize(c, kAdjustPixels, levels, table);
}
void apply_posterize_palette(AdjustContext* c, int levels, uint8_t* table) {
    apply_posterize(c, kAdjustPalette, levels, table);
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
