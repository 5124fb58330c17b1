// The image windows' save options beyond the stored ones, the rules that turn the save bar's
// fields and lists into option values, the check that a save preview still shows what a save
// would write, and the comment text as the writers take it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "shell/core/settings_slots.h"

// `SaveFormat` values.
using SaveFormat = int32_t;
constexpr SaveFormat kSaveBmp = 0;
constexpr SaveFormat kSavePng = 1;
constexpr SaveFormat kSaveJpeg = 2;
constexpr SaveFormat kSaveTiff = 3;
constexpr SaveFormat kSaveGif = 4;
constexpr SaveFormat kSaveJpegLossless = 5;
constexpr int32_t kSaveFormatCount = 6;

// The comment as the PNG and JPEG writers take it: at most this many bytes of text, then the
// terminating zero.
constexpr size_t kSaveCommentBytes = 9999;

// The options of the PNG and GIF readers that decide how a preview decodes.
struct SaveDisplayOptions {
    int32_t apply_transparency = 0;
    int32_t use_file_background = 0;
    uint32_t background_colour = 0;
    int32_t gamma_enabled = 0;
    int32_t display_gamma_x1000 = 0;
};

// Every save option that changes the written file, with the display options a preview decodes
// with; the comment text is not part of it (a preview stays valid while only the text changes).
struct SavePreviewSettings {
    SaveSettings stored;
    int32_t transparent = 0;
    int32_t insert_comment = 0;
    int32_t lossless_operation = 0;
    SaveDisplayOptions display;
};

bool same_preview_settings(const SavePreviewSettings& a, const SavePreviewSettings& b);

// A preview is current only while it is shown and nothing it was made with has changed.
bool preview_is_current(bool shown, const SavePreviewSettings& now, const SavePreviewSettings& taken);

// --- values as the writers take them ---------------------------------------------------------

// The deflate level: above 9 is written as 9 (and below 0 as 0).
int32_t png_level_to_write(int32_t png_compression);
// Thousandths for the gAMA chunk, 0 for none: only with `write_gamma`; a non-zero value below
// 1 is written as 1.
uint32_t png_gamma_to_write(int32_t write_gamma, int32_t gamma);
// The 0x00BBGGRR colour as the writers take it: red, green, blue.
void transparent_colour_bytes(int32_t colour, uint8_t out[3]);

// --- the save bar's fields -------------------------------------------------------------------

int32_t commit_png_level(int32_t value);
int32_t commit_jpeg_quality(int32_t value);
int32_t commit_size_limit(int32_t value_kb);

struct GammaCommit {
    int32_t gamma = 0;      // thousandths
    bool replaced = false;  // the field's text is rewritten with `text`
    std::u16string text;
};
// The gamma field's text (the edit holds at most 7 characters) read as a decimal number,
// thousandths kept and further digits dropped.
GammaCommit commit_gamma(const std::u16string& text);
// "%.3f" of thousandths.
std::u16string gamma_text(int32_t gamma);

// --- the save bar's lists --------------------------------------------------------------------

// The format combo's item (0-5).
const char16_t* save_format_label(SaveFormat format);
// 6 with a JPEG source, else 5: the lossless transform needs a JPEG file.
int32_t save_format_item_count(bool image_loaded, bool jpeg_source);

struct BitDepthItem {
    const char16_t* label;
    int32_t bits;
    int32_t greyscale;
};
// The bit-depth combo's items for a format; null and 0 for a format outside 0-5.
const BitDepthItem* bit_depth_items(SaveFormat format, int32_t* count);

struct BitDepthState {
    int32_t selection = 0;
    int32_t target_bits = 0;
    int32_t greyscale = 0;
};
// The list rebuilt for `format`: the item on show, and the depth and greyscale flag moved to
// what the list offers. `source_bits` is the loaded image's source depth (0 without an image).
BitDepthState rebuild_bit_depth(SaveFormat format, int32_t target_bits, int32_t greyscale,
                                int32_t source_bits);
// The depth and greyscale flag an item gives; false for an item the list lacks.
bool choose_bit_depth(SaveFormat format, int32_t item, int32_t* target_bits, int32_t* greyscale);

// --- the save dialog -------------------------------------------------------------------------

// ".bmp", ".png", ".jpg", ".tif", ".gif", ".jpg".
const char16_t* save_default_extension(SaveFormat format);
// Label and pattern pairs, each ended by a zero, the list ended by another: five types, and
// the lossless transform's sixth with a JPEG source.
std::u16string save_dialog_filter(bool jpeg_source);
// A file name without its extension (the last dot of the name, not of a folder).
std::u16string strip_extension(const std::u16string& name);

// --- the comment -----------------------------------------------------------------------------

using LeadByteTest = bool (*)(uint8_t byte);
// The lead bytes of Shift-JIS double-byte characters.
bool shift_jis_lead_byte(uint8_t byte);
// The longest start of `text` (a whole conversion into the ANSI code page) of at most `limit`
// bytes that ends on a character boundary.
std::string cut_at_character(const std::string& text, size_t limit, LeadByteTest is_lead);

// --- the preview canvas ----------------------------------------------------------------------

// Copies a decoded preview's rows (8 or 24 bits, bottom-up, padded to 4) into a zeroed canvas of
// the current image's size and the same depth, row for row from the first row, each row at the
// canvas row's right end. What does not fit the canvas is left out: a wider row loses its left
// part, a taller picture its last rows.
void place_preview_rows(const uint8_t* source, int32_t source_width, int32_t source_height, uint8_t* canvas,
                        int32_t canvas_width, int32_t canvas_height, int32_t bit_count);

// What the image window keeps for saving beside the stored options and the choices a load
// resets.
struct EditSaveRecord {
    std::u16string comment;                // dialog 5900's text, written with insert_comment
    SavePreviewSettings preview_settings;  // taken when the preview's file was written
};
