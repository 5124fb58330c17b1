#include "codecs/png.h"

void png_build_crc_table(PngContext* context) {
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        context->crc_table[n] = c;
    }
}

uint32_t png_chunk_crc(const PngContext* context, const uint8_t* type, uint32_t length,
                       const uint8_t* data) {
    const uint32_t* t = context->crc_table;
    uint32_t c = 0xFFFFFFFFu;
    for (int i = 0; i < 4; ++i) c = t[(c ^ type[i]) & 0xFF] ^ (c >> 8);
    for (uint32_t i = 0; i < length; ++i) c = t[(c ^ data[i]) & 0xFF] ^ (c >> 8);
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
