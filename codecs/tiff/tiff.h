// Uncompressed TIFF reader and writer.
#pragma once

#include <cstdint>
#include <string>

#include "codecs/codec_context.h"

constexpr int32_t kTiffMaxSize = 25000;

// The reader's context.
struct TiffContext : CodecContext {
    uint32_t* strip_offsets = nullptr;
    uint32_t* strip_byte_counts = nullptr;

    // What one read finds; the reset starts it over.
    struct State {
        uint8_t little_endian = 1;
        int32_t photometric = 4;
        int32_t bits_per_sample = 1;
        int32_t sample_count = 1;
        int32_t compression = 1;
        int32_t planar_configuration = 1;
        int32_t samples_per_pixel = 0;  // 0 when the file has no SamplesPerPixel entry
        uint32_t colour_map_offset = 0;
        uint32_t x_resolution_offset = 0;
        uint32_t y_resolution_offset = 0;
        int32_t resolution_unit = 2;
        uint8_t description_seen = 0;
        uint8_t tiled = 0;
        uint32_t strip_offset_count = 0;
        uint32_t strip_byte_count_count = 0;
        uint32_t strip_count = 0;
        int32_t output_bits = 0;
        int32_t output_stride = 0;
    } state;

    void free_format_buffers() override;
};

void tiff_reader_reset(TiffContext* context);
// Decodes the input at the context's read cursor. Null on failure, with the error in the
// context.
LoadedImage* read_tiff_image(TiffContext* context);
// The same over the file at `path`, mapped for the length of the read.
LoadedImage* read_tiff_file(const std::u16string& path, TiffContext* context);
void tiff_free_buffers(TiffContext* context);
void tiff_reader_release(TiffContext* context);

// The writer's context; the caller fills the conversion record (width, height, source
// bits, target bits 1, 4, 8, 24 or 48, dither mode).
struct TiffWriterContext : CodecContext {
    uint8_t* strip_buffer = nullptr;

    // One write's options and layout; the reset restores these defaults.
    struct State {
        uint8_t grey = 0;
        int32_t x_pixels_per_metre = 0;
        int32_t y_pixels_per_metre = 0;
        uint32_t strip_size = 0;
        int32_t photometric = 0;
    } state;

    ~TiffWriterContext() override { free_format_buffers(); }
    void free_format_buffers() override;
};

void tiff_writer_reset(TiffWriterContext* context);
[[nodiscard]] bool write_tiff_file(const std::u16string& path, TiffWriterContext* context,
                                   RgbQuad* source_palette, const uint8_t* source_bits);
// Frees the strip buffer and closes the files; the batch conversion's name does the same.
void tiff_writer_release(TiffWriterContext* context);
void tiff_writer_release_global(TiffWriterContext* context);
