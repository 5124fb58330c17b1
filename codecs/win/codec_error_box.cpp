#include "codecs/win/codec_error_box.h"

#include "common/win/message_box.h"

void show_codec_error(HWND owner, const CodecContext* context) {
    const char16_t* text = codec_error_text(context->error);
    if (!text) return;
    app_message_box(owner, reinterpret_cast<const wchar_t*>(text), L"Error", MB_ICONERROR | MB_SETFOREGROUND);
}
