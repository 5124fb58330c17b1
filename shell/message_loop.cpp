#include "shell/message_loop.h"

#include <windows.h>

#include "common/win/message_loop.h"
#include "shell/shell_state.h"

namespace {

bool main_accelerator(MSG* msg) {
    HACCEL table = g_shell.main_accelerators.get();
    return table && g_shell.main_window && TranslateAcceleratorW(g_shell.main_window, table, msg);
}

bool main_accelerator_when_active(MSG* msg) {
    return g_shell.main_active && main_accelerator(msg);
}

}  // namespace

int run_thread_message_loop(MainKeys keys) noexcept {
    switch (keys) {
        case MainKeys::always: return pump_thread_messages(main_accelerator);
        case MainKeys::when_main_active: return pump_thread_messages(main_accelerator_when_active);
        case MainKeys::never: break;
    }
    return pump_thread_messages(nullptr);
}
