#include "common/win/message_box.h"

namespace {
MessageBoxHook g_hook = nullptr;
}

int app_message_box(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style) {
    if (g_hook) return g_hook(owner, text, caption, style);
    return MessageBoxW(owner, text, caption, style);
}

MessageBoxHook set_message_box_hook(MessageBoxHook hook) {
    MessageBoxHook old = g_hook;
    g_hook = hook;
    return old;
}
