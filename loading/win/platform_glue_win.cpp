#include <windows.h>

#include "common/win/error_message.h"
#include "common/win/message_box.h"
#include "loading/codec_set.h"

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
    show_error_message(nullptr, kErrorMemory);
}
