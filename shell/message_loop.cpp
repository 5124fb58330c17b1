#include "shell/message_loop.h"

#include <windows.h>

#include "shell/shell_state.h"

int run_thread_message_loop(MainKeys keys) noexcept {
    MSG msg = {};
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        if (got == -1) return 0;
        const bool offer =
            keys == MainKeys::always || (keys == MainKeys::when_main_active && g_shell.main_active);
        HACCEL table = g_shell.main_accelerators.get();
        if (offer && table && g_shell.main_window && TranslateAcceleratorW(g_shell.main_window, table, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
