// The single view: one image of a folder in a framed window sized to it or full screen, with
// folder walking, a slide show, GIF playback, zoom and pan, on a thread of its own. Its popup
// menu and its drop-down button bar are in single_view_menu.cpp and view_bar.cpp.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "imagewin/core/single_view_rules.h"
#include "shell/entry_points.h"

constexpr wchar_t kViewWindowClassName[] = L"Pexaron_vwin_class";
constexpr wchar_t kViewBarClassName[] = L"Pexaron_vbar_class";

constexpr int32_t kViewStartWindow = 0;
constexpr int32_t kViewStartFullScreen = 1;
constexpr int32_t kViewStartSlideShow = 2;

// The image the next image window opens (the shell's hand-over path, as text): set by the
// launcher before the thread starts; at the single view's end non-empty when the edit window
// shall open it.
std::u16string handover_text();
void set_handover_text(const std::u16string& path);

// Thread procedure; the parameter is the start mode. Posts 170 (and 180 for the edit window)
// to the main window when its loop ends.
unsigned __stdcall view_window_thread(void* start_mode) noexcept;
// Starts the thread with `start_mode` once `handover_path` holds the image; the handle, or null.
HANDLE start_single_view_thread(int32_t start_mode, unsigned* thread_id);
// The single view's window while its thread runs, else null.
HWND current_single_view();

// The shell's entries for the single view.
void fill_single_view_entry_points(ShellEntryPoints* table);

// Registers the view's and its bar's classes when the program has not.
bool register_single_view_classes(HINSTANCE instance);

HWND create_view_window(int32_t start_mode);
LRESULT CALLBACK view_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
void view_window_command(int32_t id);
// What the command-state table needs to know of the view now.
ViewCommandContext view_command_context();
// In window mode: placed anew for the current image in its monitor's work area.
void fit_view_window_to_work_area();

void enter_full_screen();
void leave_full_screen();
void begin_slide_show();
void stop_slide_show();
// Hides or shows the mouse cursor once (the system counts); hiding refuses while the bar shows.
void set_cursor_visible(bool visible);
// Drops the bar down over the image or takes it away.
void show_view_bar(bool show);

// The modal help dialogs 6750 and 6780.
INT_PTR CALLBACK view_help_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
INT_PTR CALLBACK slide_show_help_dialog_proc(HWND dialog, UINT message, WPARAM wparam,
                                             LPARAM lparam) noexcept;

// ---- Menus (single_view_menu.cpp) ----
void build_view_menus();
void destroy_view_menus();
// WM_INITMENU: every item's state from the command-state table.
void view_on_init_menu();
// True when the point (screen; -1,-1 for the menu key) lies outside the client area: the caller
// passes the message on. Otherwise the popup is tracked, its command going to `window`.
bool track_image_window_popup(POINT point, HWND window);
HMENU view_popup_menu();

// ---- Button bar (view_bar.cpp) ----
bool create_view_bar();
void destroy_view_bar();
void update_view_bar_buttons();
// The full-screen buttons and the title field, laid out for a monitor `monitor_width` wide.
void show_full_screen_bar_buttons(bool show, int32_t monitor_width);
void set_view_bar_title(const wchar_t* title);
LRESULT view_bar_on_notify(HWND bar, NMHDR* header);
LRESULT CALLBACK view_toolbar_subclass_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
