// Small JPEG fixtures built in code for the JPEG tests.
#pragma once

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// jpeglib.h needs size_t and FILE declared before it.
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "codecs/jpeg/jpeg.h"

namespace jpeg_test {

// A bottom-up 24-bit image with 4-byte padded rows.
struct Bgr {
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    std::vector<uint8_t> bits;

    uint8_t* pixel(int32_t x, int32_t row_from_bottom) { return &bits[row_from_bottom * stride + x * 3]; }
};

// Options of the encoder as jpeg_set_save_options takes them.
struct EncodeOptions {
    int32_t quality = 90;
    int32_t sampling = 0;  // 0: 2x2, 1: 2x1, 2: 1x1
    bool progressive = false;
    bool grey = false;
    const char* comment = nullptr;
    int32_t dpi = 0;
};

// A decode from memory; the image is freed with the record.
struct Decoded {
    LoadedImage image = {};
    int32_t error = 0;
    bool ok = false;
    JpegReaderContext info;  // the context's fields after the read

    ~Decoded() { free_loaded_image(&image); }
};

// A smooth picture whose colour depends on the position, so orientation errors show.
inline Bgr make_picture(int32_t width, int32_t height) {
    Bgr image;
    image.width = width;
    image.height = height;
    image.stride = (width * 3 + 3) & ~3;
    image.bits.assign(static_cast<size_t>(image.stride) * height, 0);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            uint8_t* p = image.pixel(x, y);
            p[0] = static_cast<uint8_t>(40 + (150 * x) / (width > 1 ? width - 1 : 1));    // blue grows right
            p[1] = static_cast<uint8_t>(60 + (120 * y) / (height > 1 ? height - 1 : 1));  // green grows up
            p[2] = 128;
        }
    return image;
}

inline std::vector<uint8_t> encode(const Bgr& image, const EncodeOptions& options = EncodeOptions()) {
    JpegWriterContext context;
    init_codec_context(&context, 0);
    jpeg_writer_reset(&context);
    context.conversion.width = image.width;
    context.conversion.height = image.height;
    context.conversion.source_bits = 24;
    jpeg_set_save_options(&context, options.quality, options.progressive ? 1 : 0, options.grey ? 1 : 0,
                          options.sampling);
    context.state.comment = options.comment;
    context.state.dots_per_inch_x = options.dpi;
    context.state.dots_per_inch_y = options.dpi;
    std::vector<uint8_t> out(static_cast<size_t>(image.stride) * image.height * 2 + 70000);
    uint32_t count = static_cast<uint32_t>(out.size());
    const bool ok = write_jpeg_image_to_memory(&context, out.data(), &count, image.bits.data());
    EXPECT_TRUE(ok);
    out.resize(ok ? count : 0);
    jpeg_writer_release(&context);
    return out;
}

struct JpegTestErrors {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

inline void on_error(j_common_ptr object) {
    longjmp(reinterpret_cast<JpegTestErrors*>(object->err)->jump, 1);
}

// Library part of the CMYK fixture; nothing with a destructor lives here.
inline bool cmyk_with_library(int32_t width, int32_t height, const uint8_t cmyk[4], uint8_t* row,
                              unsigned char** data, unsigned long* size) {  // NOLINT(runtime/int)
    jpeg_compress_struct object;
    JpegTestErrors errors;
    object.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = on_error;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&object);
        return false;
    }
    jpeg_create_compress(&object);
    jpeg_mem_dest(&object, data, size);
    object.image_width = static_cast<JDIMENSION>(width);
    object.image_height = static_cast<JDIMENSION>(height);
    object.input_components = 4;
    object.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&object);
    jpeg_set_quality(&object, 100, TRUE);
    jpeg_start_compress(&object, TRUE);
    for (int32_t x = 0; x < width; ++x) std::memcpy(row + 4 * x, cmyk, 4);
    while (object.next_scanline < object.image_height) jpeg_write_scanlines(&object, &row, 1);
    jpeg_finish_compress(&object);
    jpeg_destroy_compress(&object);
    return true;
}

// A CMYK JPEG (no Adobe transform) of one flat colour, encoded directly with libjpeg.
inline std::vector<uint8_t> encode_cmyk(int32_t width, int32_t height, const uint8_t cmyk[4]) {
    std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
    unsigned char* data = nullptr;
    unsigned long size = 0;  // NOLINT(runtime/int)
    std::vector<uint8_t> out;
    if (cmyk_with_library(width, height, cmyk, row.data(), &data, &size)) out.assign(data, data + size);
    std::free(data);
    return out;
}

inline void decode(const std::vector<uint8_t>& data, Decoded* out, int32_t scale = 0, int32_t box_w = 0,
                   int32_t box_h = 0) {
    JpegReaderContext& context = out->info;
    init_codec_context(&context, 0);
    jpeg_reader_reset(&context);
    context.in_memory = 1;
    context.state.data_supplied = 1;
    context.loaded.file_size = static_cast<uint32_t>(data.size());
    context.state.scale_denominator = scale;
    if (box_w || box_h) {
        context.state.scaled_decode = 1;
        context.state.box_width = box_w;
        context.state.box_height = box_h;
    }
    const LoadedImage* image = read_jpeg_image(&context, u"", data.data());
    out->ok = image != nullptr;
    out->error = context.error;
    if (image) out->image = *image;
    context.loaded.pixels = nullptr;
    context.loaded.bitmap = 0;
    jpeg_reader_release(&context);
}

// Inserts `segment` (marker bytes included) right after the SOI marker.
inline std::vector<uint8_t> insert_after_soi(const std::vector<uint8_t>& jpeg,
                                             const std::vector<uint8_t>& segment) {
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    out.insert(out.end(), segment.begin(), segment.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

// Offset of the first marker `code` (the 0xFF byte) before the first scan, or -1.
inline int64_t find_marker(const std::vector<uint8_t>& jpeg, uint8_t code) {
    size_t i = 2;
    while (i + 4 <= jpeg.size() && jpeg[i] == 0xFF) {
        if (jpeg[i + 1] == code) return static_cast<int64_t>(i);
        if (jpeg[i + 1] == 0xDA) return -1;
        i += 2 + ((jpeg[i + 2] << 8) | jpeg[i + 3]);
    }
    return -1;
}

// The markers of a file up to its first scan, in order.
inline std::vector<uint8_t> marker_list(const std::vector<uint8_t>& jpeg) {
    std::vector<uint8_t> markers;
    size_t i = 2;
    while (i + 4 <= jpeg.size() && jpeg[i] == 0xFF) {
        markers.push_back(jpeg[i + 1]);
        if (jpeg[i + 1] == 0xDA) break;
        i += 2 + ((jpeg[i + 2] << 8) | jpeg[i + 3]);
    }
    return markers;
}

}  // namespace jpeg_test
