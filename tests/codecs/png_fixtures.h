// Small PNG files built in code for the PNG tests: chunks with zlib's CRC, image data
// compressed by zlib, and a decoder harness over a scratch file.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "codecs/png/png.h"
#include "kernels/lookup_tables.h"
#include "tests/support/test_support.h"

using Bytes = std::vector<uint8_t>;

inline void append_be32(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v >> 24));
    b.push_back(static_cast<uint8_t>(v >> 16));
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v));
}

inline Bytes zlib_bytes(const Bytes& raw) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    Bytes out(size);
    compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9);
    out.resize(size);
    return out;
}

struct PngFile {
    Bytes bytes;

    PngFile() {
        static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
        bytes.assign(kSignature, kSignature + 8);
    }

    PngFile& chunk(const char* type, const Bytes& data, bool bad_crc = false) {
        append_be32(bytes, static_cast<uint32_t>(data.size()));
        const size_t start = bytes.size();
        bytes.insert(bytes.end(), type, type + 4);
        bytes.insert(bytes.end(), data.begin(), data.end());
        uint32_t crc =
            static_cast<uint32_t>(crc32(0, bytes.data() + start, static_cast<uInt>(data.size() + 4)));
        if (bad_crc) crc ^= 1;
        append_be32(bytes, crc);
        return *this;
    }
    PngFile& ihdr(uint32_t w, uint32_t h, uint8_t depth, uint8_t type, uint8_t interlace = 0,
                  uint8_t compression = 0, uint8_t filter = 0) {
        Bytes d;
        append_be32(d, w);
        append_be32(d, h);
        d.insert(d.end(), {depth, type, compression, filter, interlace});
        return chunk("IHDR", d);
    }
    // Rows with their filter-type bytes, compressed into one IDAT.
    PngFile& idat(const Bytes& rows) { return chunk("IDAT", zlib_bytes(rows)); }
    PngFile& end() { return chunk("IEND", {}); }
    PngFile& text(const std::string& keyword, const std::string& value) {
        Bytes d(keyword.begin(), keyword.end());
        d.push_back(0);
        d.insert(d.end(), value.begin(), value.end());
        return chunk("tEXt", d);
    }
};

inline const uint8_t* test_blend_table() {
    static uint8_t table[65536];
    static bool built = false;
    if (!built) build_blend_table(table);
    built = true;
    return table;
}

// One decode on a context of its own; pixels are copied out before the release.
struct Decoded {
    bool ok = false;
    int32_t error = 0;
    int32_t width = 0, height = 0, bits = 0, stride = 0;
    Bytes pixels;  // bottom-up rows as returned
    RgbQuad palette[256] = {};
    PngContext context;  // the context after the read (flags, counters)

    // Pixel (x, y) counted from the top, as blue, green, red after the palette lookup.
    RgbQuad at(int32_t x, int32_t y) const {
        const uint8_t* row = pixels.data() + static_cast<size_t>(height - 1 - y) * stride;
        if (bits == 8) return palette[row[x]];
        return RgbQuad{row[3 * x], row[3 * x + 1], row[3 * x + 2], 0};
    }
    uint8_t index(int32_t x, int32_t y) const {
        return pixels[static_cast<size_t>(height - 1 - y) * stride + x];
    }
};

struct DecodeOptions {
    uint8_t transparency = 1;
    uint8_t ignore_bkgd = 0;
    uint32_t display_gamma = 0;
    uint8_t in_memory = 1;
    uint8_t configured_rgb[3] = {255, 255, 255};
};

inline void decode_into(Decoded* out, const std::u16string& path, const DecodeOptions& options = {}) {
    PngContext& c = out->context;
    init_codec_context(&c, 0);
    png_build_crc_table(&c);
    png_reader_reset(&c);
    c.in_memory = options.in_memory;
    c.options.blend_table = test_blend_table();
    c.options.transparency = options.transparency;
    c.options.ignore_bkgd = options.ignore_bkgd;
    c.options.display_gamma = options.display_gamma;
    c.options.configured_red = options.configured_rgb[0];
    c.options.configured_green = options.configured_rgb[1];
    c.options.configured_blue = options.configured_rgb[2];
    LoadedImage* image = read_png_file(&c, path);
    out->ok = image != nullptr;
    out->error = c.error;
    if (image) {
        out->width = image->info.width;
        out->height = image->info.height;
        out->bits = image->info.bit_count;
        out->stride = static_cast<int32_t>(stride_for_depth(out->width, out->bits));
        out->pixels.assign(image->pixels, image->pixels + static_cast<size_t>(out->stride) * out->height);
        std::memcpy(out->palette, image->palette, sizeof out->palette);
        free_loaded_image(image);
    }
    png_reader_release(&c);
}

inline void decode_bytes(Decoded* out, const Bytes& bytes, const DecodeOptions& options = {}) {
    static int serial = 0;
    const std::u16string path = scratch_path("png_" + std::to_string(++serial) + ".png");
    write_bytes(path, bytes);
    decode_into(out, path, options);
}
