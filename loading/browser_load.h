// The browser's image loading: one entry that decodes any file to 24 bits for the thumbnail
// views, the preview, printing and wallpaper; fitting into the thumbnail box; the preview
// load; and the lossless rotation of a listed JPEG file in place. Everything here runs under
// the process-wide lock: the published records are shared and valid until the next load.
#pragma once

#include <cstdint>
#include <string>

#include "codecs/codec_context.h"

struct GifContext;
struct PngContext;
struct PluginContext;
struct ReaderDisplayOptions;

// What the last load published. The first eleven words are the load-info block that a
// thumbnail entry and the thumbnail cache keep.
struct LoadResult {
    uint32_t time_low = 0;
    uint32_t time_high = 0;
    int32_t full_width = 0;  // for JPEG the size in the file, before scaled decoding
    int32_t full_height = 0;
    uint32_t file_size = 0;
    int32_t format = 0;  // FileTypeCode; 0 for a plug-in
    int32_t source_bits = 0;
    // Format words: PNG comment chunks, text chunks, interlace, alpha; JPEG comments, APP1,
    // progressive; TIFF description; GIF comment, interlace, transparency.
    int32_t w1 = 0;
    int32_t w2 = 0;
    int32_t w3 = 0;
    int32_t w4 = 0;
    int32_t current_width = 0;  // after conversion and any fitting
    int32_t current_height = 0;
    BitmapInfoHeader header = {};  // the header in use, followed by 4 zero bytes
    uint32_t header_pad = 0;
    LoadedImage* image = nullptr;  // the loaded image in use; its rows are the current rows
};

constexpr int kLoadInfoWords = 11;

extern LoadResult g_load_result;

// The process-wide values the loaders read, set by the shell from the settings store.
struct BrowserOptions {
    int32_t box_width = 144;  // the thumbnail box
    int32_t box_height = 108;
    // Target of the JPEG reader's scaled decoding; 0 decodes at full size. The thumbnail and
    // preview loads set it for the length of their own load only.
    int32_t jpeg_box_width = 0;
    int32_t jpeg_box_height = 0;
    std::u16string plugin_folder;
    // Display options of the PNG and GIF readers: apply transparency, use the file's
    // background colour (the readers take it inverted), the configured background colour
    // (0x00BBGGRR), and the PNG display gamma (x 1000) when gamma correction is on.
    int32_t apply_transparency = 1;
    int32_t use_file_background = 1;
    uint32_t background_colour = 0xFFFFFF;
    int32_t gamma_enabled = 1;
    int32_t display_gamma_x1000 = 2200;
    // Preview size S, the preview frame's extra width M1 and height M2, the largest size O.
    int32_t preview_size = 400;
    int32_t preview_frame_width = 0;
    int32_t preview_frame_height = 0;
    int32_t preview_max_size = 800;
};

extern BrowserOptions g_browser_options;

// The preview's published image; its rows belong to the preview set until the next preview
// load or release_preview_image.
struct PreviewImage {
    BitmapInfoHeader header = {};
    uint32_t header_pad = 0;
    uint8_t* pixels = nullptr;
    // Minimum window width and height, maximum window width and height.
    int32_t layout[4] = {0, 0, 0, 0};
};

extern PreviewImage g_preview;

// Stands in for the thumbnail part of the views' file entry until the views exist.
struct ThumbnailTarget {
    BitmapInfoHeader header = {};
    uint32_t header_pad = 0;
    uint8_t* bits = nullptr;  // owned by the entry: free_thumbnail_bits
    uint32_t load_info[kLoadInfoWords] = {};
    int32_t thumbnail_width = 0;
    int32_t thumbnail_height = 0;
};

// The per-format loaders behind load_image_24: each resets its global reader, reads in
// in-memory mode, publishes the full size and its format words and releases the reader,
// whatever the result. The JPEG loader decodes towards the JPEG box when both its sides are
// set, and takes `data` (`size` bytes) in place of the file when it is not null.
// Readers set up with the browser's display options (transparency, background colour, gamma)
// after their reset; `in_memory` 1 keeps the pixel rows in plain memory, 0 in a DIB section.
// The image windows load through the same readers with the same options.
void prepare_png_reader(PngContext* c, uint8_t in_memory);
// The display options of g_browser_options, which the shell sets from the settings.
ReaderDisplayOptions browser_display_options();
void set_browser_display_options(const ReaderDisplayOptions& options);
void prepare_gif_reader(GifContext* c, uint8_t in_memory);
void prepare_plugin_record(PluginContext* record, uint8_t in_memory);

LoadedImage* load_bmp_bits(const std::u16string& path);
LoadedImage* load_png_bits(const std::u16string& path);
LoadedImage* load_jpeg_bits(const uint8_t* data, uint32_t size, const std::u16string& path);
LoadedImage* load_tiff_bits(const std::u16string& path);
LoadedImage* load_gif_bits(const std::u16string& path);
// Runs the plug-ins only when the plug-in folder is set and exists; the plug-in's blocks and
// library are released before it returns, whatever the result.
LoadedImage* load_plugin_bits(const std::u16string& path);

// The built-in loaders over a file the caller mapped (null: each maps `path` itself), so that
// one mapping serves the type sniff, the reader and the file's time.
LoadedImage* load_bmp_bits_mapped(const MappedInput* input, const std::u16string& path);
LoadedImage* load_png_bits_mapped(const MappedInput* input, const std::u16string& path);
LoadedImage* load_jpeg_bits_mapped(const MappedInput* input, const uint8_t* data, uint32_t size,
                                   const std::u16string& path);
LoadedImage* load_tiff_bits_mapped(const MappedInput* input, const std::u16string& path);
LoadedImage* load_gif_bits_mapped(const MappedInput* input, const std::u16string& path);

// JPEG files up to this size are read whole into one buffer that the loads reuse; larger ones
// are mapped.
constexpr uint64_t kBrowserReadBufferLimit = uint64_t{16} << 20;

// Decodes `path` (JPEG data may be given in memory instead) on the global reader contexts,
// falls back to the plug-ins, converts to 24 bits and publishes the result. The caller owns
// the returned rows (release_load_result frees them). Null on failure; `loaded` gets 1 on
// success.
LoadedImage* load_image_24(const uint8_t* data, uint32_t size, const std::u16string& path, int32_t* loaded);

// load_image_24 with the JPEG reader decoding at the DCT scale that fits the thumbnail box.
LoadedImage* load_thumbnail_image_24(const uint8_t* data, uint32_t size, const std::u16string& path,
                                     int32_t* loaded);

// Frees the rows of the last load unless a thumbnail entry took them over.
void release_load_result();

// The fitted size of `size` ({width, height}) in a box: the side that binds takes the box,
// the other keeps the aspect ratio (rounded down, never to 0).
void fit_size_to_box(int32_t box_width, int32_t box_height, int32_t size[2]);
// The same with the thumbnail box of the options.
void fit_to_box(int32_t size[2]);

// Shrinks the current image into the thumbnail box (never enlarging it). With size_only the
// size it would have is computed and nothing is resampled. False when memory is short; the
// current rows are then freed.
bool shrink_loaded_image_to_box(int32_t size[2], bool size_only);

struct PreviewLayout {
    int32_t min_width, min_height, max_width, max_height;
    int32_t fitted_width, fitted_height;
};

// Window limits and fitted size of a W x H image in a preview of size S, with the frame's
// extra width M1 and height M2 and the largest preview size O.
PreviewLayout compute_preview_layout(int32_t width, int32_t height, int32_t size, int32_t frame_width,
                                     int32_t frame_height, int32_t max_size);

// Loads the file for the preview, fitted into the preview size, and publishes it in g_preview.
bool load_preview_image(const std::u16string& path, const uint8_t* data, uint32_t size);
void release_preview_image();

// A thumbnail's rows: a heap block of their own size, owned by the entry that holds them and
// freed only with free_thumbnail_bits (null is allowed). Null when memory is short.
uint8_t* alloc_thumbnail_bits(int64_t bytes);
void free_thumbnail_bits(uint8_t* bits);

// Moves the current thumbnail into the entry: its rows are copied into a block from
// alloc_thumbnail_bits, the entry's previous rows are freed and the load is released. When
// memory is short the entry keeps what it had and g_load_result.image stays set.
void store_thumbnail_in_entry(ThumbnailTarget* entry);
// The same after an in-place transform: of the load-info words only the time, the full size
// and the file size are renewed.
void refresh_thumbnail_in_entry(ThumbnailTarget* entry);

// Rotates or flips the JPEG file `path` losslessly in place (transform kinds as for the
// lossless transform: 1 rotate 90, 2 rotate 180, 3 rotate 270, 4 flip horizontal, 5 flip
// vertical). Nothing is done when the file changed since it was listed at `listed_time`.
// The rotated file is written and checked beside the original before the original goes to
// the recycle bin; any failure leaves the original in place. Partial iMCU strips at the
// edges the transform mirrors are trimmed off. `owner` is the open image window's frame, or 0
// when none is open: the recycle bin's windows belong to it, so they stay above the image
// window the user works in.
bool transform_jpeg_file_in_place(const std::u16string& path, FileTime listed_time, int32_t kind,
                                  OsHandle owner);

// Replaceable steps of the in-place transform, so that failures can be injected in tests.
struct InPlaceTransformSteps {
    // Writes the transformed file; the source must not stay open or mapped afterwards.
    bool (*transform)(const std::u16string& source, const std::u16string& target, int32_t kind);
    // `owner` is the window the bin operation's own progress and error windows belong to.
    bool (*recycle)(const std::u16string& path, OsHandle owner);
    bool (*replace)(const std::u16string& source, const std::u16string& target);
};

InPlaceTransformSteps default_in_place_transform_steps();
extern InPlaceTransformSteps g_in_place_transform_steps;

// Shrinks 24-bit rows into a new buffer of the fitted size by area averaging; null when
// memory is short.
uint8_t* browser_resample_24(const uint8_t* rows, int32_t width, int32_t height, int32_t fitted_width,
                             int32_t fitted_height);

// Platform layer: the recycle bin and the wait cursor.
bool browser_recycle_file(const std::u16string& path, OsHandle owner);
void browser_show_wait_cursor(bool waiting);

// The codec error code of the last in-place transform that failed (0 after success).
extern int32_t g_in_place_transform_error;
