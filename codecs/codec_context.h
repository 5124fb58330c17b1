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

// What one use of a context starts over: the error, the read cursor and the output file. Reset
// by value (reset_codec_handles), so a field added here cannot be missed by the reset.
struct CodecUse {
    int32_t error = kCodecOk;
    // The read cursor over input someone else owns: a MappedRead of a path entry, a mapping the
    // caller keeps, or a test's buffer. A read past the end yields zero and marks the context
    // with error 6, so no reader ever touches memory outside the input.
    ByteCursor input;
    OutputFile output_file;
    // Set when a write to the output file failed or was short; a writer whose output failed
    // reports failure.
    bool output_failed = false;
};

struct CodecContext : CodecUse {
    virtual ~CodecContext() = default;

    ConversionContext conversion;
    // 1: rows in plain virtual memory, no bitmap object; 0: rows in a DIB section.
    uint8_t in_memory = 0;
    LoadedImage loaded = {};

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

// The start of one use of a context: the per-use record reset by value (no error, an empty
// cursor, the output file closed).
void reset_codec_handles(CodecContext* context);

// Closes the output file and empties the cursor. Idempotent.
void close_codec_files(CodecContext* context);
// Every context owns what it opened: the same as close_codec_files.
void close_codec_files_if_owned(CodecContext* context);

// Sets the read cursor over a file the caller mapped and keeps mapped for the length of the
// read, stores the file size and last-write time in the loaded image and returns the size; 0
// with error 4 when the input holds no mapping.
uint32_t use_mapped_input(const MappedInput& input, CodecContext* context);

// A file mapped for one read through a context: the context's cursor runs over it until this
// owner goes, which empties the cursor and then unmaps and closes the file. The readers' path
// entries hold one for the length of the read; nothing a reader returns points into the file.
class MappedRead {
public:
    // Opens and maps the whole file and sets the cursor over it (use_mapped_input); an empty,
    // missing or unmappable file leaves size() 0 with error 4.
    MappedRead(const std::u16string& path, CodecContext* context);
    ~MappedRead();
    MappedRead(const MappedRead&) = delete;
    MappedRead& operator=(const MappedRead&) = delete;

    uint32_t size() const { return size_; }
    const uint8_t* data() const { return input_.data(); }

private:
    CodecContext* context_;
    MappedInput input_;
    uint32_t size_ = 0;
};

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

// Frees the rows (or deletes the DIB section) of a loaded image and clears the pointers, for
// callers that own a decoded image.
void free_loaded_image(LoadedImage* image);

// Allocates the rows of the loaded image for its info header: virtual memory in in-memory
// mode, a DIB section otherwise (with the loaded palette). Sets error 1 on failure. The rows
// are owned by the read's LoadedRowsOwner until it hands them over.
[[nodiscard]] bool allocate_loaded_rows(CodecContext* context, int64_t bytes);

// The owner of the rows a read puts in a loaded image, wherever in the read they are
// allocated: unless the read hands them to its caller with keep(), leaving scope frees them
// (or deletes the DIB section) and clears the image's pointers. A read starts with none.
class LoadedRowsOwner {
public:
    explicit LoadedRowsOwner(LoadedImage* image) : image_(image) {
        image->pixels = nullptr;
        image->bitmap = 0;
    }
    ~LoadedRowsOwner() {
        if (image_) free_loaded_image(image_);
    }
    LoadedRowsOwner(const LoadedRowsOwner&) = delete;
    LoadedRowsOwner& operator=(const LoadedRowsOwner&) = delete;

    // Hands the rows to the caller of the read and returns the image.
    LoadedImage* keep() {
        LoadedImage* image = image_;
        image_ = nullptr;
        return image;
    }

private:
    LoadedImage* image_;
};
