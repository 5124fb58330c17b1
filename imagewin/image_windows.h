// What the edit tools, the dialogs and the stand-alone viewer may use of the image windows:
// the state of the one image window, its view geometry and view helpers, the history, the
// boxes, the titles and the key texts. The functions under "Stand-ins" belong to the edit
// window, which is not there yet; each has its final signature and the least behaviour.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imagewin/edit_state.h"
#include "imagewin/image_commands_win.h"
#include "imagewin/image_file_list_win.h"
#include "imagewin/image_view_win.h"
#include "imagewin/image_window_keys.h"
#include "imagewin/saving_seam.h"
#include "imagewin/undo_history_win.h"
#include "view/core/view_geometry.h"
#include "view/core/view_mapping.h"
#include "view/core/view_titles.h"
#include "view/win/view_windows.h"

// Error box codes the tools use.
constexpr int kViewErrorMemory = 0;
constexpr int kViewErrorImageDisplay = 13;
constexpr int kViewErrorCommandUnavailable = 15;

// ---- Stand-ins until the edit window exists ----

// Opens the edit tool of `kind`; refused without an image or with a tool open.
void open_edit_tool(int32_t kind);
// Commands 9000 (apply, true) and 9001 (cancel, false).
void end_edit_tool(bool apply);
// The edit window's command dispatcher.
void edit_window_command(HWND window, int32_t id);
LRESULT CALLBACK edit_keyboard_hook(int code, WPARAM wparam, LPARAM lparam) noexcept;
LRESULT CALLBACK tool_band_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
LRESULT CALLBACK colour_box_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
LRESULT CALLBACK edit_pane_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
void create_tool_option_bar();
void close_tool_option_bar();
void set_tool_band_child(HWND window, const wchar_t* caption);
// 16 greys, 4 enables the tool-group buttons 8400, 8410, 8420 and 8440.
void set_tool_group_buttons_state(int32_t state);
void set_edit_pane_mode(int32_t mode);
void layout_edit_panes(int32_t client_height, int32_t client_width, bool relayout);
void update_edit_toolbar_states();
void update_view_options_buttons();
void set_zoom_controls_enabled(bool enable, UINT scroll_arrow_flags);
// After a tool or a history step replaced the image.
void refresh_after_image_change(bool size_changed);
// The edit window's rebar, or null.
HWND edit_window_rebar();

// ---- The single view ----

// Its newly loaded image shown, its full-screen state and mouse handlers.
void show_loaded_image();
bool single_view_full_screen();
void view_end_left_drag(HWND window, POINT point);
void view_mouse_move(HWND window, WPARAM keys, POINT point);
void view_begin_right_drag(HWND window, POINT point);
void view_end_right_drag(HWND window);
void view_on_size(HWND window, WPARAM kind, int32_t client_width, int32_t client_height);
