// BMP reader and writer, and the packed DIBs of the clipboard.
#pragma once

#include <string>

#include "codecs/codec_context.h"

constexpr int32_t kBmpMaxDimension = 25000;
constexpr uint32_t kBmpFileHeaderBytes = 14;
constexpr uint32_t kBmpInfoHeaderBytes = 40;

struct BmpContext : CodecContext {
    // Writer: the rows converted to the target depth, and the resolution to store.
    uint8_t* conversion_buffer = nullptr;
    int32_t x_ppm = 0;
    int32_t y_ppm = 0;
    OsHandle clipboard_owner = 0;  // window that opens the clipboard; null for the task

    // What one read finds; the reader's reset starts it over.
    struct State {
        // The red, green and blue bit-field masks of 16- and 32-bit pixels.
        uint32_t masks[3] = {};
        // As read, or as last written.
        uint8_t file_header[kBmpFileHeaderBytes] = {};
        BitmapInfoHeader info_header = {};
        // The locked clipboard block a clipboard read decoded from (Windows). It stays locked
        // and the clipboard open until the release, which calls release_clipboard.
        OsHandle clipboard_memory = 0;
        const uint8_t* clipboard_data = nullptr;
        void (*release_clipboard)(BmpContext* context) = nullptr;
    } state;

    void free_format_buffers() override;
};

// init_codec_context, and unless shared also the masks, the conversion buffer and the
// resolution cleared.
BmpContext* init_bmp_context(BmpContext* context, uint8_t shared);

// Clears the headers, the loaded image's palette and pointers, the clipboard fields and the
// error, ready for one read. Rows of an earlier successful read belong to its caller.
void bmp_reader_reset(BmpContext* context);

// Reads a BMP file into an 8- or 24-bit image (1- and 4-bit files are expanded to 8 bits,
// 16- and 32-bit files unpacked to 24). Only uncompressed bottom-up rows (and bit-field masks
// for 16 and 32 bits) are read: run-length and top-down files are refused with error 2. Rows
// that a file cut short does not hold load as zero. Null on failure with the error in the
// context; on success the caller owns the rows (free_loaded_image).
LoadedImage* read_bmp_file(const std::u16string& path, BmpContext* context);

// The same over bytes already in context->input (the mapped file, or a test's buffer).
LoadedImage* decode_bmp_input(BmpContext* context);

// Decodes a packed DIB (info header, colour table or masks, rows) of `size` bytes, as the
// clipboard holds it. The size is the block's real size: a block too small for the rows its
// header describes is refused, and so are run-length and top-down blocks. The rows always go
// into a DIB section.
LoadedImage* parse_packed_dib(BmpContext* context, const uint8_t* data, uint64_t size);

// Writes the image (at the context's source bits, with its palette) at the context's target
// bits: 1, 4, 8 or 24. The caller has set width, height and both depths and run
// compute_row_sizes. The file stays open until bmp_writer_release.
[[nodiscard]] bool write_bmp_file(const std::u16string& path, BmpContext* context, const RgbQuad* palette,
                                  const uint8_t* pixels);

// Size of the packed DIB of an 8- or 24-bit image (context width, height, source bits); 0 for
// other depths or sizes out of range.
uint64_t packed_dib_size(const ConversionContext* context);
// Fills `out` (packed_dib_size bytes) with header, palette (8 bits) and rows.
void fill_packed_dib(const BmpContext* context, const RgbQuad* palette, const uint8_t* pixels, uint8_t* out);

// Releases the clipboard block and closes the files. Every context owns what it opened, so
// the shared reader's name and the general one do the same.
void bmp_release(BmpContext* context);
void bmp_reader_release(BmpContext* context);
// Frees the conversion buffer and closes the files; the batch conversion's name does the same.
void bmp_writer_release(BmpContext* context);
void bmp_writer_release_global(BmpContext* context);
