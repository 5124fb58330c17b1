#pragma once

#include <windows.h>

#include "codecs/codec_context.h"

// Shows the text of the context's error; codes outside 1-24 show nothing.
void show_codec_error(HWND owner, const CodecContext* context);
