// Helpers of the browser loader tests: decoding a JPEG file to pixels with libjpeg directly,
// and the in-place transform steps that tests swap in.
#pragma once

#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

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
inline void error_exit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<Error*>(info->err)->recovery, 1);
}

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

// Reads a binary PPM (as Pillow writes it) into 24-bit rows in the bitmap's layout:
// bottom-up, blue-green-red, padded to 4.
inline bool read_ppm_as_bitmap_rows(const std::u16string& path, int* width, int* height,
                                    std::vector<uint8_t>* rows) {
    std::vector<uint8_t> bytes;
    if (!read_bytes(path, &bytes)) return false;
    int fields[3] = {};
    size_t at = 2;
    if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] != '6') return false;
    for (int& field : fields) {
        while (at < bytes.size() &&
               (bytes[at] == ' ' || bytes[at] == '\n' || bytes[at] == '\r' || bytes[at] == '\t'))
            ++at;
        while (at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9')
            field = field * 10 + (bytes[at++] - '0');
    }
    ++at;  // the single whitespace byte after the maximum value
    *width = fields[0];
    *height = fields[1];
    const size_t stride = (3 * size_t(*width) + 3) & ~size_t(3);
    if (fields[2] != 255 || bytes.size() < at + 3 * size_t(*width) * *height) return false;
    rows->assign(stride * *height, 0);
    for (int y = 0; y < *height; ++y) {
        const uint8_t* src = &bytes[at + 3 * size_t(*width) * y];
        uint8_t* dst = &(*rows)[stride * (*height - 1 - y)];
        for (int x = 0; x < *width; ++x) {
            dst[3 * x] = src[3 * x + 2];
            dst[3 * x + 1] = src[3 * x + 1];
            dst[3 * x + 2] = src[3 * x];
        }
    }
    return true;
}
