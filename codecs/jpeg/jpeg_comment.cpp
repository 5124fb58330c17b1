// The COM segment of a JPEG file, read and rewritten on the raw bytes without the library.
#include <cstring>
#include <vector>

#include "codecs/file_io.h"
#include "codecs/jpeg/jpeg.h"
#include "codecs/jpeg/jpeg_markers.h"

namespace {

constexpr uint32_t kCommentBodyLimit = 9999;

}  // namespace

bool jpeg_next_marker(CodecContext* context, uint8_t* marker) {
    ByteCursor& c = context->input;
    while (c.has(1) && c.data()[0] != 0xFF) c.skip(1);
    while (c.has(1) && c.data()[0] == 0xFF) c.skip(1);
    if (!c.has(1)) {
        set_codec_error(context, kCodecReadFailed);
        return false;
    }
    *marker = c.u8();
    return true;
}

bool jpeg_skip_segment(CodecContext* context) {
    ByteCursor& c = context->input;
    const size_t start = c.offset();
    if (!c.has(2)) {
        set_codec_error(context, kCodecReadFailed);
        return false;
    }
    const uint16_t length = c.be16();
    if (length < 2 || start + length > c.size()) {
        set_codec_error(context, kCodecReadFailed);
        return false;
    }
    c.seek(start + length);
    return true;
}

void jpeg_read_comment_at_cursor(CodecContext* context, char* out, uint32_t out_capacity) {
    if (out_capacity == 0) return;
    out[0] = 0;
    ByteCursor& c = context->input;
    for (;;) {
        uint8_t marker = 0;
        if (!jpeg_next_marker(context, &marker)) return;
        if (marker == kJpegSoi) continue;
        if (marker == kJpegEoi || marker == kJpegSos) return;
        if (marker != kJpegCom) {
            if (!jpeg_skip_segment(context)) return;
            continue;
        }
        if (!c.has(2)) {
            set_codec_error(context, kCodecReadFailed);
            return;
        }
        const size_t length_at = c.offset();
        const uint16_t length = c.be16();
        if (length == 0) {
            // An empty length field is no segment: the walk goes on from it.
            c.seek(length_at);
            continue;
        }
        if (length == 1 || length_at + length > c.size()) {
            set_codec_error(context, kCodecReadFailed);
            return;
        }
        uint32_t body = length - 2u;
        if (body > kCommentBodyLimit) body = kCommentBodyLimit;
        const uint8_t* p = c.data();
        uint32_t written = 0;
        const uint32_t room = out_capacity - 1;  // the terminating zero
        for (uint32_t i = 0; i < body && written < room; ++i) {
            const uint8_t b = p[i];
            if (b == 0x1B) continue;
            if (b == 0x0A && (written == 0 || out[written - 1] != 0x0D)) {
                // A CR without its LF would be a half line break: cut before the pair instead.
                if (written + 2 > room) break;
                out[written++] = 0x0D;
            }
            out[written++] = static_cast<char>(b);
        }
        out[written] = 0;
        return;
    }
}

void jpeg_read_comment(const std::u16string& path, CodecContext* context, char* out, uint32_t out_capacity) {
    if (out_capacity > 0) out[0] = 0;
    const MappedRead file(path, context);
    if (file.size() != 0) jpeg_read_comment_at_cursor(context, out, out_capacity);
}

bool jpeg_find_comment_position(CodecContext* context, uint32_t* insert_offset, uint32_t* resume_offset) {
    *insert_offset = 0;
    *resume_offset = 0;
    ByteCursor& c = context->input;
    for (;;) {
        uint8_t marker = 0;
        if (!jpeg_next_marker(context, &marker)) return false;
        if (marker == kJpegSoi) continue;
        if (marker == kJpegEoi || marker == kJpegSos) return *insert_offset != 0;
        if (marker == kJpegCom) {
            const uint32_t marker_at = static_cast<uint32_t>(c.offset() - 2);
            if (!jpeg_skip_segment(context)) return false;
            *insert_offset = marker_at;
            *resume_offset = static_cast<uint32_t>(c.offset());
            return true;
        }
        if (!jpeg_skip_segment(context)) return false;
        if (marker == kJpegApp0 || marker == kJpegApp0 + 1) {
            *insert_offset = static_cast<uint32_t>(c.offset());
            *resume_offset = *insert_offset;
        }
    }
}

bool jpeg_write_comment_segment(const char* text, CodecContext* context) {
    std::vector<uint8_t> segment;
    segment.reserve(kJpegMaxCommentBytes + 4);
    segment.resize(4);
    for (uint32_t i = 0; i < kJpegMaxCommentBytes && text[i] != 0; ++i) {
        // The reader's inserted CRs are not stored.
        if (text[i] != 0x0D) segment.push_back(static_cast<uint8_t>(text[i]));
    }
    const size_t length = segment.size() - 2;
    segment[0] = 0xFF;
    segment[1] = kJpegCom;
    segment[2] = static_cast<uint8_t>(length >> 8);
    segment[3] = static_cast<uint8_t>(length);
    return write_output(context, segment.data(), segment.size());
}

namespace {

bool fail_create(CodecContext* context) {
    // Every failure of the rewrite is reported as the output not being made.
    context->error = kCodecCreateFailed;
    return false;
}

}  // namespace

bool jpeg_write_comment(const std::u16string& source, CodecContext* context,
                        const std::u16string& destination, const char* text, int32_t* mode) {
    const MappedRead file(source, context);
    if (file.size() == 0) return fail_create(context);
    uint32_t insert = 0;
    uint32_t resume = 0;
    if (!jpeg_find_comment_position(context, &insert, &resume)) return fail_create(context);
    if (*mode == 0 && insert == resume) return true;  // nothing to remove, no file made
    context->output_file.close();
    context->output_failed = false;
    if (!context->output_file.create(destination)) return fail_create(context);
    const uint8_t* data = file.data();
    const uint64_t size = file.size();
    if (!write_output(context, data, insert)) return fail_create(context);
    if (*mode != 0) {
        if (!jpeg_write_comment_segment(text ? text : "", context)) return fail_create(context);
        *mode = insert == resume ? 1 : 0;
    } else {
        *mode = -1;
    }
    if (!write_output(context, data + resume, size - resume)) return fail_create(context);
    if (!file_flush(context->output_file.get())) return fail_create(context);
    return true;
}
