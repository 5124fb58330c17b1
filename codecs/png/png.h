// PNG reader, writer and text chunks.
//
// The reader walks the chunks itself over the mapped file, inflates the image data one row at
// a time and hands each row to a converter chosen once per image. Output is 8 bits with a
// palette (grey, palette and grey-with-alpha files) or 24 bits (colour files), bottom-up.
#pragma once

#include <cstdint>
#include <string>

#include "codecs/codec_context.h"
#include "codecs/pixel_memory.h"

struct PngContext;

// Undoes a row's filter and writes its pixels; `destination` is the row's first pixel.
using PngRowConverter = void (*)(PngContext* context, uint8_t* destination);
// Writes the pixels of one data byte of a 1, 2 or 4-bit row and advances the destination by
// the pixel step per pixel.
using PngUnpack = void (*)(PngContext* context, uint8_t** destination, uint8_t data);

struct PngContext : CodecContext {
    uint32_t crc_table[256] = {};
    // Derived from crc_table so that the CRC of the image data runs eight bytes per step.
    uint32_t crc_slices[7][256] = {};
    // Display options, set by the caller between the reset and the read.
    struct Options {
        uint8_t transparency = 1;
        uint8_t ignore_bkgd = 0;
        uint8_t configured_red = 255, configured_green = 255, configured_blue = 255;
        uint32_t display_gamma = 0;  // thousandths; 0 = no correction
        const uint8_t* blend_table = nullptr;
    } options;

    // What one read or write finds and works with; the resets start it over.
    struct State {
        State();

        int32_t bit_depth = 0;
        int32_t colour_type = 0;
        uint8_t grey = 0;       // colour types 0 and 4
        uint8_t interlace = 0;  // 0 none, 1 Adam7
        int32_t palette_entries = 0;
        int32_t bytes_per_pixel = 0;  // the filter distance; 1 below 8 bits

        // Chunk flags.
        uint8_t plte_seen = 0;
        uint8_t idat_seen = 0;
        uint8_t iend_seen = 0;
        uint8_t gama_seen = 0;
        uint8_t bkgd_seen = 0;
        uint8_t trns_seen = 0;
        int32_t text_chunks = 0;
        int32_t comment_chunks = 0;
        uint32_t compressed_bytes = 0;
        uint32_t file_gamma = 0;  // gamma x 100000
        uint8_t background_red = 0, background_green = 0, background_blue = 0;
        // For grey images the key is kept in the green byte.
        uint8_t key_red = 0, key_green = 0, key_blue = 0;
        uint8_t palette_alpha[256];  // 255 until a tRNS chunk says otherwise
        int32_t x_resolution = 0;    // pixels per metre, 0 when absent
        int32_t y_resolution = 0;
        int32_t output_stride = 0;
        int32_t bytes_per_sample = 0;  // 0 below 8 bits
        const uint8_t* compressed_data = nullptr;
        HeapBuffer assembled_data;  // when several IDATs were joined
        PixelBuffer image_buffer;
        PixelBuffer alpha_plane;  // width bytes per row, bottom-up; colour types 4 and 6

        // Row state of the converters.
        uint8_t* alpha_row = nullptr;
        uint8_t* previous_row = nullptr;  // unfiltered data bytes of the previous row of the pass
        uint8_t* current_row = nullptr;   // byte 0 is the filter type
        int32_t pixel_step = 1;
        int32_t destination_step = 3;
        int32_t inflated_row_bytes = 0;  // including the filter-type byte
        int32_t row_pixels = 0;
        int32_t last_byte_pixels = 0;  // 0: the last byte of a packed row is full

        int32_t output_bits = 0;  // 8 or 24
        uint8_t alpha = 0;        // colour types 4 and 6

        PngUnpack unpack_whole = nullptr;
        PngUnpack unpack_last = nullptr;
        PngRowConverter converters[5] = {};
    } state;

    void free_format_buffers() override;
};

// --- CRC -----------------------------------------------------------------------------------

// The standard reflected CRC-32 table (polynomial 0xEDB88320).
void png_build_crc_table(PngContext* context);
// CRC of the four type bytes followed by `length` data bytes: the chunk CRC.
uint32_t png_chunk_crc(const PngContext* context, const uint8_t* type, uint32_t length, const uint8_t* data);
// With the read cursor at a chunk's data: whether the stored CRC behind the data matches. The
// cursor is left at the data. A chunk whose CRC lies outside the file does not match.
bool png_check_chunk_crc(PngContext* context, const uint8_t* type, uint32_t length);

// --- reader --------------------------------------------------------------------------------

constexpr int32_t kPngMaxDimension = 25000;

void png_reader_reset(PngContext* context);
// Decodes the file. Null with the error code set on failure; on success the loaded image
// (its rows are the caller's to free with free_loaded_image).
LoadedImage* read_png_file(PngContext* context, const std::u16string& path);
// The same over the bytes already under the context's read cursor.
LoadedImage* read_png_mapped(PngContext* context);
void png_free_buffers(PngContext* context);
// Frees the buffers and closes the mapping and the files; run after every read.
void png_reader_release(PngContext* context);

// --- rows, filters and interlace ------------------------------------------------------------

struct PngPassSizes {
    int32_t columns[7];
    int32_t rows[7];
    int32_t row_bytes[7];  // 0 for an empty pass
};

extern const int32_t kAdam7ColumnStart[7];
extern const int32_t kAdam7RowStart[7];
extern const int32_t kAdam7ColumnStep[7];
extern const int32_t kAdam7RowStep[7];

[[nodiscard]] bool png_choose_converters(PngContext* context);
int64_t png_row_bytes(const PngContext* context, int64_t pixels);
PngPassSizes png_adam7_pass_sizes(const PngContext* context, int32_t width, int32_t height);
uint8_t paeth_predictor(uint8_t a, uint8_t b, uint8_t c);
// Zlib data in `compressed_data`/`compressed_bytes` into the image buffer. A corrupt or short
// stream records error 23 and still succeeds, with the missing rows left zero.
[[nodiscard]] bool png_inflate_rows(PngContext* context);
[[nodiscard]] bool png_inflate_rows_interlaced(PngContext* context);

// --- writer --------------------------------------------------------------------------------

struct PngWriterContext : PngContext {
    // The caller sets width, height, source bits, target bits and dither mode, and runs
    // compute_row_sizes for the target depth.
    RgbQuad* palette = nullptr;
    const uint8_t* pixels = nullptr;
    HeapBuffer filtered_data;
    uint64_t filtered_bytes = 0;
    const uint8_t* transparent_colour = nullptr;  // red, green, blue
    // The caller's choices for one write, back to these defaults at the writer's reset.
    struct Settings {
        int32_t level = 9;
        int32_t filter_mode = 0;  // 0 adaptive, 1 None, 2 Sub, 3 Up, 4 Average, 5 Paeth
        uint32_t gamma = 0;       // thousandths; 0 writes no gAMA
        uint8_t transparent = 0;
        int32_t horizontal_resolution = 0;
        int32_t vertical_resolution = 0;
        const char* comment = nullptr;
        uint8_t layout48 = 0;  // 0 top-down big-endian RGB; 1 bottom-up little-endian BGR
        void* status_window = nullptr;
    } settings;
    // Called with "compress..." while compressing and with the saved text afterwards.
    void (*status_text)(void* window, const char16_t* text) = nullptr;
    std::u16string (*status_get)(void* window) = nullptr;
    int32_t pass_row_bytes[7] = {};
    int32_t pass_columns[7] = {};
    int32_t pass_rows[7] = {};
    uint8_t* row_buffers[6] = {};  // previous raw, current raw, Sub, Up, Average, Paeth
    int (*choose_filter)(PngWriterContext* context, int32_t row_bytes) = nullptr;

    void free_format_buffers() override;
};

void png_writer_reset(PngWriterContext* context);
// Largest row bytes, or 0 with error 7.
int32_t png_writer_setup(PngWriterContext* context);
[[nodiscard]] bool write_png_file(const std::u16string& path, PngWriterContext* context, RgbQuad* palette,
                                  const uint8_t* pixels);
// Frees the filtered data and closes the files; the batch conversion's name does the same.
void png_writer_release(PngWriterContext* context);
void png_writer_release_global(PngWriterContext* context);
// The adaptive mode's score of one candidate row (its type byte first): the count of bytes
// equal to the byte before them and within 3 of 0 modulo 256. The highest score wins.
int png_adaptive_score(const uint8_t* row, int32_t row_bytes);

// --- text chunks -----------------------------------------------------------------------------

constexpr int32_t kPngCommentBytes = 10000;
constexpr int32_t kPngTextEntries = 16;
constexpr int32_t kPngKeywordSlot = 80;
constexpr int32_t kPngTextSlot = 1025;
constexpr int32_t kPngTextListBytes = kPngTextEntries * (kPngKeywordSlot + kPngTextSlot);

// `text` receives up to 9999 bytes and a terminating 0 (buffer of kPngCommentBytes).
void png_read_comment(PngContext* context, const std::u16string& path, char* text);
[[nodiscard]] bool png_find_comment_chunk(PngContext* context, uint32_t* start, uint32_t* end);
[[nodiscard]] bool png_write_comment_chunk(PngContext* context, const char* text);
// mode in: nonzero writes `text`, 0 removes the comment; out: 1 inserted, 0 replaced,
// -1 removed.
[[nodiscard]] bool png_write_comment(const std::u16string& source, PngContext* context,
                                     const std::u16string& output, const char* text, int32_t* mode);
// `buffer` is kPngTextListBytes, zero-filled by the caller.
[[nodiscard]] bool png_list_text_chunks(const std::u16string& path, uint8_t* buffer, PngContext* context);
// The walk and listing over the bytes already under the context's read cursor.
[[nodiscard]] bool png_list_text_chunks_mapped(uint8_t* buffer, PngContext* context);
void png_read_comment_mapped(PngContext* context, char* text);
