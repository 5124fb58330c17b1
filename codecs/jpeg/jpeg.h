// JPEG reading and writing through libjpeg, comments, Exif and lossless transforms.
//
// Every operation takes its context explicitly: the program's global contexts live in
// g_codecs, and the stand-alone viewer and the batch jobs decode on contexts of their own.
// libjpeg's objects never outlive one call; a library failure comes back as a failed result
// with the library's message in g_jpeg_error_text.
#pragma once

#include <cstddef>
#include <string>

#include "codecs/codec_context.h"
#include "codecs/pixel_memory.h"

constexpr int32_t kJpegMaxDimension = 25000;
constexpr int32_t kJpegErrorTextLength = 200;
constexpr uint32_t kJpegMaxCommentBytes = 10000;
// The file destination hands the library blocks of this size.
constexpr uint32_t kJpegFileBufferBytes = 1048576;

// The last library message, shared by all JPEG work and emptied by every JPEG reset.
extern char16_t g_jpeg_error_text[kJpegErrorTextLength];
void clear_jpeg_error_text();

// The frame facts that decide the size of a lossless transform's result.
struct JpegHeaderFacts {
    int32_t width = 0;
    int32_t height = 0;
    int32_t imcu_width = 8;  // max_h_samp x 8
    int32_t imcu_height = 8;
};

// Reads the frame header of JPEG bytes; false when they are not a readable JPEG. A failure
// leaves the library's message in g_jpeg_error_text, as every JPEG operation does.
bool jpeg_read_header_facts(const uint8_t* data, size_t size, JpegHeaderFacts* facts);

struct JpegReaderContext : CodecContext {
    // One decode's options and findings; the reset starts them over.
    struct State {
        uint8_t grey_output = 0;    // the decoded image has one component (8-bit grey)
        uint8_t progressive = 0;    // the file is progressive
        uint8_t scaled_decode = 0;  // set by the caller: pick a reduced DCT scale for the box
        uint8_t data_supplied = 0;  // set by the caller: decode loaded.file_size bytes in memory
        int32_t box_width = 0;
        int32_t box_height = 0;
        // Set by the caller: decode at exactly 1/N (1, 2, 4 or 8) instead of by the box. For the
        // command-line harness and the benchmarks, which compare fixed scales.
        int32_t scale_denominator = 0;
        int32_t source_width = 0;  // the size in the file, before any scaling
        int32_t source_height = 0;
        int32_t comment_count = 0;     // COM segments met while decoding
        int32_t app1_seen = 0;         // 1 once an APP1 segment was met
        int32_t warning_count = 0;     // corrupt-data warnings of the library in a decode that ended
        uint16_t exif_byte_order = 0;  // TIFF header word while an Exif block is read
    } state;
};

struct JpegWriterContext : CodecContext {
    // One encode's options; the reset restores these defaults.
    struct State {
        uint8_t grey_output = 0;
        uint8_t progressive = 0;
        PixelBuffer conversion_buffer;  // 24-bit copy of an 8-bit source
        int32_t quality = 75;
        int32_t horizontal_sampling = 2;
        int32_t vertical_sampling = 2;
        int32_t dots_per_inch_x = 0;
        int32_t dots_per_inch_y = 0;
        const char* comment = nullptr;  // text of a COM segment to write, or null
    } state;

    void free_format_buffers() override;
};

// Transform codes of JpegTransformContext::transform_code.
enum JpegTransformCode : int32_t {
    kJpegTransformNone = 0,
    kJpegFlipHorizontal = 1,
    kJpegFlipVertical = 2,
    kJpegRotate90 = 5,
    kJpegRotate180 = 6,
    kJpegRotate270 = 7,
};

// Marker copy options of the transform.
enum JpegMarkerCopy : int32_t {
    kJpegCopyNone = 0,
    kJpegCopyComments = 1,
    kJpegCopyAll = 2,  // COM and APP0-APP15
};

struct JpegTransformContext : CodecContext {
    // One transform's options and result; the reset restores these defaults.
    struct State {
        uint8_t progressive = 0;
        int32_t marker_copy = kJpegCopyAll;
        int32_t transform_code = kJpegTransformNone;
        uint8_t trim = 1;
        uint8_t force_grey = 0;
        int32_t output_components = 0;
        // The size of the written image, recorded by every successful transform.
        int32_t output_width = 0;
        int32_t output_height = 0;
    } state;
};

// ---- reading ----

void jpeg_reader_reset(JpegReaderContext* context);
void jpeg_reader_release(JpegReaderContext* context);

// Decodes the file at `path`, or `data` (loaded.file_size bytes) when data_supplied is set.
// Returns the context's loaded image, whose rows then belong to the caller, or null on
// failure, with nothing of the decode left allocated. A library failure sets error 6 and
// leaves the library's message in g_jpeg_error_text.
[[nodiscard]] LoadedImage* read_jpeg_image(JpegReaderContext* context, const std::u16string& path,
                                           const uint8_t* data);

// The scale denominator jpeg_choose_scale picks for an image size and a box: the largest of
// 1, 2, 4, 8 that keeps the decoded image at least as large as the box in both directions.
int32_t jpeg_scale_for_box(uint32_t image_width, uint32_t image_height, uint32_t box_width,
                           uint32_t box_height);

// ---- writing ----

void jpeg_writer_reset(JpegWriterContext* context);
// Frees the conversion buffer and closes the files; the shared writer's name does the same.
void jpeg_writer_release(JpegWriterContext* context);
void jpeg_writer_release_global(JpegWriterContext* context);

// quality over 100 becomes 75; sampling 1 gives 2x1, 2 gives 1x1, anything else 2x2.
void jpeg_set_save_options(JpegWriterContext* context, int32_t quality, uint8_t progressive, uint8_t grey,
                           int32_t sampling);

// Encodes bottom-up rows (width, height and source_bits from the context; 8 bits go through
// `palette`) into a new file at `path`. The output handle stays in the context for the release.
[[nodiscard]] bool write_jpeg_image(JpegWriterContext* context, const std::u16string& path,
                                    const RgbQuad* palette, const uint8_t* bits);

// Encodes 24-bit bottom-up rows into `buffer`. `*count` holds the capacity on entry and the
// bytes written on success; output never goes past the capacity (a JPEG that does not fit fails).
[[nodiscard]] bool write_jpeg_image_to_memory(JpegWriterContext* context, uint8_t* buffer, uint32_t* count,
                                              const uint8_t* bits);

// Writes the highest-quality encode whose size is within `limit_kb` kilobytes. When no quality
// fits, no file is written and the save fails with error 7.
[[nodiscard]] bool write_jpeg_file_size_limited(JpegWriterContext* context, const std::u16string& path,
                                                const RgbQuad* palette, const uint8_t* bits,
                                                uint32_t limit_kb);

// ---- comments (raw marker walk over the mapped file, no library) ----

// Reads the first COM segment before the first scan into `out` (zero-terminated 8-bit text,
// ESC dropped, CR inserted before each bare LF). The caller closes the context's files.
void jpeg_read_comment(const std::u16string& path, CodecContext* context, char* out, uint32_t out_capacity);
// The same over the context's read cursor (the file already mapped, cursor at its start).
void jpeg_read_comment_at_cursor(CodecContext* context, char* out, uint32_t out_capacity);

// Writes the source with the comment added, replaced (mode nonzero) or removed (mode 0) to
// `destination`. On return mode is 1 = added, 0 = replaced or nothing to remove, -1 = removed.
[[nodiscard]] bool jpeg_write_comment(const std::u16string& source, CodecContext* context,
                                      const std::u16string& destination, const char* text, int32_t* mode);
[[nodiscard]] bool jpeg_find_comment_position(CodecContext* context, uint32_t* insert_offset,
                                              uint32_t* resume_offset);
[[nodiscard]] bool jpeg_write_comment_segment(const char* text, CodecContext* context);
[[nodiscard]] bool jpeg_skip_segment(CodecContext* context);

// ---- lossless transform ----

// kind: 1 rotate 90, 2 rotate 180, 3 rotate 270, 4 flip horizontal, 5 flip vertical, else none.
void jpeg_set_transform(JpegTransformContext* context, int32_t kind, uint8_t trim, int32_t marker_copy,
                        uint8_t progressive, uint8_t force_grey);
void jpeg_transform_reset(JpegTransformContext* context);
void jpeg_transform_release(JpegTransformContext* context);
// Transforms `source` into the new file `destination`. The source stays mapped until the
// caller's release; the destination handle is closed before this returns.
[[nodiscard]] bool jpeg_transform_file(JpegTransformContext* context, const std::u16string& source,
                                       const std::u16string& destination);
