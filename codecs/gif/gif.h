// GIF reader (with animation frames) and writer.
#pragma once

#include <cstdint>
#include <string>

#include "codecs/codec_context.h"

constexpr int32_t kGifMaxFrames = 256;
constexpr int32_t kGifMaxScreen = 25000;
constexpr int32_t kGifMaxCodes = 4096;

// One string of the LZW dictionary: its last byte, the entry of its prefix, its length and,
// so that the decoder needs no walk for the KwKwK case, its first byte.
struct GifLzwEntry {
    uint8_t last;
    uint8_t first;
    uint16_t prefix;
    uint16_t length;
};

// The decoder's dictionary and code state.
struct GifLzwDecoder {
    GifLzwEntry entries[kGifMaxCodes];
    int32_t code_width;
    int32_t clear_code;
    int32_t end_code;
    int32_t next_code;
};

// Decodes LZW data (sub-blocks already joined) into `out`, at most `out_size` bytes; pixels the
// data does not reach are left as they are. Returns the number of bytes produced.
int64_t gif_decode_lzw(GifLzwDecoder* state, int32_t min_code_size, const uint8_t* data, int64_t data_size,
                       uint8_t* out, int64_t out_size);

// The encoder's dictionary: an open-addressing table keyed on (prefix code, next byte), so one
// lookup per pixel whatever the string lengths. Slots of older generations count as empty,
// which makes the clear code's emptying O(1).
struct GifLzwEncoder {
    static constexpr int32_t kSlots = 8192;  // a power of two above twice the 4096 codes
    uint32_t slot_key[kSlots];
    uint16_t slot_code[kSlots];
    uint16_t slot_generation[kSlots];
    uint16_t generation;
    int32_t code_width;
    int32_t clear_code;
    int32_t end_code;
    int32_t next_code;
    uint32_t accumulator;
    int32_t bit_count;
};

// Bytes the encoder may produce at most for `pixel_count` pixels (codes of at most 12 bits, at
// most one code per pixel, the clear codes and the end code); -1 when it does not fit 31 bits.
int64_t gif_lzw_bound(int64_t pixel_count);

// Encodes the pixels (each below 2^min_code_size) into `out`; returns the byte count, or -1
// when `out_capacity` is too small (never the case with gif_lzw_bound bytes).
int64_t gif_encode_lzw(GifLzwEncoder* state, int32_t min_code_size, const uint8_t* pixels,
                       int64_t pixel_count, uint8_t* out, int64_t out_capacity);

// Receives `size` bytes of encoder output; false stops the encoding as failed.
using GifLzwFlush = bool (*)(void* user, const uint8_t* data, int64_t size);

// The same coding, handed out through `flush` each time the `chunk` of `chunk_size` bytes is
// full and once at the end, so the output needs no buffer the size of the image. Returns the
// byte count, or -1 when a flush failed.
int64_t gif_encode_lzw_stream(GifLzwEncoder* state, int32_t min_code_size, const uint8_t* pixels,
                              int64_t pixel_count, uint8_t* chunk, int64_t chunk_size, GifLzwFlush flush,
                              void* user);

// The animation record that gif_get_animation_info fills. The frame buffers after the first
// belong to the caller once taken (free with gif_free_animation_frames); frame 0 is the
// LoadedImage's own rows.
struct GifAnimationInfo {
    uint8_t animation;
    int32_t frame_count;
    int32_t loop_count;
    int32_t delays[kGifMaxFrames];
    int32_t disposals[kGifMaxFrames];
    OsHandle frame_bitmaps[kGifMaxFrames];  // DIB sections; 0 in in-memory mode
    uint8_t* frame_pixels[kGifMaxFrames];   // bottom-up rows of each composed frame
    RgbQuad frame_palettes[kGifMaxFrames][256];
};

// The reader's context.
struct GifContext : CodecContext {
    uint8_t* index_buffer = nullptr;
    uint8_t* data_buffer = nullptr;
    uint32_t data_size = 0;
    // The area to restore for disposal 3 (indices into the previous frame's palette).
    uint8_t* restore_buffer = nullptr;
    GifLzwDecoder lzw = {};

    // The frames of one read (about 260 KB): cleared in place by the reset, never through a
    // temporary on the stack of the thread that loads.
    struct Frames {
        int32_t delays[kGifMaxFrames] = {};
        int32_t disposals[kGifMaxFrames] = {};
        OsHandle frame_bitmaps[kGifMaxFrames] = {};
        uint8_t* frame_pixels[kGifMaxFrames] = {};
        RgbQuad frame_palettes[kGifMaxFrames][256] = {};
    } frames;

    // Display and animation options, set by the caller between the reset and the read.
    struct Options {
        uint8_t replace_transparent_colour = 1;
        uint8_t use_configured_colour = 0;
        uint8_t animation_wanted = 0;
        uint8_t configured_colour[3] = {255, 255, 255};
    } options;

    // What one read finds and the composition state of an animation.
    struct State {
        uint8_t interlaced = 0;
        uint8_t transparency = 0;
        uint8_t animation = 0;
        int32_t frame_count = 0;
        int32_t loop_count = 0;
        // Set once gif_get_animation_info handed the frames to the caller.
        uint8_t frames_taken = 0;
        int32_t screen_width = 0;
        int32_t screen_height = 0;
        int32_t image_left = 0;
        int32_t image_top = 0;
        int32_t colour_bits = 0;
        uint8_t global_table_present = 0;
        uint8_t local_table_present = 0;
        uint8_t background_index = 0;
        uint8_t global_table[768] = {};
        uint8_t local_table[768] = {};
        int32_t local_table_entries = 0;
        int32_t global_table_entries = 0;
        const uint8_t* active_table = nullptr;
        int32_t active_entries = 0;
        int32_t disposal = 0;
        int32_t transparent_frames = 0;
        int32_t transparent_index = 0;
        uint8_t comment_seen = 0;
        uint8_t* previous_frame = nullptr;
        // Composition state of an animation: the colour shown where the canvas is background,
        // the previous frame's disposal and rectangle.
        RgbQuad background_colour = {};
        int32_t previous_disposal = 0;
        int32_t previous_left = 0;
        int32_t previous_top = 0;
        int32_t previous_width = 0;
        int32_t previous_height = 0;
    } state;

    void free_format_buffers() override;
};

void gif_reader_reset(GifContext* context);
// Decodes the input at the context's read cursor. Null on failure, with the error in the
// context.
LoadedImage* read_gif_image(GifContext* context);
// The same over the file at `path`, mapped for the length of the read (every frame is decoded
// before it returns).
LoadedImage* read_gif_file(const std::u16string& path, GifContext* context);
[[nodiscard]] bool gif_get_animation_info(GifContext* context, GifAnimationInfo* record);
// Frees the frames after the first of a record taken with gif_get_animation_info.
void gif_free_animation_frames(GifAnimationInfo* record);
void gif_reader_release(GifContext* context);

// The writer's context; the caller fills the conversion record (width, height, source
// bits, target bits 1..8, dither mode).
struct GifWriterContext : CodecContext {
    uint8_t interlace = 0;
    uint8_t transparency = 0;
    const uint8_t* transparent_colour = nullptr;  // red, green, blue
    const uint8_t* source_bits_pointer = nullptr;
    uint8_t* work_buffer_gif = nullptr;
    uint8_t* pixel_buffer = nullptr;
    int32_t minimum_code_size = 0;
    GifLzwEncoder* encoder = nullptr;

    ~GifWriterContext() override { free_format_buffers(); }
    void free_format_buffers() override;
};

// The palette index a transparent colour (red, green, blue) is written as: the highest exact
// match, else the first of the nearest entries.
int32_t gif_find_transparent_index(const RgbQuad* palette, int32_t entries, const uint8_t* colour);

// Writes the indices (one byte per pixel, rows bottom-up of exactly width bytes) with the
// palette to the context's open output file. False on any failure, with the error set.
[[nodiscard]] bool gif_write_indexed(GifWriterContext* context, const RgbQuad* palette,
                                     const uint8_t* indices);

[[nodiscard]] bool write_gif_file(const std::u16string& path, GifWriterContext* context,
                                  RgbQuad* source_palette, const uint8_t* source_bits);
// Frees the work buffers and closes the files; the batch conversion's name does the same.
void gif_writer_release(GifWriterContext* context);
void gif_writer_release_global(GifWriterContext* context);
