// Process-wide state of the main program: set up at start-up, read by every thread.
#pragma once

#include <windows.h>

#include "common/win/handle.h"
#include "shell/core/key_table.h"
#include "shell/core/settings_groups.h"
#include "shell/core/settings_slots.h"

// A change notification fails with INVALID_HANDLE_VALUE, so that is its empty value: a failed
// watch is stored as no watch and is never waited on or closed.
struct ChangeNotificationTraits {
    static HANDLE empty() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) {
        if (h) FindCloseChangeNotification(h);
    }
};
using ChangeNotificationHandle = UniqueHandle<HANDLE, ChangeNotificationTraits>;

struct ShellState {
    HANDLE heap = nullptr;
    HINSTANCE instance = nullptr;
    int os_class = 0;
    FontHandle ui_font;
    DWORD_PTR help_cookie = 0;
    // The folder in which the settings folder lives, when it is not the user's application-data
    // folder (tests point it at a scratch folder).
    wchar_t appdata_folder[MAX_PATH] = {};
    wchar_t settings_path[MAX_PATH] = {};
    wchar_t cache_folder[MAX_PATH] = {};

    // measure_screen
    int frame_width = 0;
    int frame_height = 0;
    RECT work_area = {};
    int largest_square = 0;
    HCURSOR arrow_cursor = nullptr;
    HCURSOR wait_cursor = nullptr;
    HCURSOR no_cursor = nullptr;
    bool themed = false;

    DWORD main_thread_id = 0;
    KernelHandle view_thread[2];
    unsigned view_thread_id[2] = {};
    KernelHandle preview_thread;
    unsigned preview_thread_id = 0;
    HookHandle main_mouse_hook;
    HookHandle main_keyboard_hook;
    volatile LONG view_busy[2] = {};
    KernelHandle batch_thread;
    KernelHandle image_thread;
    unsigned image_thread_id = 0;

    // Main window
    HWND main_window = nullptr;
    HWND client_window = nullptr;
    HWND rebar = nullptr;
    HWND menu_toolbar = nullptr;
    HWND tree_pane = nullptr;
    HWND tree = nullptr;
    HWND info_list = nullptr;
    HWND view_frame[2] = {};
    HWND preview_window = nullptr;
    volatile LONG main_active = 0;
    bool menu_keyboard_mode = false;
    int open_menu = -1;
    bool auto_tree_visible = false;
    volatile LONG active_view = 0;
    AcceleratorHandle main_accelerators;
    AcceleratorHandle view_accelerators;
    // One per view, open only from losing activation until the next poll.
    ChangeNotificationHandle folder_watch[2];

    MainSettings main_settings;
    KeyTable main_keys;
    SingleViewSettings single_view;
    KeyTable view_keys;
    ConversionSettings conversion;
    // Which groups this run has read: only those are written back at exit.
    SettingsGroupsRead settings_read;
    // Printing's page size pair, set when the single-view group loads.
    SIZE print_size = {};
    // Sixteen custom colours of the colour chooser.
    COLORREF custom_colours[16] = {};
    int filter_index = 0;
};

extern ShellState g_shell;

inline const wchar_t* wide(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}
inline std::u16string u16(const wchar_t* s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s));
}
