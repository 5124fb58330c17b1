// JPEG reading and writing through libjpeg, comments, Exif and lossless transforms.
#pragma once

#include "codecs/codec_context.h"

struct JpegReaderContext : CodecContext {};
struct JpegWriterContext : CodecContext {};
