// Everything the edit window holds while it is open, in one record so that each resource has
// one owner and one place where it goes: the record's members are reset when the window closes.
// Owned by the image-window thread; the image itself, its selection and history live in
// `g_edit_state`, the open tool in `g_edit_tool`.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "common/win/handle.h"
#include "imagewin/core/edit_window_rules.h"
#include "shell/shell_state.h"

// The bars above the panes: the rebar, its bands and their tips.
struct EditBars {
    HWND frame = nullptr;
    HWND rebar = nullptr;
    HWND tool_tab = nullptr;
    HWND zoom_bar = nullptr;
    HWND save_bar = nullptr;
    HWND option_bar = nullptr;
    HWND tips = nullptr;
    HWND control_tips = nullptr;
    BrushHandle bar_brush;
    // Each subclassed window's own procedure, given back before the window goes.
    WNDPROC tool_tab_proc = nullptr;
    WNDPROC zoom_bar_proc = nullptr;
    WNDPROC save_bar_proc = nullptr;
    WNDPROC option_bar_proc = nullptr;
    WNDPROC zoom_track_proc = nullptr;
    int32_t last_track = -1;  // the zoom track's position as last set
    ToolGroupRect group_rects[kToolGroupCount] = {};
};

// The two view panes: the image as loaded (first) and as edited, each with its DC kept for the
// window's life.
struct EditPanes {
    HWND first = nullptr;
    HWND edited = nullptr;
    WindowDc first_dc;
    WindowDc edited_dc;
    bool zoom_rect_on_edited = false;  // the zoom rectangle is drawn on the edited pane
};

struct EditWindow {
    // Read by the main thread: the window while its thread runs, and the event the starter waits
    // on until the window exists.
    HWND volatile window = nullptr;
    HANDLE volatile ready = nullptr;
    // The thread's own hooks; the main thread may take them away from a thread that hangs, so
    // each is exchanged out once before it is unhooked.
    HHOOK volatile keyboard_hook = nullptr;
    HHOOK volatile mouse_hook = nullptr;
    // Message loops of boxes and dialogs running over the window; read by the main thread when
    // the program closes.
    std::atomic<int> modal_depth{0};
    // A close came while a modal loop ran: it is asked again once the last loop ends.
    bool close_waiting = false;
    // The screen point of the move that switched tool groups, until the frame pressed there.
    POINT group_point = {-1, -1};
    EditBars bars;
    EditPanes panes;
    // The watch on the folder of the image on show (edit window or single view); empty when the
    // image has no folder or the watch failed. Reset whenever the folder is listed again and
    // when the window closes.
    ChangeNotificationHandle folder_change;
    // The colour chooser's custom colours of the transparent colour: kept for the whole run.
    COLORREF transparent_custom_colours[16] = {};
};

extern EditWindow g_edit_window;
