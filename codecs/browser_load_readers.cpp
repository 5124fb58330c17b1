// The built-in readers as the browser runs them: reset the global context, read in in-memory
// mode, publish the full size and the format words, release the context.
#include "codecs/browser_load.h"
#include "codecs/codec_set.h"

// Until a format's reader is in the codecs, its files go to the plug-ins.
LoadedImage* load_bmp_bits(const std::u16string&) { return nullptr; }
LoadedImage* load_png_bits(const std::u16string&) { return nullptr; }
LoadedImage* load_jpeg_bits(const uint8_t*, uint32_t, const std::u16string&) { return nullptr; }
LoadedImage* load_tiff_bits(const std::u16string&) { return nullptr; }
LoadedImage* load_gif_bits(const std::u16string&) { return nullptr; }

// Stands in for the lossless JPEG transform until it is in the codecs: it writes nothing.
bool jpeg_transform_file_seam(const std::u16string&, const std::u16string&, int32_t) { return false; }
