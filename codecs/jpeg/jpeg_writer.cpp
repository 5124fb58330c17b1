#include <cstdlib>
#include <cstring>

#include "codecs/conversion.h"
#include "codecs/file_io.h"
#include "codecs/jpeg/jpeg.h"
#include "codecs/jpeg/jpeg_library.h"
#include "codecs/pixel_memory.h"

namespace {

// A destination that grows its own buffer, for the size-limited save: a quality-100 encode of
// a small or noisy image can be larger than the raw pixels.
struct JpegGrowingDestination {
    jpeg_destination_mgr pub;
    uint8_t* buffer;
    size_t capacity;
};

void growing_init(j_compress_ptr object) {
    JpegGrowingDestination* d = reinterpret_cast<JpegGrowingDestination*>(object->dest);
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = d->capacity;
}

boolean growing_empty(j_compress_ptr object) {
    JpegGrowingDestination* d = reinterpret_cast<JpegGrowingDestination*>(object->dest);
    const size_t used = d->capacity;  // called only when the buffer is full
    const size_t grown = d->capacity * 2;
    if (grown > static_cast<size_t>(kMaxImageBytes)) ERREXIT1(object, JERR_OUT_OF_MEMORY, 10);
    uint8_t* bigger = static_cast<uint8_t*>(std::realloc(d->buffer, grown));
    if (!bigger) ERREXIT1(object, JERR_OUT_OF_MEMORY, 10);
    d->buffer = bigger;
    d->capacity = grown;
    d->pub.next_output_byte = bigger + used;
    d->pub.free_in_buffer = grown - used;
    return TRUE;
}

void growing_term(j_compress_ptr) {}

// Frees the growing destination's buffer, whichever block growing_empty last moved it to.
class GrowingBufferOwner {
public:
    explicit GrowingBufferOwner(JpegGrowingDestination* destination) : destination_(destination) {}
    ~GrowingBufferOwner() { std::free(destination_->buffer); }
    GrowingBufferOwner(const GrowingBufferOwner&) = delete;
    GrowingBufferOwner& operator=(const GrowingBufferOwner&) = delete;

private:
    JpegGrowingDestination* destination_;
};

// 24-bit stride of the context's width, the layout every encode reads.
int64_t bgr_stride(const JpegWriterContext* context) {
    return stride_for_depth(context->conversion.width, 24);
}

bool valid_size(const JpegWriterContext* context) {
    if (context->conversion.width < 1 || context->conversion.height < 1) return false;
    if (context->conversion.width > 65500 || context->conversion.height > 65500) return false;
    const int64_t stride = bgr_stride(context);
    return stride > 0 && stride * context->conversion.height <= kMaxImageBytes;
}

enum class Sink { kFile, kMemory, kGrowing };

// The library part of one encode. Holds nothing with a destructor (see jpeg_library.h).
bool encode_with_library(JpegWriterContext* context, const uint8_t* rows, Sink sink, void* destination) {
    jpeg_compress_struct object;
    std::memset(&object, 0, sizeof object);
    JpegErrorManager errors;
    object.err = jpeg_install_error_manager(&errors);
    if (setjmp(errors.recovery)) {
        jpeg_destroy_compress(&object);
        return false;
    }
    jpeg_create_compress(&object);
    if (sink == Sink::kFile) {
        jpeg_use_file_destination(&object, static_cast<JpegFileDestination*>(destination), context);
    } else if (sink == Sink::kMemory) {
        JpegMemoryDestination* d = static_cast<JpegMemoryDestination*>(destination);
        jpeg_use_memory_destination(&object, d, d->buffer, d->capacity);
    } else {
        JpegGrowingDestination* d = static_cast<JpegGrowingDestination*>(destination);
        d->pub.init_destination = growing_init;
        d->pub.empty_output_buffer = growing_empty;
        d->pub.term_destination = growing_term;
        object.dest = &d->pub;
    }
    object.image_width = static_cast<JDIMENSION>(context->conversion.width);
    object.image_height = static_cast<JDIMENSION>(context->conversion.height);
    object.input_components = 3;
    // Rows are handed over as they lie in the bitmap: blue, green, red.
    object.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&object);
    object.optimize_coding = TRUE;
    if (context->state.grey_output) {
        jpeg_set_colorspace(&object, JCS_GRAYSCALE);
    } else {
        object.comp_info[0].h_samp_factor = context->state.horizontal_sampling;
        object.comp_info[0].v_samp_factor = context->state.vertical_sampling;
    }
    jpeg_set_quality(&object, context->state.quality, TRUE);
    if (context->state.progressive) jpeg_simple_progression(&object);
    if (context->state.dots_per_inch_x != 0 && context->state.dots_per_inch_y != 0) {
        object.density_unit = 1;
        object.X_density = static_cast<UINT16>(context->state.dots_per_inch_x);
        object.Y_density = static_cast<UINT16>(context->state.dots_per_inch_y);
    }
    jpeg_start_compress(&object, TRUE);
    if (context->state.comment) {
        size_t length = 0;
        while (length < kJpegMaxCommentBytes && context->state.comment[length] != 0) ++length;
        jpeg_write_marker(&object, JPEG_COM, reinterpret_cast<const JOCTET*>(context->state.comment),
                          static_cast<unsigned int>(length));
    }
    const int64_t stride = bgr_stride(context);
    const uint32_t height = static_cast<uint32_t>(context->conversion.height);
    JSAMPROW batch[16];
    while (object.next_scanline < height) {
        const uint32_t first = object.next_scanline;
        uint32_t count = height - first;
        if (count > 16) count = 16;
        // The top of the picture is the last row in memory.
        for (uint32_t i = 0; i < count; ++i)
            batch[i] = const_cast<JSAMPROW>(rows + stride * (height - 1 - first - i));
        jpeg_write_scanlines(&object, batch, count);
    }
    jpeg_finish_compress(&object);
    jpeg_destroy_compress(&object);
    return true;
}

// Turns an 8-bit source into the context's conversion buffer; 24-bit rows pass unchanged.
// Returns the rows to encode, or null with the error set.
const uint8_t* rows_to_encode(JpegWriterContext* context, const RgbQuad* palette, const uint8_t* bits) {
    if (context->conversion.source_bits == 24) return bits;
    if (context->conversion.source_bits != 8 || !palette) {
        set_codec_error(context, kCodecSaveFailed);
        return nullptr;
    }
    context->conversion.target_bits = 24;
    compute_row_sizes(&context->conversion);
    if (context->conversion.size_overflow) {
        set_codec_error(context, kCodecNoMemory);
        return nullptr;
    }
    context->state.conversion_buffer.reset(alloc_pixels(context->conversion.image_bytes));
    if (!context->state.conversion_buffer) {
        set_codec_error(context, kCodecNoMemory);
        return nullptr;
    }
    RgbQuad copy[256];
    std::memcpy(copy, palette, sizeof copy);
    if (!convert_pixel_depth(nullptr, context->state.conversion_buffer.get(), &context->conversion, copy,
                             bits)) {
        set_codec_error(context, kCodecSaveFailed);
        return nullptr;
    }
    return context->state.conversion_buffer.get();
}

bool create_output(JpegWriterContext* context, const std::u16string& path) {
    if (context->output_file.is_open()) context->output_file.close();
    context->output_failed = false;
    if (!context->output_file.create(path)) {
        set_codec_error(context, kCodecCreateFailed);
        return false;
    }
    return true;
}

}  // namespace

void JpegWriterContext::free_format_buffers() {
    state.conversion_buffer.reset();
}

void jpeg_writer_reset(JpegWriterContext* context) {
    reset_codec_handles(context);
    context->in_memory = 0;
    context->state = {};
    clear_jpeg_error_text();
}

void jpeg_writer_release_global(JpegWriterContext* context) {
    context->free_format_buffers();
    close_codec_files(context);
}

void jpeg_writer_release(JpegWriterContext* context) {
    jpeg_writer_release_global(context);
}

void jpeg_set_save_options(JpegWriterContext* context, int32_t quality, uint8_t progressive, uint8_t grey,
                           int32_t sampling) {
    context->state.quality = quality > 100 ? 75 : quality;
    context->state.progressive = progressive;
    context->state.grey_output = grey;
    if (sampling == 1) {
        context->state.horizontal_sampling = 2;
        context->state.vertical_sampling = 1;
    } else if (sampling == 2) {
        context->state.horizontal_sampling = 1;
        context->state.vertical_sampling = 1;
    } else {
        context->state.horizontal_sampling = 2;
        context->state.vertical_sampling = 2;
    }
}

bool write_jpeg_image(JpegWriterContext* context, const std::u16string& path, const RgbQuad* palette,
                      const uint8_t* bits) {
    if (!bits || !valid_size(context)) {
        set_codec_error(context, kCodecSaveFailed);
        return false;
    }
    const uint8_t* rows = rows_to_encode(context, palette, bits);
    if (!rows) return false;
    if (!create_output(context, path)) return false;
    JpegFileDestination destination;
    if (!encode_with_library(context, rows, Sink::kFile, &destination)) {
        // A failed write has already recorded error 7; other library errors leave their text.
        return false;
    }
    if (context->output_failed) return false;
    if (!file_flush(context->output_file.get())) {
        set_codec_error(context, kCodecSaveFailed);
        return false;
    }
    return true;
}

bool write_jpeg_image_to_memory(JpegWriterContext* context, uint8_t* buffer, uint32_t* count,
                                const uint8_t* bits) {
    if (!bits || !buffer || !count || context->conversion.source_bits != 24 || !valid_size(context)) {
        set_codec_error(context, kCodecSaveFailed);
        return false;
    }
    JpegMemoryDestination destination;
    destination.buffer = buffer;
    destination.capacity = *count;
    if (!encode_with_library(context, bits, Sink::kMemory, &destination)) return false;
    *count = static_cast<uint32_t>(jpeg_memory_destination_bytes(&destination));
    return true;
}

bool write_jpeg_file_size_limited(JpegWriterContext* context, const std::u16string& path,
                                  const RgbQuad* palette, const uint8_t* bits, uint32_t limit_kb) {
    if (!bits || !valid_size(context)) {
        set_codec_error(context, kCodecSaveFailed);
        return false;
    }
    const uint8_t* rows = rows_to_encode(context, palette, bits);
    if (!rows) return false;
    const uint64_t limit = static_cast<uint64_t>(limit_kb) * 1024;
    context->in_memory = 1;
    // Room for the headers and a comment on top of the raw size, so tiny images never need to
    // grow the buffer; larger encodes grow it.
    const int64_t capacity = bgr_stride(context) * context->conversion.height + 65536;
    JpegGrowingDestination destination;
    destination.buffer = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(capacity)));
    const GrowingBufferOwner owner(&destination);
    destination.capacity = static_cast<size_t>(capacity);
    if (!destination.buffer) {
        set_codec_error(context, kCodecNoMemory);
        return false;
    }
    auto encode_at = [&](int32_t quality, size_t* size) {
        context->state.quality = quality;
        if (!encode_with_library(context, rows, Sink::kGrowing, &destination)) return false;
        *size = destination.capacity - destination.pub.free_in_buffer;
        return true;
    };
    size_t size = 0;
    bool ok = encode_at(100, &size);
    int32_t best_fit = size <= limit ? 100 : 0;
    bool last_fits = best_fit == 100;
    if (ok && !last_fits) {
        int32_t previous = 100;
        int32_t quality = 69;
        int32_t step = 31;
        while (quality >= 1) {
            if (!encode_at(quality, &size)) {
                ok = false;
                break;
            }
            last_fits = size <= limit;
            int32_t next;
            if (!last_fits) {
                previous = quality;
                if (quality == 7) step = 1;
                next = quality - step;
            } else {
                if (quality > best_fit) best_fit = quality;
                if (step == 1) break;
                step /= 2;
                next = previous - step;
            }
            quality = next;
        }
        // The search can end on an encode that is too large after a smaller one fitted; the
        // best encode that fits is the one to keep.
        if (ok && !last_fits && best_fit > 0) {
            ok = encode_at(best_fit, &size);
            last_fits = ok && size <= limit;
        }
    }
    if (ok && !last_fits) {
        // Not even quality 1 fits: writing a larger file would break the caller's limit.
        set_codec_error(context, kCodecSaveFailed);
        ok = false;
    }
    if (ok) ok = create_output(context, path);
    if (ok) {
        ok = write_output(context, destination.buffer, size) && file_flush(context->output_file.get());
        if (!ok) set_codec_error(context, kCodecSaveFailed);
    }
    return ok;
}
