// The one loop shape shared by the colour kernels. An effect is written once and run over
// either pixel layout of an image: the 24-bit pixels through the selection mask, or the 256
// palette entries of an 8-bit image, which have no mask. Per pixel or entry: the mask test
// first (a pixel outside the selection costs a copy), the effect, then the blend for a
// partial mask byte.
#pragma once

#include <cstdint>
#include <type_traits>

#include "kernels/adjust_context.h"

inline void copy_bgr(const uint8_t* from, uint8_t* to) {
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2];
}

enum AdjustLayout : int { kAdjustPixels = 0, kAdjustPalette = 1 };

// One 256-entry map per channel, blue, green, red.
struct ChannelMaps {
    const uint8_t* blue;
    const uint8_t* green;
    const uint8_t* red;
    void operator()(const uint8_t* s, uint8_t* e) const {
        e[0] = blue[s[0]];
        e[1] = green[s[1]];
        e[2] = red[s[2]];
    }
};

// One map for one channel (0 blue .. 2 red): only that byte of each pixel or entry is
// written, the caller keeps the other two.
struct SingleChannelMap {
    const uint8_t* map;
    int channel;
};

// One row of count pixels or entries Step bytes apart (3: pixels, 4: palette entries whose
// fourth byte is left alone), with their mask bytes (null: all inside). effect(const uint8_t*
// source, uint8_t* effect_out) computes the three effect bytes. The effect comes by value: a
// copy whose address never escapes keeps its captures in registers, where one behind a
// reference would be reloaded after every byte written.
template <int Step, typename Effect>
void masked_effect_row(const uint8_t* s, uint8_t* d, const uint8_t* m, int32_t count, const uint8_t* blend,
                       Effect effect) {
    for (int32_t x = 0; x < count; ++x, s += Step, d += Step) {
        const int mv = m ? m[x] : 0;
        if constexpr (std::is_same_v<Effect, SingleChannelMap>) {
            const int ch = effect.channel;
            const uint8_t e = effect.map[s[ch]];
            if (mv == 255) {
                d[ch] = s[ch];
            } else if (mv == 0) {
                d[ch] = e;
            } else {
                d[ch] = static_cast<uint8_t>(blend[256 * mv + s[ch]] + blend[256 * (255 - mv) + e]);
            }
        } else {
            if (mv == 255) {
                copy_bgr(s, d);
                continue;
            }
            uint8_t e[3];
            effect(s, e);
            if (mv == 0) {
                copy_bgr(e, d);
            } else {
                const uint8_t* keep = blend + 256 * mv;
                const uint8_t* take = blend + 256 * (255 - mv);
                d[0] = static_cast<uint8_t>(keep[s[0]] + take[e[0]]);
                d[1] = static_cast<uint8_t>(keep[s[1]] + take[e[1]]);
                d[2] = static_cast<uint8_t>(keep[s[2]] + take[e[2]]);
            }
        }
    }
}

// The rows of one layout of the context's image.
struct AdjustRows {
    const uint8_t* source;
    uint8_t* destination;
    const uint8_t* mask;  // count bytes a row; null = all inside
    int64_t stride;
    int32_t count;  // pixels or entries a row
    int32_t rows;
};

inline AdjustRows adjust_rows(const AdjustContext* c, AdjustLayout layout) {
    if (layout == kAdjustPalette) return {c->source_palette, c->destination_palette, nullptr, 0, 256, 1};
    return {c->source_pixels, c->destination_pixels, c->mask, c->stride, c->width, c->height};
}

// Runs an effect over the layout with the row routine of that layout.
template <typename Effect>
void run_adjust_effect(const AdjustContext* c, AdjustLayout layout, const Effect& effect) {
    using Row = void (*)(const uint8_t*, uint8_t*, const uint8_t*, int32_t, const uint8_t*, Effect);
    static constexpr Row kRows[] = {masked_effect_row<3, Effect>, masked_effect_row<4, Effect>};
    const AdjustRows r = adjust_rows(c, layout);
    const Row row = kRows[layout];
    for (int32_t y = 0; y < r.rows; ++y) {
        row(r.source + y * r.stride, r.destination + y * r.stride,
            r.mask ? r.mask + static_cast<int64_t>(y) * r.count : nullptr, r.count, c->blend, effect);
    }
}

// The 24-bit pixels only, for the kernels that have no palette twin.
template <typename Effect>
void for_each_masked_pixel(const AdjustContext* c, const Effect& effect) {
    run_adjust_effect(c, kAdjustPixels, effect);
}

inline int clamp_int(int v, int lo, int hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}
