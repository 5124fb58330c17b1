// Seam until palette building lands: reductions to 2-8 bits are refused like an unsupported
// depth pair, so writers report their conversion error instead of writing wrong pixels.
#include "codecs/palette.h"

uint32_t count_colours_24bit(ConversionContext*) { return 0; }
uint32_t count_colours_8bit(ConversionContext*) { return 0; }
bool reduce_to_palette(ConversionContext*) { return false; }
bool reduce_to_indexed(RgbQuad*, ConversionContext*, const RgbQuad*, const uint8_t*, uint8_t*) { return false; }
