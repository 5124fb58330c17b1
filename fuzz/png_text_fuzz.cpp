// The tEXt walk over arbitrary bytes: reading the comment, finding its chunk and listing the
// text pairs stay within the input.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "codecs/png/png.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static PngContext* context = [] {
        PngContext* c = new PngContext();
        init_codec_context(c, 0);
        png_build_crc_table(c);
        return c;
    }();
    PngContext* c = context;
    static char text[kPngCommentBytes];
    static uint8_t list[kPngTextListBytes];
    c->error = kCodecOk;
    c->input = ByteCursor(data, size);
    png_read_comment_mapped(c, text);
    if (std::strlen(text) >= static_cast<size_t>(kPngCommentBytes)) __builtin_trap();
    c->error = kCodecOk;
    uint32_t start = 0, end = 0;
    if (png_find_comment_chunk(c, &start, &end) && (start > end || end > size)) __builtin_trap();
    std::memset(list, 0, sizeof list);
    c->error = kCodecOk;
    (void)png_list_text_chunks_mapped(list, c);
    c->input = ByteCursor();
    return 0;
}
