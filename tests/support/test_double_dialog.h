// A dialog of the later dialog subsystem's kind for tests: it registers itself in the program's
// table the way a real dialog room will (a fill function of its own), runs a real modal loop
// over its owner, remembers the parameter it was opened with, lets the test act on that
// parameter as the real dialog would, and ends with the result the test chose.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "shell/entry_points.h"
#include "shell/launch.h"

namespace test_double_dialog {

struct Opening {
    int dialog_id;
    LPARAM parameter;
};

inline std::vector<Opening> g_openings;
inline INT_PTR g_result = IDOK;
// Acts on the parameter as the real dialog would before it ends (may be null).
inline void (*g_on_open)(LPARAM parameter) = nullptr;

template <int DialogId>
INT_PTR CALLBACK procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    if (message == WM_INITDIALOG) {
        g_openings.push_back({DialogId, lparam});
        if (g_on_open) g_on_open(lparam);
        // Ended from inside its own modal loop, as a user's OK would end it.
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wparam) == IDOK) {
        EndDialog(dialog, g_result);
        return TRUE;
    }
    return FALSE;
}

// The real dialogs come from the program's resources; the double brings an empty template of
// its own, so the routine creates the dialog from memory with the procedure it was given.
inline INT_PTR runner(HWND owner, int, DLGPROC dialog_procedure, LPARAM parameter) {
    alignas(4) static const uint16_t kTemplate[] = {
        // DLGTEMPLATE: style, extended style, no items, position, size; no menu, class or title.
        uint16_t(WS_POPUP | WS_CAPTION),
        uint16_t((WS_POPUP | WS_CAPTION) >> 16),
        0,
        0,
        0,
        0,
        0,
        80,
        40,
        0,
        0,
        0};
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(kTemplate),
                                   owner, dialog_procedure, parameter);
}

// The double's room: dialog 5800 (the main window's display settings), 5200 for the main window
// and the image windows (comments), and the image windows' 5300, 5400, 5900 and 6400.
inline void fill_entry_points(ShellEntryPoints* table) {
    table->display_info_dialog_proc = procedure<5800>;
    table->comment_dialog_proc = procedure<5200>;
    table->image_comment_dialog_proc = procedure<5200>;
    table->comment_create_dialog_proc = procedure<5900>;
    table->png_text_dialog_proc = procedure<5300>;
    table->exif_dialog_proc = procedure<5400>;
    table->image_print_dialog_proc = procedure<6400>;
}

// Forgets what earlier tests saw and installs the double's runner; returns the previous runner.
inline ModalDialogRunner reset() {
    g_openings.clear();
    g_result = IDOK;
    g_on_open = nullptr;
    return set_modal_dialog_runner(runner);
}

}  // namespace test_double_dialog
