#include "codecs/png/png.h"

void png_build_crc_table(PngContext* context) {
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        context->crc_table[n] = c;
    }
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = context->crc_table[n];
        for (int k = 0; k < 7; ++k) {
            c = context->crc_table[c & 0xFF] ^ (c >> 8);
            context->crc_slices[k][n] = c;
        }
    }
}

uint32_t png_chunk_crc(const PngContext* context, const uint8_t* type, uint32_t length, const uint8_t* data) {
    const uint32_t* t = context->crc_table;
    uint32_t c = 0xFFFFFFFFu;
    for (int i = 0; i < 4; ++i) c = t[(c ^ type[i]) & 0xFF] ^ (c >> 8);
    const uint32_t(*s)[256] = context->crc_slices;
    uint32_t i = 0;
    for (; i + 8 <= length; i += 8) {
        const uint8_t* d = data + i;
        const uint32_t lo = c ^ (static_cast<uint32_t>(d[0]) | (static_cast<uint32_t>(d[1]) << 8) |
                                 (static_cast<uint32_t>(d[2]) << 16) | (static_cast<uint32_t>(d[3]) << 24));
        c = s[6][lo & 0xFF] ^ s[5][(lo >> 8) & 0xFF] ^ s[4][(lo >> 16) & 0xFF] ^ s[3][lo >> 24] ^ s[2][d[4]] ^
            s[1][d[5]] ^ s[0][d[6]] ^ t[d[7]];
    }
    for (; i < length; ++i) c = t[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

bool png_check_chunk_crc(PngContext* context, const uint8_t* type, uint32_t length) {
    ByteCursor& in = context->input;
    if (!in.has(static_cast<size_t>(length) + 4)) return false;
    const uint8_t* data = in.data();
    const uint32_t computed = png_chunk_crc(context, type, length, data);
    const uint8_t* s = data + length;
    const uint32_t stored = (static_cast<uint32_t>(s[0]) << 24) | (static_cast<uint32_t>(s[1]) << 16) |
                            (static_cast<uint32_t>(s[2]) << 8) | s[3];
    return computed == stored;
}
