// PNG reader, writer and text chunks.
#pragma once

#include "codecs/codec_context.h"

struct PngContext : CodecContext {
    uint32_t crc_table[256] = {};
};

// The standard reflected CRC-32 table (polynomial 0xEDB88320).
void png_build_crc_table(PngContext* context);
