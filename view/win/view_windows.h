// The Win32 side of the view shared by the image windows and the stand-alone viewer: the
// navigator popup, the painter, the stretch mode, scrolling, the zoom rectangle, the pan cursor
// and the button bar's procedure. Each program passes its own class names, cursor rule and
// command sink; nothing here knows the image windows' state.
#pragma once

#include <windows.h>

#include <cstdint>

#include "view/core/view_geometry.h"

// What the navigator shows: the view (for its scale and frame) and the DC holding the image.
struct NavigatorSource {
    const ViewGeometry* view = nullptr;
    HDC image_dc = nullptr;
};

struct NavigatorWindow {
    HWND window = nullptr;
    HDC dc = nullptr;  // the window's own DC, kept: the frame is drawn on it while panning
    NavigatorSource source;
};

// The pan cursors of a program: its cursor resources and the rule that picks one for a view
// (0: no pan cursor).
struct PanCursors {
    HINSTANCE instance = nullptr;
    int32_t (*pick)(const ViewGeometry& view) = nullptr;
};

// Registers the navigator's class (own DC) under the program's name for it.
bool register_navigator_class(HINSTANCE instance, const wchar_t* class_name);
// The popup, owned by `owner`, of no size until shown; false when it cannot be made.
bool create_navigator_window(NavigatorWindow& navigator, HWND owner, const wchar_t* class_name,
                             HINSTANCE instance, const NavigatorSource& source);
void destroy_navigator_window(NavigatorWindow& navigator);
LRESULT CALLBACK navigator_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
// Lays the navigator out for the view, places it beside `image_window` inside the work area
// and shows it.
void show_navigator(NavigatorWindow& navigator, ViewGeometry& view, HWND image_window);
// The whole image stretched into the navigator's image size, then the frame of the visible part.
void paint_navigator(HDC dc, const ViewGeometry& view, HDC image_dc);

// A closed outline through the four corners, from (left, top) back to it.
void draw_rect_outline(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom);

// COLORONCOLOR at 1:1 or for the fast setting, else HALFTONE with brush origin 0,0.
void set_view_stretch_mode(HDC dc, const ViewGeometry& view, bool quality);
// Fills the client around the destination rectangle and stretches the source rectangle of
// `image_dc` into it. Nothing is stretched while a size is 0.
void paint_original_pane(HDC dc, const RECT& client, const ViewGeometry& view, HDC image_dc,
                         HBRUSH background);

// Sets the cursor the rule picks for the view; false when it picks none.
bool set_pan_cursor(const ViewGeometry& view, const PanCursors& cursors);

// scroll_view_source, and while panning the new cursor and the navigator's frame moved.
void scroll_view_source(ViewGeometry& view, int32_t dx, int32_t dy, NavigatorWindow* navigator,
                        const PanCursors& cursors);
// Then the client scrolled by the distance the shown pixels moved (invalidating what is new).
void scroll_view_by_offset(HWND window, ViewGeometry& view, int32_t dy, int32_t dx,
                           NavigatorWindow* navigator, const PanCursors& cursors);

// The zoom rectangle: begin captures the mouse when the point lies on the image; track draws
// the frame in R2_NOT; end releases the capture and erases it. End returns true when the view
// was zoomed (the caller updates its rectangles and repaints).
bool begin_zoom_rect_drag(HWND window, ViewGeometry& view, POINT point);
void track_zoom_rect_drag(HDC dc, ViewGeometry& view, POINT point);
bool end_zoom_rect_drag(HDC dc, ViewGeometry& view, int32_t box_width, int32_t box_height);

// The button bar's handlers of a program: commands go to the owning view's dispatcher,
// notifications to the bar's notify handler.
struct ViewBarSink {
    void (*command)(HWND bar, WPARAM wparam, LPARAM lparam) = nullptr;
    LRESULT (*notify)(HWND bar, NMHDR* header) = nullptr;
};
// Registers the bar class with `view_bar_proc`; the bar is created with a ViewBarSink pointer
// (kept by the caller for the bar's life) as its creation parameter.
bool register_view_bar_class(HINSTANCE instance, const wchar_t* class_name);
// WM_SIZE sizes the toolbar child, WM_NOTIFY and WM_COMMAND go to the sink.
LRESULT CALLBACK view_bar_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
