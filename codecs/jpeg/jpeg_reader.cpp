#include <cstring>

#include "codecs/file_type.h"
#include "codecs/jpeg/jpeg.h"
#include "codecs/jpeg/jpeg_library.h"

namespace {

// Reads one byte of a marker segment through the source manager; false at the end of data.
bool next_segment_byte(j_decompress_ptr object, uint8_t* value) {
    jpeg_source_mgr* source = object->src;
    if (source->bytes_in_buffer == 0 && !(*source->fill_input_buffer)(object)) return false;
    *value = *source->next_input_byte++;
    --source->bytes_in_buffer;
    return true;
}

// Passes the segment the library has just met the marker of.
boolean skip_counted_segment(j_decompress_ptr object) {
    uint8_t high = 0;
    uint8_t low = 0;
    if (!next_segment_byte(object, &high) || !next_segment_byte(object, &low)) return FALSE;
    const long length = (static_cast<long>(high) << 8) | low;  // NOLINT(runtime/int): library type
    if (length > 2) (*object->src->skip_input_data)(object, length - 2);
    return TRUE;
}

boolean count_comment(j_decompress_ptr object) {
    static_cast<JpegReaderContext*>(object->client_data)->state.comment_count += 1;
    return skip_counted_segment(object);
}

boolean note_app1(j_decompress_ptr object) {
    static_cast<JpegReaderContext*>(object->client_data)->state.app1_seen = 1;
    return skip_counted_segment(object);
}

int32_t scale_for_ratio(uint32_t n) {
    if (n >= 8) return 8;
    if (n >= 4) return 4;
    if (n >= 2) return 2;
    return 1;
}

// T[a][b] = a * b / 255 for the CMYK mix, built once per decode in the library's image pool.
uint8_t* build_cmyk_table(j_decompress_ptr object) {
    uint8_t* table = static_cast<uint8_t*>(
        (*object->mem->alloc_large)(reinterpret_cast<j_common_ptr>(object), JPOOL_IMAGE, 256 * 256));
    for (uint32_t a = 0; a < 256; ++a)
        for (uint32_t b = 0; b < 256; ++b) table[a * 256 + b] = static_cast<uint8_t>(a * b / 255);
    return table;
}

int32_t pixels_per_metre(uint8_t unit, uint16_t density) {
    if (unit == 1) return static_cast<int32_t>(density / 0.0254 + 0.5);
    if (unit == 2) return static_cast<int32_t>(density) * 100;
    return 0;
}

// The part of the decode that runs inside the library. Holds nothing with a destructor: a
// library error jumps back to the recovery point below. All state that must survive the jump
// lives in the context.
bool decode_with_library(JpegReaderContext* context, const uint8_t* data, size_t size) {
    jpeg_decompress_struct object;
    std::memset(&object, 0, sizeof object);
    JpegErrorManager errors;
    JpegMemorySource source;
    object.err = jpeg_install_error_manager(&errors);
    if (setjmp(errors.recovery)) {
        jpeg_destroy_decompress(&object);
        // The library's message is in the error text; the code says the data was refused.
        set_codec_error(context, kCodecBadData);
        return false;
    }
    jpeg_create_decompress(&object);
    object.client_data = context;
    jpeg_use_memory_source(&object, &source, data, size);
    jpeg_set_marker_processor(&object, JPEG_COM, count_comment);
    jpeg_set_marker_processor(&object, JPEG_APP0 + 1, note_app1);
    jpeg_read_header(&object, TRUE);
    context->state.source_width = static_cast<int32_t>(object.image_width);
    context->state.source_height = static_cast<int32_t>(object.image_height);

    if (context->state.scale_denominator > 0) {
        object.scale_num = 1;
        object.scale_denom = static_cast<unsigned int>(context->state.scale_denominator);
    } else if (context->state.scaled_decode) {
        jpeg_choose_scale(&object, context);
    }
    // The bitmap's sample order is blue, green, red.
    if (object.out_color_space == JCS_RGB) object.out_color_space = JCS_EXT_BGR;
    jpeg_calc_output_dimensions(&object);
    const uint32_t width = object.output_width;
    const uint32_t height = object.output_height;
    const int components = object.out_color_components;
    // Refused before any pixel memory is taken.
    if (width < 1 || width > static_cast<uint32_t>(kJpegMaxDimension) || height < 1 ||
        height > static_cast<uint32_t>(kJpegMaxDimension) ||
        (components != 1 && components != 3 && components != 4)) {
        jpeg_destroy_decompress(&object);
        set_codec_error(context, kCodecUnsupported);
        return false;
    }
    const int32_t bits = components == 1 ? 8 : 24;
    const int64_t stride = stride_for_depth(width, bits);
    LoadedImage& image = context->loaded;
    if (components == 1) {
        context->state.grey_output = 1;
        for (int i = 0; i < 256; ++i) {
            const uint8_t v = static_cast<uint8_t>(i);
            image.palette[i] = RgbQuad{v, v, v, 0};
        }
    }
    jpeg_start_decompress(&object);
    set_dib_info_header(context, static_cast<int32_t>(width), static_cast<int32_t>(height), bits, 0, 0);
    if (!allocate_loaded_rows(context, stride * height)) {
        jpeg_destroy_decompress(&object);
        return false;
    }

    // Rows go straight into the bitmap, the first decoded row into the last stored row.
    if (components == 4) {
        const uint8_t* table = build_cmyk_table(&object);
        JSAMPARRAY row =
            (*object.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&object), JPOOL_IMAGE, width * 4, 1);
        while (object.output_scanline < height) {
            uint8_t* out = image.pixels + stride * (height - 1 - object.output_scanline);
            if (jpeg_read_scanlines(&object, row, 1) != 1) break;
            const uint8_t* s = row[0];
            for (uint32_t x = 0; x < width; ++x, s += 4) {
                const uint8_t* k = table + s[3];
                *out++ = k[s[2] * 256];
                *out++ = k[s[1] * 256];
                *out++ = k[s[0] * 256];
            }
        }
    } else {
        JSAMPROW rows[16];
        while (object.output_scanline < height) {
            const uint32_t first = object.output_scanline;
            uint32_t count = height - first;
            if (count > 16) count = 16;
            for (uint32_t i = 0; i < count; ++i) rows[i] = image.pixels + stride * (height - 1 - first - i);
            if (jpeg_read_scanlines(&object, rows, count) == 0) break;
        }
    }
    jpeg_finish_decompress(&object);
    // Damaged entropy data still gives an image, with grey or garbled blocks; the library says
    // so only by these warnings.
    context->state.warning_count = static_cast<int32_t>(errors.pub.num_warnings);
    context->state.progressive = object.progressive_mode ? 1 : 0;
    image.info.x_pels_per_meter = pixels_per_metre(object.density_unit, object.X_density);
    image.info.y_pels_per_meter = pixels_per_metre(object.density_unit, object.Y_density);
    image.source_bits = bits;
    image.format = kFileJpeg;
    jpeg_destroy_decompress(&object);
    return true;
}

}  // namespace

void jpeg_choose_scale(j_decompress_ptr object, const JpegReaderContext* context) {
    object->scale_num = 1;
    object->scale_denom = static_cast<unsigned int>(jpeg_scale_for_box(
        object->image_width, object->image_height, static_cast<uint32_t>(context->state.box_width),
        static_cast<uint32_t>(context->state.box_height)));
    jpeg_calc_output_dimensions(object);
}

int32_t jpeg_scale_for_box(uint32_t image_width, uint32_t image_height, uint32_t box_width,
                           uint32_t box_height) {
    // An empty box asks for no reduction in that direction.
    const uint32_t nx = box_width ? image_width / box_width : 1;
    const uint32_t ny = box_height ? image_height / box_height : 1;
    return scale_for_ratio(nx < ny ? nx : ny);
}

void jpeg_reader_reset(JpegReaderContext* context) {
    reset_codec_handles(context);
    context->in_memory = 0;
    context->state = {};
    context->loaded = {};
    clear_jpeg_error_text();
}

void jpeg_reader_release(JpegReaderContext* context) {
    close_codec_files(context);
}

LoadedImage* read_jpeg_image(JpegReaderContext* context, const std::u16string& path, const uint8_t* data) {
    LoadedRowsOwner rows(&context->loaded);
    context->state.comment_count = 0;
    context->state.app1_seen = 0;
    context->state.grey_output = 0;
    context->state.progressive = 0;
    context->state.warning_count = 0;
    if (context->state.data_supplied) {
        if (!data) {
            set_codec_error(context, kCodecReadFailed);
            return nullptr;
        }
        return decode_with_library(context, data, context->loaded.file_size) ? rows.keep() : nullptr;
    }
    const MappedRead file(path, context);
    if (file.size() == 0) return nullptr;
    return decode_with_library(context, file.data(), file.size()) ? rows.keep() : nullptr;
}
