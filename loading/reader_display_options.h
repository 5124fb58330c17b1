// The display options of the PNG and GIF readers as the settings hold them (the same four slots
// for both readers, plus the gamma switch), and the one routine that hands them to a reader. The
// browser, the image windows and the stand-alone viewer all set their readers through it, so
// that one settings file shows an image alike in all three.
#pragma once

#include <cstdint>

#include "codecs/gif/gif.h"
#include "codecs/png/png.h"

struct ReaderDisplayOptions {
    int32_t gamma_enabled = 1;              // slot 28
    int32_t display_gamma_x1000 = 2200;     // slot 29: 2200 is a gamma of 2.2
    int32_t apply_transparency = 1;         // slot 30
    int32_t use_file_background = 1;        // slot 31; the readers take it inverted
    uint32_t background_colour = 0xFFFFFF;  // slot 32, 0x00BBGGRR
};

// The display gamma a PNG reader gets: 0 (no correction) when gamma correction is off, else the
// setting raised to at least 1 (0.001): a gamma of 0 or below has no meaning, yet values under
// 1000 are real settings (the options dialog stores anything from 0.001 up) and stay as they are.
uint32_t reader_display_gamma(const ReaderDisplayOptions& options);

// Between the reader's reset and its read. The PNG reader also takes the blend table that the
// caller owns.
void set_png_display_options(PngContext* context, const ReaderDisplayOptions& options,
                             const uint8_t* blend_table);
// The GIF reader's animation flag is the caller's own choice and left alone.
void set_gif_display_options(GifContext* context, const ReaderDisplayOptions& options);
