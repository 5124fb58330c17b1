#include "codecs/png.h"

void png_build_crc_table(PngContext* context) {
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        context->crc_table[n] = c;
    }
}
