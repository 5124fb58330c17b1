// The clipboard's CF_DIB: pasting it into a decoded image and copying an image onto it.
#pragma once

#include "codecs/bmp/bmp.h"

// Opens the clipboard (owner: context->clipboard_owner) and decodes its CF_DIB into a DIB
// section. Null when there is none, the clipboard cannot be opened, or the block is not a
// usable bitmap (also when it is smaller than its header says). The block stays locked and
// the clipboard open until bmp_release or bmp_reader_release, whatever the result.
LoadedImage* read_clipboard_dib(BmpContext* context);

// Puts the 8- or 24-bit image (context width, height, source bits, resolution) on the
// clipboard as CF_DIB. The caller has opened the clipboard; it is closed here in every case.
// False when nothing was put there.
bool copy_dib_to_clipboard(BmpContext* context, const RgbQuad* palette, const uint8_t* pixels);
