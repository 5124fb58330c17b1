#include "codecs/jpeg/jpeg.h"
#include "codecs/jpeg/jpeg_library.h"

// Owns nothing with a destructor: the library's longjmp may leave it at any call.
bool jpeg_read_header_facts(const uint8_t* data, size_t size, JpegHeaderFacts* facts) {
    jpeg_decompress_struct object;
    JpegErrorManager errors;
    object.err = jpeg_install_error_manager(&errors);
    if (setjmp(errors.recovery)) {
        jpeg_destroy_decompress(&object);
        return false;
    }
    jpeg_create_decompress(&object);
    jpeg_mem_src(&object, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
    jpeg_read_header(&object, TRUE);
    facts->width = static_cast<int32_t>(object.image_width);
    facts->height = static_cast<int32_t>(object.image_height);
    facts->imcu_width = object.max_h_samp_factor * DCTSIZE;
    facts->imcu_height = object.max_v_samp_factor * DCTSIZE;
    jpeg_destroy_decompress(&object);
    return true;
}
