// GIF reader (with animation frames) and writer.
#pragma once

#include "codecs/codec_context.h"

struct GifContext : CodecContext {};
