#include "kernels/lookup_tables.h"

uint8_t* build_blend_table(uint8_t* t) {
    for (int a = 0; a < 256; ++a) {
        for (int v = 0; v < 256; ++v) {
            uint8_t value;
            if (a == 0 || v == 0) {
                value = 0;
            } else if (a == 255) {
                value = static_cast<uint8_t>(v);
            } else if (v == 255) {
                value = static_cast<uint8_t>(a);
            } else {
                const uint32_t lo = a < v ? a : v;
                const uint32_t hi = a < v ? v : a;
                const uint32_t f = lo * 65536u / 255u;
                value = static_cast<uint8_t>((f * hi + 0x8000u) >> 16);
            }
            t[256 * a + v] = value;
        }
    }
    return t;
}

const int32_t* build_squares_table(int32_t* table) {
    for (int i = -255; i <= 255; ++i) table[i + 255] = i * i;
    return table + 255;
}
