#include <windows.h>

#include "codecs/codec_context.h"
#include "codecs/codec_set.h"
#include "codecs/win/codec_error_box.h"
#include "common/win/error_message.h"
#include "common/win/message_box.h"

OsHandle codec_platform_create_memory_dc() {
    // The main window does not exist yet at this point of start-up: the screen DC it is.
    HDC screen = GetDC(nullptr);
    if (!screen) return 0;
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    return reinterpret_cast<OsHandle>(dc);
}

void codec_platform_delete_memory_dc(OsHandle dc) {
    DeleteDC(reinterpret_cast<HDC>(dc));
}

void codec_platform_report_startup_failure() {
    show_error_message(nullptr, 0);
}

void show_codec_error(HWND owner, const CodecContext* context) {
    const char16_t* text = codec_error_text(context->error);
    if (!text) return;
    app_message_box(owner, reinterpret_cast<const wchar_t*>(text), L"Error", MB_ICONERROR | MB_SETFOREGROUND);
}
