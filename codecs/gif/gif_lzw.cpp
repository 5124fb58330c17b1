// The variable-width LZW coder of GIF image data: codes packed least-significant bit first,
// widths from min + 1 up to 12 bits, a clear code that empties the dictionary.
#include <cstring>

#include "codecs/gif/gif.h"

namespace {

struct BitReader {
    const uint8_t* data;
    int64_t size;
    int64_t pos = 0;
    uint32_t bits = 0;
    int32_t count = 0;

    // False when the data ends before a whole code.
    bool read(int32_t width, int32_t* code) {
        while (count < width) {
            if (pos >= size) return false;
            bits |= static_cast<uint32_t>(data[pos++]) << count;
            count += 8;
        }
        *code = static_cast<int32_t>(bits & ((1u << width) - 1));
        bits >>= width;
        count -= width;
        return true;
    }
};

// Writes the string of `code` ending at out[end - 1], skipping `skip` bytes of its tail that
// would pass the end of the output. The string is walked backwards along the prefix links.
void write_string(const GifLzwEntry* entries, int32_t code, int32_t skip, uint8_t* out, int64_t end) {
    for (int32_t i = 0; i < skip; ++i) code = entries[code].prefix;
    int64_t p = end;
    const int32_t length = entries[code].length;
    for (int32_t i = 0; i < length; ++i) {
        out[--p] = entries[code].last;
        code = entries[code].prefix;
    }
}

}  // namespace

int64_t gif_decode_lzw(GifLzwDecoder* s, int32_t min_code_size, const uint8_t* data, int64_t data_size,
                       uint8_t* out, int64_t out_size) {
    if (min_code_size < 2 || min_code_size > 8) return 0;
    s->clear_code = 1 << min_code_size;
    s->end_code = s->clear_code + 1;
    s->next_code = s->clear_code + 2;
    s->code_width = min_code_size + 1;
    for (int32_t i = 0; i < s->clear_code; ++i) {
        s->entries[i].last = static_cast<uint8_t>(i);
        s->entries[i].first = static_cast<uint8_t>(i);
        s->entries[i].prefix = 0;
        s->entries[i].length = 1;
    }
    BitReader reader{data, data_size};
    int64_t written = 0;
    int32_t previous = -1;
    int32_t code = 0;
    while (written < out_size && reader.read(s->code_width, &code)) {
        if (code == s->clear_code) {
            s->code_width = min_code_size + 1;
            s->next_code = s->clear_code + 2;
            previous = -1;
            continue;
        }
        if (code == s->end_code) break;
        if (previous < 0) {
            // The first code after a clear must be a single byte; anything else is corrupt data
            // and ends the image (the pixels not reached stay as they are).
            if (code >= s->clear_code) break;
            out[written++] = static_cast<uint8_t>(code);
            previous = code;
            continue;
        }
        uint8_t first;
        if (code < s->next_code) {
            const int32_t length = s->entries[code].length;
            const int64_t room = out_size - written;
            const int32_t skip = length > room ? static_cast<int32_t>(length - room) : 0;
            write_string(s->entries, code, skip, out, written + (length - skip));
            written += length - skip;
            first = s->entries[code].first;
        } else {
            // Not yet in the table (which then has room: with all 4096 entries every code is in
            // it): the previous string plus its first byte, the entry about to be made. A code
            // past the next free one is read the same way rather than ending the image.
            const int32_t length = s->entries[previous].length + 1;
            const int64_t room = out_size - written;
            first = s->entries[previous].first;
            if (length <= room) {
                write_string(s->entries, previous, 0, out, written + length - 1);
                out[written + length - 1] = first;
                written += length;
            } else {
                write_string(s->entries, previous, static_cast<int32_t>(length - room - 1), out, out_size);
                written = out_size;
            }
        }
        if (s->next_code < kGifMaxCodes) {
            GifLzwEntry& e = s->entries[s->next_code];
            e.prefix = static_cast<uint16_t>(previous);
            e.last = first;
            e.first = s->entries[previous].first;
            e.length = static_cast<uint16_t>(s->entries[previous].length + 1);
            ++s->next_code;
            if (s->next_code > (1 << s->code_width) - 1 && s->code_width < 12) ++s->code_width;
        }
        // A code read past the table names the entry just made, not its own stale slot.
        previous = code < s->next_code ? code : s->next_code - 1;
    }
    return written;
}

int64_t gif_lzw_bound(int64_t pixel_count) {
    if (pixel_count < 0) return -1;
    // A clear code follows at least every 4096 - 258 codes; each code takes at least a pixel.
    const int64_t codes = pixel_count + pixel_count / (kGifMaxCodes - 258) + 4;
    const int64_t bytes = (codes * 12 + 7) / 8 + 1;
    return bytes > 0x7FFFFFFF ? -1 : bytes;
}

namespace {

struct BitWriter {
    GifLzwEncoder* s;
    uint8_t* out;
    int64_t capacity;
    GifLzwFlush flush;
    void* user;
    int64_t size = 0;   // bytes in `out`
    int64_t total = 0;  // bytes produced
    bool failed = false;

    void put(int32_t code) {
        s->accumulator |= static_cast<uint32_t>(code) << s->bit_count;
        s->bit_count += s->code_width;
        while (s->bit_count >= 8) {
            byte(static_cast<uint8_t>(s->accumulator));
            s->accumulator >>= 8;
            s->bit_count -= 8;
        }
    }
    void byte(uint8_t b) {
        if (size >= capacity) {
            if (!flush || failed || !flush(user, out, size)) {
                failed = true;
                return;
            }
            size = 0;
        }
        out[size++] = b;
        ++total;
    }
    bool finish() {
        if (!failed && flush && size > 0 && !flush(user, out, size)) failed = true;
        return !failed;
    }
};

inline uint32_t slot_of(uint32_t key) {
    return (key * 2654435761u) >> (32 - 13);
}

void clear_dictionary(GifLzwEncoder* s) {
    if (++s->generation == 0) {
        std::memset(s->slot_generation, 0, sizeof s->slot_generation);
        s->generation = 1;
    }
}

}  // namespace

namespace {

int64_t encode(GifLzwEncoder* s, int32_t min_code_size, const uint8_t* pixels, int64_t pixel_count,
               BitWriter& w) {
    static_assert(GifLzwEncoder::kSlots == 1 << 13, "slot_of gives 13 bits");
    if (min_code_size < 2 || min_code_size > 8) return -1;
    s->clear_code = 1 << min_code_size;
    s->end_code = s->clear_code + 1;
    s->next_code = s->clear_code + 2;
    s->code_width = min_code_size + 1;
    s->accumulator = 0;
    s->bit_count = 0;
    std::memset(s->slot_generation, 0, sizeof s->slot_generation);
    s->generation = 1;
    w.put(s->clear_code);
    if (pixel_count > 0) {
        const uint8_t mask = static_cast<uint8_t>(s->clear_code - 1);
        int32_t current = pixels[0] & mask;
        for (int64_t i = 1; i < pixel_count; ++i) {
            const uint8_t pixel = pixels[i] & mask;
            const uint32_t key = (static_cast<uint32_t>(current) << 8) | pixel;
            uint32_t slot = slot_of(key);
            bool found = false;
            while (s->slot_generation[slot] == s->generation) {
                if (s->slot_key[slot] == key) {
                    found = true;
                    break;
                }
                slot = (slot + 1) & (GifLzwEncoder::kSlots - 1);
            }
            if (found) {
                current = s->slot_code[slot];
                continue;
            }
            w.put(current);
            if (s->next_code > kGifMaxCodes - 1) {
                w.put(s->clear_code);
                s->code_width = min_code_size + 1;
                s->next_code = s->clear_code + 2;
                clear_dictionary(s);
            } else {
                if (s->next_code > (1 << s->code_width) - 1 && s->code_width < 12) ++s->code_width;
                s->slot_key[slot] = key;
                s->slot_code[slot] = static_cast<uint16_t>(s->next_code);
                s->slot_generation[slot] = s->generation;
                ++s->next_code;
            }
            current = pixel;
        }
        w.put(current);
        // The decoder adds an entry on reading that last code and may widen before the end code.
        if (s->next_code < kGifMaxCodes && s->next_code > (1 << s->code_width) - 1 && s->code_width < 12)
            ++s->code_width;
    }
    w.put(s->end_code);
    w.byte(static_cast<uint8_t>(s->accumulator));
    s->accumulator = 0;
    s->bit_count = 0;
    return w.finish() ? w.total : -1;
}

}  // namespace

int64_t gif_encode_lzw(GifLzwEncoder* s, int32_t min_code_size, const uint8_t* pixels, int64_t pixel_count,
                       uint8_t* out, int64_t out_capacity) {
    BitWriter w{s, out, out_capacity, nullptr, nullptr};
    return encode(s, min_code_size, pixels, pixel_count, w);
}

int64_t gif_encode_lzw_stream(GifLzwEncoder* s, int32_t min_code_size, const uint8_t* pixels,
                              int64_t pixel_count, uint8_t* chunk, int64_t chunk_size, GifLzwFlush flush,
                              void* user) {
    BitWriter w{s, chunk, chunk_size, flush, user};
    return encode(s, min_code_size, pixels, pixel_count, w);
}
