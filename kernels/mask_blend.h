// The one loop shape shared by the 24-bit colour kernels: the mask test first (a pixel
// outside the selection costs a copy), the effect, then the blend for a partial mask byte.
#pragma once

#include <cstdint>

#include "kernels/adjust_context.h"

// effect(const uint8_t* source_pixel, uint8_t* effect_out) computes the three effect bytes.
template <typename Effect>
void for_each_masked_pixel(const AdjustContext* c, Effect effect) {
    const uint8_t* t = c->blend;
    for (int32_t y = 0; y < c->height; ++y) {
        const uint8_t* s = c->source_pixels + static_cast<int64_t>(y) * c->stride;
        uint8_t* d = c->destination_pixels + static_cast<int64_t>(y) * c->stride;
        const uint8_t* m = c->mask ? c->mask + static_cast<int64_t>(y) * c->width : nullptr;
        for (int32_t x = 0; x < c->width; ++x, s += 3, d += 3) {
            const int mv = m ? m[x] : 0;
            if (mv == 255) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
                continue;
            }
            uint8_t e[3];
            effect(s, e);
            if (mv == 0) {
                d[0] = e[0];
                d[1] = e[1];
                d[2] = e[2];
            } else {
                const uint8_t* keep = t + 256 * mv;
                const uint8_t* take = t + 256 * (255 - mv);
                d[0] = static_cast<uint8_t>(keep[s[0]] + take[e[0]]);
                d[1] = static_cast<uint8_t>(keep[s[1]] + take[e[1]]);
                d[2] = static_cast<uint8_t>(keep[s[2]] + take[e[2]]);
            }
        }
    }
}

// The same with one 256-entry map per channel.
inline void map_masked_channels(const AdjustContext* c, const uint8_t* mb, const uint8_t* mg,
                                const uint8_t* mr) {
    for_each_masked_pixel(c, [&](const uint8_t* s, uint8_t* e) {
        e[0] = mb[s[0]];
        e[1] = mg[s[1]];
        e[2] = mr[s[2]];
    });
}

// Palette twin: maps bytes 0-2 of each of the 256 source entries; byte 3 is left alone.
inline void map_palette_channels(const AdjustContext* c, const uint8_t* mb, const uint8_t* mg,
                                 const uint8_t* mr) {
    for (int i = 0; i < 256; ++i) {
        const uint8_t* s = c->source_palette + 4 * i;
        uint8_t* d = c->destination_palette + 4 * i;
        d[0] = mb[s[0]];
        d[1] = mg[s[1]];
        d[2] = mr[s[2]];
    }
}

inline int clamp_int(int v, int lo, int hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}
