#pragma once

#include <windows.h>

#include "codecs/codec_context.h"

// Codes 1-5 and 7 show the codec's own message. Any other code shows the pending libjpeg
// message under "JPEG Library Error", or nothing when there is none.
void show_jpeg_error(HWND owner, const CodecContext* context);
