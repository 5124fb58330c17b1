// What the JPEG code shares about libjpeg: the error manager with its recovery point, and the
// source and destination managers. Only the codec's own sources include this.
//
// libjpeg reports failures by calling error_exit, which never returns here: it jumps back to
// the recovery point. Every function that sets a recovery point therefore holds nothing with a
// destructor, and any local it changes after setjmp and reads after the jump is volatile.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>

// jpeglib.h needs size_t and FILE declared before it.
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "codecs/codec_context.h"

struct JpegReaderContext;

// After the header is read: the reduced DCT scale for the reader's box (jpeg_scale_for_box),
// and the output size that follows from it.
void jpeg_choose_scale(j_decompress_ptr object, const JpegReaderContext* context);

struct JpegErrorManager {
    jpeg_error_mgr pub;
    // Found by the exit routine through the object's error manager.
    jmp_buf recovery;
};

// Installs the standard manager with the program's exit routine; messages are never printed.
jpeg_error_mgr* jpeg_install_error_manager(JpegErrorManager* manager);

// The program's exit routine: keeps the library's message in g_jpeg_error_text and jumps to
// the recovery point.
void jpeg_error_exit(j_common_ptr object);

// A source over bytes in memory. Running out of data yields an end-of-image marker, so a
// truncated file ends as a short image instead of failing.
struct JpegMemorySource {
    jpeg_source_mgr pub;
    JOCTET end_marker[2];
};
void jpeg_use_memory_source(j_decompress_ptr object, JpegMemorySource* source, const uint8_t* data,
                            size_t size);

// A destination writing to the context's output file in blocks of kJpegFileBufferBytes; a
// failed or short write raises the library's write error.
struct JpegFileDestination {
    jpeg_destination_mgr pub;
    CodecContext* context;
    JOCTET* buffer;
};
void jpeg_use_file_destination(j_compress_ptr object, JpegFileDestination* destination,
                               CodecContext* context);

// A destination over a caller's buffer of fixed capacity: the library's buffer-size error is
// raised instead of writing past it.
struct JpegMemoryDestination {
    jpeg_destination_mgr pub;
    uint8_t* buffer;
    size_t capacity;
};
void jpeg_use_memory_destination(j_compress_ptr object, JpegMemoryDestination* destination, uint8_t* buffer,
                                 size_t capacity);
size_t jpeg_memory_destination_bytes(const JpegMemoryDestination* destination);
