#include "codecs/codec_context.h"

#include "codecs/file_io.h"
#include "codecs/pixel_memory.h"

CodecContext* init_codec_context(CodecContext* context, uint8_t shared) {
    init_conversion_context(&context->conversion);
    if (shared == 0) {
        context->in_memory = 0;
        reset_codec_handles(context);
    }
    return context;
}

void reset_codec_handles(CodecContext* context) {
    static_cast<CodecUse&>(*context) = CodecUse();
}

void close_codec_files(CodecContext* context) {
    context->output_file.close();
    context->input = ByteCursor();
}

void close_codec_files_if_owned(CodecContext* context) {
    close_codec_files(context);
}

uint32_t use_mapped_input(const MappedInput& input, CodecContext* context) {
    if (!input.mapped()) {
        set_codec_error(context, kCodecReadFailed);
        return 0;
    }
    const uint64_t size = input.size();
    context->input = ByteCursor(input.data(), static_cast<size_t>(size));
    context->loaded.file_size = static_cast<uint32_t>(size);
    FileTime time = {};
    if (input.last_write_time(&time)) context->loaded.last_write_time = time;
    return static_cast<uint32_t>(size);
}

MappedRead::MappedRead(const std::u16string& path, CodecContext* context) : context_(context) {
    if (!input_.open(path)) {
        set_codec_error(context, kCodecReadFailed);
        return;
    }
    size_ = use_mapped_input(input_, context);
}

MappedRead::~MappedRead() {
    // The cursor must not outlive the view it runs over.
    if (size_ != 0) context_->input = ByteCursor();
}

namespace {

template <typename T>
T checked(CodecContext* context, T value) {
    if (context->input.overrun()) set_codec_error(context, kCodecBadData);
    return value;
}

}  // namespace

uint8_t read_u8(CodecContext* c) {
    return checked(c, c->input.u8());
}
uint16_t read_le16(CodecContext* c) {
    return checked(c, c->input.le16());
}
uint16_t read_be16(CodecContext* c) {
    return checked(c, c->input.be16());
}
uint32_t read_le32(CodecContext* c) {
    return checked(c, c->input.le32());
}
uint32_t read_be32(CodecContext* c) {
    return checked(c, c->input.be32());
}

bool write_output(CodecContext* context, const void* data, uint64_t size) {
    if (context->output_failed) return false;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const uint32_t chunk = size > 0x40000000u ? 0x40000000u : static_cast<uint32_t>(size);
        if (!context->output_file.is_open() || !file_write(context->output_file.get(), p, chunk)) {
            context->output_failed = true;
            set_codec_error(context, kCodecSaveFailed);
            return false;
        }
        p += chunk;
        size -= chunk;
    }
    return true;
}

bool write_be32(CodecContext* context, uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                              static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    return write_output(context, bytes, 4);
}

void set_dib_info_header(CodecContext* context, int32_t width, int32_t height, int32_t bit_count,
                         int32_t x_ppm, int32_t y_ppm) {
    BitmapInfoHeader& h = context->loaded.info;
    h.size = 40;
    h.width = width;
    h.height = height;
    h.planes = 1;
    h.bit_count = static_cast<uint16_t>(bit_count);
    h.compression = kBiRgb;
    h.size_image = 0;
    h.x_pels_per_meter = x_ppm;
    h.y_pels_per_meter = y_ppm;
    h.clr_used = 0;
    h.clr_important = 0;
}

bool allocate_loaded_rows(CodecContext* context, int64_t bytes) {
    LoadedImage& image = context->loaded;
    image.pixels = nullptr;
    image.bitmap = 0;
    if (bytes < 0 || bytes > kMaxImageBytes) {
        set_codec_error(context, kCodecNoMemory);
        return false;
    }
    if (context->in_memory) {
        image.pixels = alloc_pixels(bytes);
    } else {
        image.bitmap = create_dib_section(image.info, image.palette, &image.pixels);
        if (!image.bitmap) image.pixels = nullptr;
    }
    if (!image.pixels) {
        set_codec_error(context, kCodecNoMemory);
        return false;
    }
    return true;
}

void free_loaded_image(LoadedImage* image) {
    PixelRows rows(image->pixels, image->bitmap);
    image->bitmap = 0;
    image->pixels = nullptr;
}
