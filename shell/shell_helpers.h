// Small routines over the shell and the window manager shared by the main program's windows.
#pragma once

#include <windows.h>

// The frame sizes, work area, cursors and visual style of this session, into the shell state.
void measure_screen();

void create_ui_font();
void delete_ui_font();

ATOM register_window_class(WNDPROC procedure, HICON icon, HCURSOR cursor, int background,
                           const wchar_t* name);
ATOM register_window_class_owndc(WNDPROC procedure, HICON icon, HCURSOR cursor, const wchar_t* name);

int count_files_in_folder(const wchar_t* folder);
void get_last_write_time(const wchar_t* path, FILETIME* time);
// `list` holds paths separated by NUL, ending with two NULs; `length` counts both of them.
int recycle_files(const wchar_t* list, size_t length, HWND owner);
int recycle_files_ex(const wchar_t* list, size_t length, HWND owner, FILEOP_FLAGS* flags);
bool is_shortcut(const wchar_t* path);
bool resolve_shortcut(wchar_t* path);
bool create_shortcut(const wchar_t* target, const wchar_t* link);
void settings_folder_path_for(wchar_t* name);
int compare_names(const wchar_t* a, const wchar_t* b);
bool choose_color(HWND owner, BYTE* rgb, COLORREF* custom_colours);
bool browse_for_folder(const wchar_t* title, wchar_t* path, HWND owner);
void insert_thousands_separators(wchar_t* digits);
bool turn_ime_off(HWND image_window);
// The work area and the whole rectangle of the monitor nearest `window`, into whichever output
// is given; the primary screen when the monitor cannot be asked.
void get_monitor_rects(HWND window, RECT* work_area, RECT* monitor);

// Browse dialog and list-view sort callbacks.
int CALLBACK browse_folder_callback(HWND dialog, UINT message, LPARAM, LPARAM data) noexcept;
int CALLBACK compare_list_items_text(LPARAM first, LPARAM second, LPARAM list_view) noexcept;

// The program's class of Windows version (0 when it is too old to run on).
int detect_os_version();
// HTML Help is loaded at run time; without it both do nothing.
void html_help_begin(DWORD_PTR* cookie);
void html_help_end(DWORD_PTR cookie);
