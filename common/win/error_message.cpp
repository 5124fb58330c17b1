// Seam until the full error table lands: only the out-of-memory box that the codec start-up
// needs.
#include "common/win/error_message.h"

#include "common/win/message_box.h"

void show_error_message(HWND owner, int code) {
    if (code == 0)
        app_message_box(owner, L"メモリ確保に失敗しました。", L"Error", MB_ICONERROR | MB_SETFOREGROUND);
}
