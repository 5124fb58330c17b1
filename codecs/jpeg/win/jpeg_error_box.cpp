#include "codecs/jpeg/win/jpeg_error_box.h"

#include "codecs/jpeg/jpeg.h"
#include "codecs/win/codec_error_box.h"
#include "common/win/message_box.h"

void show_jpeg_error(HWND owner, const CodecContext* context) {
    const int32_t code = context->error;
    // A file refused for its size or layout (code 2) has no library message: without its own
    // text the refusal would pass in silence.
    if ((code >= 1 && code <= 5) || code == 7) {
        if (code != 2 || g_jpeg_error_text[0] == 0) {
            show_codec_error(owner, context);
            return;
        }
    }
    if (g_jpeg_error_text[0] == 0) return;
    app_message_box(owner, reinterpret_cast<const wchar_t*>(g_jpeg_error_text), L"JPEG Library Error",
                    MB_ICONERROR);
}
