// The raw marker walks of the comment code: reading the comment and finding where a new one
// goes never read outside the data, and the results stay within it.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "codecs/jpeg/jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CodecContext context;
    init_codec_context(&context, 0);
    context.input = ByteCursor(data, size);
    char text[64];
    jpeg_read_comment_at_cursor(&context, text, sizeof text);
    if (std::memchr(text, 0, sizeof text) == nullptr) __builtin_trap();

    init_codec_context(&context, 0);
    context.input = ByteCursor(data, size);
    uint32_t insert = 0;
    uint32_t resume = 0;
    if (jpeg_find_comment_position(&context, &insert, &resume)) {
        if (insert > resume || resume > size) __builtin_trap();
    }
    return 0;
}
