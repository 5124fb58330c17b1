#include "codecs/jpeg/jpeg_library.h"

#include <cstring>

#include "codecs/jpeg/jpeg.h"

char16_t g_jpeg_error_text[kJpegErrorTextLength];

void clear_jpeg_error_text() {
    g_jpeg_error_text[0] = 0;
}

namespace {

// A program without a console has nowhere to print warnings. The library still counts them in
// num_warnings, which a decode reports to its caller.
void jpeg_silent_output(j_common_ptr) {}

void source_init(j_decompress_ptr) {}
void source_term(j_decompress_ptr) {}

boolean source_fill(j_decompress_ptr object) {
    JpegMemorySource* source = reinterpret_cast<JpegMemorySource*>(object->src);
    source->end_marker[0] = 0xFF;
    source->end_marker[1] = JPEG_EOI;
    source->pub.next_input_byte = source->end_marker;
    source->pub.bytes_in_buffer = 2;
    return TRUE;
}

void source_skip(j_decompress_ptr object, long count) {  // NOLINT(runtime/int): library type
    if (count <= 0) return;
    jpeg_source_mgr* source = object->src;
    // A skip beyond the data leaves the source exhausted; the next read gets the end marker.
    if (static_cast<unsigned long>(count) >= source->bytes_in_buffer) {  // NOLINT(runtime/int)
        source->next_input_byte += source->bytes_in_buffer;
        source->bytes_in_buffer = 0;
        return;
    }
    source->next_input_byte += count;
    source->bytes_in_buffer -= static_cast<size_t>(count);
}

void file_destination_init(j_compress_ptr object) {
    JpegFileDestination* d = reinterpret_cast<JpegFileDestination*>(object->dest);
    d->buffer = static_cast<JOCTET*>((*object->mem->alloc_small)(reinterpret_cast<j_common_ptr>(object),
                                                                 JPOOL_IMAGE, kJpegFileBufferBytes));
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = kJpegFileBufferBytes;
}

boolean file_destination_empty(j_compress_ptr object) {
    JpegFileDestination* d = reinterpret_cast<JpegFileDestination*>(object->dest);
    // The library asks for a new buffer only when the whole one is full.
    if (!write_output(d->context, d->buffer, kJpegFileBufferBytes)) ERREXIT(object, JERR_FILE_WRITE);
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = kJpegFileBufferBytes;
    return TRUE;
}

void file_destination_term(j_compress_ptr object) {
    JpegFileDestination* d = reinterpret_cast<JpegFileDestination*>(object->dest);
    const size_t used = kJpegFileBufferBytes - d->pub.free_in_buffer;
    if (used > 0 && !write_output(d->context, d->buffer, used)) ERREXIT(object, JERR_FILE_WRITE);
}

void memory_destination_init(j_compress_ptr) {}
void memory_destination_term(j_compress_ptr) {}

boolean memory_destination_empty(j_compress_ptr object) {
    // A full buffer is the end: writing on would overrun the caller's memory.
    ERREXIT(object, JERR_BUFFER_SIZE);
    return FALSE;
}

}  // namespace

void jpeg_error_exit(j_common_ptr object) {
    char message[JMSG_LENGTH_MAX];
    message[0] = 0;
    (*object->err->format_message)(object, message);
    // The library's messages are ASCII, so widening byte by byte is the code-page conversion.
    int i = 0;
    for (; i < kJpegErrorTextLength - 1 && message[i] != 0; ++i)
        g_jpeg_error_text[i] = static_cast<char16_t>(static_cast<unsigned char>(message[i]));
    g_jpeg_error_text[i] = 0;
    JpegErrorManager* manager = reinterpret_cast<JpegErrorManager*>(object->err);
    longjmp(manager->recovery, 1);
}

jpeg_error_mgr* jpeg_install_error_manager(JpegErrorManager* manager) {
    jpeg_error_mgr* standard = jpeg_std_error(&manager->pub);
    manager->pub.error_exit = jpeg_error_exit;
    manager->pub.output_message = jpeg_silent_output;
    return standard;
}

void jpeg_use_memory_source(j_decompress_ptr object, JpegMemorySource* source, const uint8_t* data,
                            size_t size) {
    source->pub.init_source = source_init;
    source->pub.fill_input_buffer = source_fill;
    source->pub.skip_input_data = source_skip;
    source->pub.resync_to_restart = jpeg_resync_to_restart;
    source->pub.term_source = source_term;
    source->pub.next_input_byte = data;
    source->pub.bytes_in_buffer = size;
    object->src = &source->pub;
}

void jpeg_use_file_destination(j_compress_ptr object, JpegFileDestination* destination,
                               CodecContext* context) {
    destination->context = context;
    destination->buffer = nullptr;
    destination->pub.init_destination = file_destination_init;
    destination->pub.empty_output_buffer = file_destination_empty;
    destination->pub.term_destination = file_destination_term;
    destination->pub.next_output_byte = nullptr;
    destination->pub.free_in_buffer = 0;
    object->dest = &destination->pub;
}

void jpeg_use_memory_destination(j_compress_ptr object, JpegMemoryDestination* destination, uint8_t* buffer,
                                 size_t capacity) {
    destination->buffer = buffer;
    destination->capacity = capacity;
    destination->pub.init_destination = memory_destination_init;
    destination->pub.empty_output_buffer = memory_destination_empty;
    destination->pub.term_destination = memory_destination_term;
    destination->pub.next_output_byte = buffer;
    destination->pub.free_in_buffer = capacity;
    object->dest = &destination->pub;
}

size_t jpeg_memory_destination_bytes(const JpegMemoryDestination* destination) {
    return destination->capacity - destination->pub.free_in_buffer;
}
