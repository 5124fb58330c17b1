// How the edit window hosts one modeless edit tool at a time: the operations every tool kind
// provides (filled in as the tools are registered), the window's state that the tools read and
// write, and the opening, closing and routing that the frame, the panes and the bars use.
// A kind without operations is not available: opening it is refused as without an image.
#pragma once

#include <windows.h>

#include <cstdint>

#include "imagewin/core/edit_window_rules.h"
#include "imagewin/tool_host.h"

// The kind of the open tool; 0 when none is.
int32_t open_edit_tool_kind();

// Opens the tool of `kind`: refused without an image, with a tool open or when the kind is not
// available. Returns whether it opened.
bool open_edit_tool_checked(int32_t kind);
// Closes the open tool, applying its result or not; true when the image changed.
bool close_edit_tool(bool apply);

// A panel control's command for the open tool; false when no open tool owns `id`.
bool route_edit_tool_command(int32_t id, WPARAM wparam, HWND control);

// The trimming tool draws its rectangle: what would move the view under it is refused
// (maximising, the pane modes, dragging a band).
bool edit_tool_holds_view();

enum class EditHookKey : uint8_t { pass, eat, apply, cancel, end_pick, save_preview, close_history };

// What the keyboard hook does with the first press of Enter or Esc. `focus_id` is the control
// id of the focus window; `capture` whether the mouse is captured; `history_open` whether the
// change-history window is up.
EditHookKey edit_hook_key(UINT key, int32_t focus_id, bool capture, bool history_open);

// A right press on a pane or the frame: the brush tools hide their square, the trimming tool
// is cancelled while it draws. False when the press must go no further.
bool edit_tool_right_press();
// The mouse capture went elsewhere: a colour pick ends without its colour.
void edit_tool_capture_lost();
// Paints the open tool's overlay on the edited pane (kinds 1, 2, 3, 5 and 7).
void draw_edit_tool_overlay(HDC pane_dc);

// A one-shot command (kEditOneShotCommands) through its routine, refreshing the window after
// a change; false when it has none or changed nothing.
bool run_edit_one_shot(int32_t command);
// The edited pane's mouse message for the open tool, filtered by kind; false when the tool
// takes no part in it.
bool route_edit_pane_mouse(HWND pane, UINT message, WPARAM wparam, LPARAM lparam);
// A panel control's WM_NOTIFY for the open tool; 0 when no tool takes it.
LRESULT route_edit_tool_notify(const NMHDR* header);
// The pick moved over the image: the swatch being picked is painted again.
void repaint_picked_colour_box();
// The colour box of the open tool was given a new colour in the dialog.
void edit_tool_colour_chosen(HWND box);
