// The edit window's two panes: the first view (710, the current image) and the edited view
// (711, the open tool's result or the save preview), their layout, painting, scroll bars, the
// zoom rectangle and the right-button grab scrolling.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr int kFirstPaneId = 710;
constexpr int kEditedPaneId = 711;

// Creates both panes in the frame (zero size) and their scroll bars by the setting.
void create_edit_panes(HWND frame);
// Gives back the panes' DCs and the work DC when the window closes.
void destroy_edit_pane_dcs();
// The layout again for the frame's present client size.
void relayout_edit_panes();
HWND first_view_pane();
HWND edited_view_pane();

// Stretch mode, scroll bars or view rectangles, repaint of the visible panes.
void update_edit_view();
// A visible pane painted again now.
void repaint_view_pane(HWND pane);
// Pane mode 1 and the layout; with `reset_zoom` the zoom of a new image (kept or fitted).
void refit_edit_view(bool reset_zoom);
// Moves the source offset (image pixels) and repaints.
void scroll_edit_view(int32_t dy, int32_t dx);
void toggle_edit_scrollbars();
void on_edit_scroll(bool vertical, uint32_t code);

// Right-button grab scrolling in frame client coordinates.
void begin_edit_right_drag(HWND capture_window, int32_t x, int32_t y);
void track_edit_right_drag(int32_t x, int32_t y);
// True: the press did not move, the context menu follows.
bool end_edit_right_drag();
// The capture went elsewhere: every drag, the zoom rectangle and a pick end.
void edit_capture_lost();

// Command 8610: turns the transparent colour off, or on with a pick from the first view.
void start_transparent_colour_pick();
// Ends that pick; `take` keeps the colour under the cursor as the transparent colour.
void end_transparent_colour_pick(bool take);
// The colour under a first-view point into the picked colour and the title ("r:-  g:-  b:-"
// outside the shown image); false outside.
bool read_pixel_under_cursor(POINT point);

LRESULT CALLBACK first_view_pane_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
