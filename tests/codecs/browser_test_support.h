// Helpers of the browser loader tests: decoding a JPEG file to pixels with libjpeg directly,
// and the in-place transform steps that tests swap in.
#pragma once

#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "common/utf16.h"
#include "tests/support/test_support.h"

struct DecodedJpeg {
    int width = 0;
    int height = 0;
    int components = 0;
    std::vector<uint8_t> samples;  // top-down, no padding
};

namespace browser_test_detail {
struct Error {
    jpeg_error_mgr manager;
    jmp_buf recovery;
};
inline void error_exit(j_common_ptr info) { std::longjmp(reinterpret_cast<Error*>(info->err)->recovery, 1); }

// Owns nothing with a destructor across the library calls.
inline bool decode(const std::vector<uint8_t>* bytes, DecodedJpeg* out) {
    jpeg_decompress_struct info;
    Error error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = error_exit;
    if (setjmp(error.recovery)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, const_cast<unsigned char*>(bytes->data()), static_cast<unsigned long>(bytes->size()));
    jpeg_read_header(&info, TRUE);
    info.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&info);
    out->width = int(info.output_width);
    out->height = int(info.output_height);
    out->components = info.output_components;
    out->samples.resize(size_t(out->width) * out->height * out->components);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = &out->samples[size_t(info.output_scanline) * out->width * out->components];
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}
}  // namespace browser_test_detail

inline bool decode_jpeg_file(const std::u16string& path, DecodedJpeg* out) {
    std::vector<uint8_t> bytes;
    return read_bytes(path, &bytes) && !bytes.empty() && browser_test_detail::decode(&bytes, out);
}

inline std::u16string browser_fixture(const std::string& name) {
    return utf8_to_utf16(std::string(PX_TEST_SOURCE_DIR) + "/tests/codecs/browser_fixtures/" + name);
}
