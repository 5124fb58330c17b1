// The codec context every read and write goes through, and the decoded image it returns.
//
// Every use follows one pattern: reset the format's context, read or write, release the
// context, whether the operation succeeded or not. The global set made at start-up is shared
// by all threads and is only used under the process-wide lock.
#pragma once

#include <cstdint>
#include <string>

#include "codecs/codec_errors.h"
#include "codecs/conversion_context.h"
#include "codecs/mapped_input.h"
#include "codecs/output_file.h"
#include "common/byte_cursor.h"
#include "common/win_types.h"

struct LoadedImage {
    BitmapInfoHeader info;
    RgbQuad palette[256];
    int32_t format;   // FileTypeCode of the source; 0 when a plug-in decoded it
    uint8_t* pixels;  // bottom-up rows padded to 4 bytes
    OsHandle bitmap;  // the DIB section in DIB-section mode, else 0
    uint32_t file_size;
    int32_t source_bits;
    FileTime last_write_time;
};

struct CodecContext {
    virtual ~CodecContext() = default;

    ConversionContext conversion;
    // 1: rows in plain virtual memory, no bitmap object; 0: rows in a DIB section.
    uint8_t in_memory = 0;
    OutputFile output_file;
    // The input file, mapped whole and read-only; the read cursor runs over its view.
    MappedInput mapped;
    LoadedImage loaded = {};
    int32_t error = kCodecOk;

    // The read cursor over the mapped input. A read past the end yields zero and marks the
    // context with error 6, so no reader ever touches memory outside the mapping.
    ByteCursor input;
    // Set when a write to the output file failed or was short; a writer whose output failed
    // reports failure.
    bool output_failed = false;

    // Frees the format's own buffers (decoder intermediates, writer buffers). The decoded rows
    // of a successful read belong to the caller and are not touched.
    virtual void free_format_buffers() {}
};

// Sets the error unless one is already recorded: the first failure is the one reported.
inline void set_codec_error(CodecContext* context, int32_t code) {
    if (context->error == kCodecOk) context->error = code;
}

// Initialises the conversion record; unless `shared`, also starts the per-use fields over
// (reset_codec_handles, in-memory mode off), as for a context made for one job. The shared
// contexts are initialised with 1: each use's reset starts their per-use fields over.
CodecContext* init_codec_context(CodecContext* context, uint8_t shared);

// The start of one use of a context: no file, mapping or view, an empty cursor, no error.
// The output handle is forgotten, not closed: the previous use's release closed it. The
// mapped input is an owner and is closed if a previous use left it open.
void reset_codec_handles(CodecContext* context);

// Unmaps the view, closes the mapping, the input and the output file. Idempotent: each
// handle is reset once it is closed.
void close_codec_files(CodecContext* context);
// Every context owns what it opened: the same as close_codec_files.
void close_codec_files_if_owned(CodecContext* context);

// Opens and maps the whole file read-only, sets the read cursor over it, stores the file size
// and last-write time in the loaded image and returns the size; 0 with error 4 on failure
// (an empty file has no view and fails too). What was opened stays owned by the context
// until its release.
uint32_t map_input_file(const std::u16string& path, CodecContext* context);

// The same over a file the caller mapped and keeps mapped for the length of the read.
uint32_t use_mapped_input(const MappedInput& input, CodecContext* context);

// Reads at the cursor; past the end they return 0 and set error 6.
uint8_t read_u8(CodecContext* context);
uint16_t read_le16(CodecContext* context);
uint16_t read_be16(CodecContext* context);
uint32_t read_le32(CodecContext* context);
uint32_t read_be32(CodecContext* context);

// Writes to the context's output file; a failed or short write marks output_failed and
// sets error 7.
bool write_output(CodecContext* context, const void* data, uint64_t size);
bool write_be32(CodecContext* context, uint32_t value);

void set_dib_info_header(CodecContext* context, int32_t width, int32_t height, int32_t bit_count,
                         int32_t x_ppm, int32_t y_ppm);

// Allocates the rows of the loaded image for its info header: virtual memory in in-memory
// mode, a DIB section otherwise (with the loaded palette). Sets error 1 on failure.
[[nodiscard]] bool allocate_loaded_rows(CodecContext* context, int64_t bytes);

// Frees the rows (or deletes the DIB section) of a loaded image and clears the pointers. For
// callers that own a decoded image, and for readers cleaning up after a failure.
void free_loaded_image(LoadedImage* image);
