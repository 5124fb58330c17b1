// Uncompressed TIFF reader and writer.
#pragma once

#include "codecs/codec_context.h"

struct TiffContext : CodecContext {};
