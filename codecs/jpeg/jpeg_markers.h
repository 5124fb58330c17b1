// The raw marker walk shared by the comment and Exif code, which read the mapped file
// directly without libjpeg.
#pragma once

#include <cstdint>

#include "codecs/codec_context.h"

constexpr uint8_t kJpegSoi = 0xD8;
constexpr uint8_t kJpegEoi = 0xD9;
constexpr uint8_t kJpegSos = 0xDA;
constexpr uint8_t kJpegApp0 = 0xE0;
constexpr uint8_t kJpegApp1 = 0xE1;
constexpr uint8_t kJpegCom = 0xFE;

// From the cursor: skips to the next 0xFF, over any fill 0xFF bytes, and reads the marker
// byte after them. Running out of data sets error 4 and returns false.
[[nodiscard]] bool jpeg_next_marker(CodecContext* context, uint8_t* marker);
