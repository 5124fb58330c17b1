// PNG tEXt chunks: the comment (keyword "Comment") and the list of text pairs. These walk the
// chunks of a mapped file without decoding the image.
#include <cstring>

#include "codecs/file_io.h"
#include "codecs/png/png.h"

namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr uint32_t kFirstChunk = 33;  // signature and a 25-byte IHDR chunk, not examined

enum class WalkEnd { kStopped, kEnd, kFailed };

struct TextChunk {
    const uint8_t* data;
    uint32_t length;
    uint32_t start;  // offset of the length field
    uint32_t end;    // offset after the CRC
};

// Calls visit(chunk) for every tEXt chunk worth considering (length 2 or more, good CRC,
// non-empty keyword) until it returns true. `iend` receives the offset of IEND's length field.
template <typename Visit>
WalkEnd walk_text_chunks(PngContext* c, uint32_t* iend, Visit visit) {
    ByteCursor& in = c->input;
    if (!in.seek(kFirstChunk)) return WalkEnd::kFailed;
    while (true) {
        if (in.remaining() < 4) return WalkEnd::kFailed;
        const uint32_t start = static_cast<uint32_t>(in.offset());
        const uint32_t length = in.be32();
        if (length >= 0x80000000u || static_cast<uint64_t>(length) + 8 > in.remaining())
            return WalkEnd::kFailed;
        const uint8_t* type = in.data();
        in.skip(4);
        if (std::memcmp(type, "IEND", 4) == 0) {
            *iend = start;
            return WalkEnd::kEnd;
        }
        if (std::memcmp(type, "tEXt", 4) == 0 && length >= 2 && png_check_chunk_crc(c, type, length) &&
            in.data()[0] != 0) {
            const TextChunk chunk{in.data(), length, start, start + 12 + length};
            if (visit(chunk)) return WalkEnd::kStopped;
        }
        in.skip(static_cast<uint64_t>(length) + 4);
    }
}

// Offset of the keyword's terminating 0 within the chunk (1-79), or -1. The search never
// looks past the chunk's own data.
int32_t keyword_end(const TextChunk& chunk) {
    const uint32_t window = chunk.length < 80 ? chunk.length : 80;
    for (uint32_t i = 1; i < window; ++i)
        if (chunk.data[i] == 0) return static_cast<int32_t>(i);
    return -1;
}

bool is_comment(const TextChunk& chunk) {
    return keyword_end(chunk) == 7 && std::memcmp(chunk.data, "Comment", 7) == 0;
}

void copy_comment(const TextChunk& chunk, char* text) {
    const uint32_t limit = kPngCommentBytes - 1;
    uint32_t n = 0;
    for (uint32_t i = 8; i < chunk.length; ++i) {
        const uint8_t b = chunk.data[i];
        if (b == kEsc) continue;
        if (b == 0x0A && (n == 0 || text[n - 1] != 0x0D)) {
            if (n + 2 > limit) break;
            text[n++] = 0x0D;
            text[n++] = 0x0A;
            continue;
        }
        if (n + 1 > limit) break;
        text[n++] = static_cast<char>(b);
    }
    text[n] = 0;
}

}  // namespace

void png_read_comment_mapped(PngContext* context, char* text) {
    text[0] = 0;
    uint32_t iend = 0;
    const WalkEnd end = walk_text_chunks(context, &iend, [text](const TextChunk& chunk) {
        if (!is_comment(chunk)) return false;
        copy_comment(chunk, text);
        return true;
    });
    if (end == WalkEnd::kFailed) set_codec_error(context, kCodecReadFailed);
}

void png_read_comment(PngContext* context, const std::u16string& path, char* text) {
    text[0] = 0;
    const MappedRead file(path, context);
    if (file.size() != 0) png_read_comment_mapped(context, text);
}

bool png_find_comment_chunk(PngContext* context, uint32_t* start, uint32_t* end) {
    uint32_t iend = 0;
    TextChunk found = {};
    const WalkEnd result = walk_text_chunks(context, &iend, [&found](const TextChunk& chunk) {
        if (!is_comment(chunk)) return false;
        found = chunk;
        return true;
    });
    if (result == WalkEnd::kFailed) {
        set_codec_error(context, kCodecReadFailed);
        return false;
    }
    if (result == WalkEnd::kStopped) {
        *start = found.start;
        *end = found.end;
    } else {
        *start = *end = iend;
    }
    return true;
}

bool png_write_comment_chunk(PngContext* context, const char* text) {
    uint8_t data[8 + kPngCommentBytes];
    std::memcpy(data, "Comment", 8);
    const size_t length = std::strlen(text);
    const size_t take = length < static_cast<size_t>(kPngCommentBytes) ? length : kPngCommentBytes;
    uint32_t n = 8;
    for (size_t i = 0; i < take; ++i)
        if (text[i] != 0x0D) data[n++] = static_cast<uint8_t>(text[i]);
    const uint8_t* type = reinterpret_cast<const uint8_t*>("tEXt");
    return write_be32(context, n) && write_output(context, type, 4) && write_output(context, data, n) &&
           write_be32(context, png_chunk_crc(context, type, n, data));
}

bool png_write_comment(const std::u16string& source, PngContext* context, const std::u16string& output,
                       const char* text, int32_t* mode) {
    PngContext* c = context;
    uint32_t start = 0, end = 0;
    // Writing over the mapped source would destroy what is being copied.
    if (source == output) {
        c->error = kCodecCreateFailed;
        return false;
    }
    const MappedRead file(source, c);
    if (file.size() == 0 || !png_find_comment_chunk(c, &start, &end)) {
        c->error = kCodecCreateFailed;
        return false;
    }
    if (*mode == 0 && start == end) return true;
    if (!c->output_file.create(output)) {
        c->error = kCodecCreateFailed;
        return false;
    }
    const uint8_t* bytes = c->input.begin();
    const uint64_t size = c->input.size();
    if (!write_output(c, bytes, start)) {
        c->error = kCodecCreateFailed;
        return false;
    }
    if (*mode != 0) {
        if (!png_write_comment_chunk(c, text)) return false;
        *mode = start == end ? 1 : 0;
    } else {
        *mode = -1;
    }
    return write_output(c, bytes + end, size - end);
}

bool png_list_text_chunks_mapped(uint8_t* buffer, PngContext* context) {
    int32_t entries = 0;
    uint32_t iend = 0;
    const WalkEnd end = walk_text_chunks(context, &iend, [&entries, buffer](const TextChunk& chunk) {
        uint8_t* keyword = buffer + entries * kPngKeywordSlot;
        uint8_t* text = buffer + kPngTextEntries * kPngKeywordSlot + entries * kPngTextSlot;
        const uint32_t window = chunk.length < 1103 ? chunk.length : 1103;
        uint32_t i = 0;
        int32_t copied = 0;
        bool at_zero = false;
        for (; i < window; ++i) {
            const uint8_t b = chunk.data[i];
            if (b == 0) {
                at_zero = true;
                break;
            }
            if (b == kEsc) continue;
            if (copied == kPngKeywordSlot - 1) break;
            keyword[copied++] = b;
        }
        if (!at_zero) {
            std::memset(keyword, 0, kPngKeywordSlot - 1);
            return false;
        }
        int32_t n = 0;
        for (++i; i < window && n < kPngTextSlot - 1; ++i) {
            if (chunk.data[i] == kEsc) continue;
            text[n++] = chunk.data[i];
        }
        return ++entries == kPngTextEntries;
    });
    if (end == WalkEnd::kFailed) {
        set_codec_error(context, kCodecReadFailed);
        return false;
    }
    return entries > 0;
}

bool png_list_text_chunks(const std::u16string& path, uint8_t* buffer, PngContext* context) {
    const MappedRead file(path, context);
    return file.size() != 0 && png_list_text_chunks_mapped(buffer, context);
}
