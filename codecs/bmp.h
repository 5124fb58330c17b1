// BMP reader and writer, and clipboard DIBs.
#pragma once

#include "codecs/codec_context.h"

struct BmpContext : CodecContext {
    uint32_t masks[3] = {};  // red, green, blue bit-field masks
};
