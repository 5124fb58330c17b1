#include "view/win/view_windows.h"

namespace {

void draw_frame(HDC dc, const ViewFrame& f) {
    draw_rect_outline(dc, f.left, f.top, f.right, f.bottom);
}

void draw_not_frame(HDC dc, const ViewFrame& f) {
    const int previous = SetROP2(dc, R2_NOT);
    draw_frame(dc, f);
    SetROP2(dc, previous);
}

}  // namespace

bool register_navigator_class(HINSTANCE instance, const wchar_t* class_name) {
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(instance, class_name, &existing)) return true;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = navigator_window_proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = class_name;
    return RegisterClassExW(&wc) != 0;
}

bool create_navigator_window(NavigatorWindow& navigator, HWND owner, const wchar_t* class_name,
                             HINSTANCE instance, const NavigatorSource& source) {
    navigator.source = source;
    HWND window =
        CreateWindowExW(WS_EX_STATICEDGE, class_name, nullptr, WS_POPUP | WS_CLIPSIBLINGS | WS_BORDER, 0, 0,
                        0, 0, owner, nullptr, instance, nullptr);
    if (!window) return false;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&navigator.source));
    navigator.window = window;
    navigator.dc = GetDC(window);
    if (navigator.dc) {
        SetStretchBltMode(navigator.dc, HALFTONE);
        SetBrushOrgEx(navigator.dc, 0, 0, nullptr);
        SetROP2(navigator.dc, R2_NOT);
    }
    return true;
}

void destroy_navigator_window(NavigatorWindow& navigator) {
    if (navigator.window) {
        if (navigator.dc) ReleaseDC(navigator.window, navigator.dc);
        DestroyWindow(navigator.window);
    }
    navigator.window = nullptr;
    navigator.dc = nullptr;
}

LRESULT CALLBACK navigator_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            const auto* source =
                reinterpret_cast<const NavigatorSource*>(GetWindowLongPtrW(window, GWLP_USERDATA));
            if (source && source->view && source->image_dc)
                paint_navigator(dc, *source->view, source->image_dc);
            EndPaint(window, &ps);
            return 0;
        }
        case WM_RBUTTONUP: ShowWindow(window, SW_HIDE); return 0;
        default: return DefWindowProcW(window, message, wparam, lparam);
    }
}

void show_navigator(NavigatorWindow& navigator, ViewGeometry& view, HWND image_window) {
    if (!navigator.window) return;
    layout_navigator(view);
    RECT window_rect = {};
    GetWindowRect(image_window, &window_rect);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    RECT work = {};
    HMONITOR handle = MonitorFromWindow(image_window, MONITOR_DEFAULTTONEAREST);
    if (handle && GetMonitorInfoW(handle, &monitor))
        work = monitor.rcWork;
    else
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const ViewFrame placed = navigator_window_rect(
        view, ViewFrame{window_rect.left, window_rect.top, window_rect.right, window_rect.bottom},
        ViewFrame{work.left, work.top, work.right, work.bottom});
    SetWindowPos(navigator.window, nullptr, placed.left, placed.top, placed.right - placed.left,
                 placed.bottom - placed.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(navigator.window, nullptr, FALSE);
    UpdateWindow(navigator.window);
}

void paint_navigator(HDC dc, const ViewGeometry& view, HDC image_dc) {
    if (view.navigator_width < 1 || view.navigator_height < 1 || view.image_width < 1 ||
        view.image_height < 1)
        return;
    StretchBlt(dc, 0, 0, view.navigator_width, view.navigator_height, image_dc, 0, 0, view.image_width,
               view.image_height, SRCCOPY);
    draw_not_frame(dc, view.navigator_frame);
}

void draw_rect_outline(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    POINT corners[5] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}, {left, top}};
    Polyline(dc, corners, 5);
}

void set_view_stretch_mode(HDC dc, const ViewGeometry& view, bool quality) {
    if (view_stretch_mode(view, quality) == ViewStretchMode::halftone) {
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
    } else {
        SetStretchBltMode(dc, COLORONCOLOR);
    }
}

void paint_original_pane(HDC dc, const RECT& client, const ViewGeometry& view, HDC image_dc,
                         HBRUSH background) {
    const RECT dest = {view.dest_x, view.dest_y, view.dest_x + view.dest_width,
                       view.dest_y + view.dest_height};
    // Four bands around the image, so the image itself is drawn once and never flickers.
    const RECT bands[4] = {
        {client.left, client.top, client.right, dest.top},
        {client.left, dest.bottom, client.right, client.bottom},
        {client.left, dest.top, dest.left, dest.bottom},
        {dest.right, dest.top, client.right, dest.bottom},
    };
    for (const RECT& band : bands) {
        if (band.right > band.left && band.bottom > band.top) FillRect(dc, &band, background);
    }
    if (view.dest_width < 1 || view.dest_height < 1 || view.src_width < 1 || view.src_height < 1 || !image_dc)
        return;
    StretchBlt(dc, view.dest_x, view.dest_y, view.dest_width, view.dest_height, image_dc, view.src_x,
               view.src_y, view.src_width, view.src_height, SRCCOPY);
}

bool set_pan_cursor(const ViewGeometry& view, const PanCursors& cursors) {
    const int32_t id = cursors.pick ? cursors.pick(view) : 0;
    if (id == 0) return false;
    HANDLE cursor =
        LoadImageW(cursors.instance, MAKEINTRESOURCEW(id), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_SHARED);
    if (!cursor) return false;
    SetCursor(static_cast<HCURSOR>(cursor));
    return true;
}

void scroll_view_source(ViewGeometry& view, int32_t dx, int32_t dy, NavigatorWindow* navigator,
                        const PanCursors& cursors) {
    const ViewFrame old_frame = view.navigator_frame;
    scroll_view_source(view, dx, dy);
    if (view.drag_mode != kDragPanning) return;
    set_pan_cursor(view, cursors);
    if (navigator && navigator->dc && IsWindowVisible(navigator->window)) {
        // The DC draws in R2_NOT: the old frame drawn again is erased.
        draw_frame(navigator->dc, old_frame);
        draw_frame(navigator->dc, view.navigator_frame);
    }
}

void scroll_view_by_offset(HWND window, ViewGeometry& view, int32_t dy, int32_t dx,
                           NavigatorWindow* navigator, const PanCursors& cursors) {
    const ViewGeometry before = view;
    scroll_view_source(view, dx, dy, navigator, cursors);
    const int64_t zoom = view.zoom;
    const int32_t moved_x =
        int32_t(int64_t(before.src_x) * zoom / kZoomActualSize - zoom * view.src_x / kZoomActualSize);
    const int32_t moved_y =
        int32_t(int64_t(before.src_y) * zoom / kZoomActualSize - zoom * view.src_y / kZoomActualSize);
    if (moved_x || moved_y)
        ScrollWindowEx(window, moved_x, moved_y, nullptr, nullptr, nullptr, nullptr, SW_INVALIDATE);
}

bool begin_zoom_rect_drag(HWND window, ViewGeometry& view, POINT point) {
    if (!begin_zoom_rect_drag(view, ViewPoint{point.x, point.y})) return false;
    SetCapture(window);
    return true;
}

void track_zoom_rect_drag(HDC dc, ViewGeometry& view, POINT point) {
    const ZoomRectTrack track = track_zoom_rect_drag(view, ViewPoint{point.x, point.y});
    if (!track.redraw) return;
    draw_not_frame(dc, track.erase);
    draw_not_frame(dc, track.draw);
}

bool end_zoom_rect_drag(HDC dc, ViewGeometry& view, int32_t box_width, int32_t box_height) {
    const ZoomRectEnd end = end_zoom_rect_drag(view, box_width, box_height);
    if (!end.was_active) return false;
    ReleaseCapture();
    draw_not_frame(dc, end.erase);
    return end.zoomed;
}

bool register_view_bar_class(HINSTANCE instance, const wchar_t* class_name) {
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(instance, class_name, &existing)) return true;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = view_bar_proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(INT_PTR(COLOR_BTNFACE + 1));
    wc.lpszClassName = class_name;
    return RegisterClassExW(&wc) != 0;
}

LRESULT CALLBACK view_bar_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    const auto* sink = reinterpret_cast<const ViewBarSink*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
        case WM_NCCREATE: {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
            break;
        }
        case WM_SIZE:
            if (HWND toolbar = GetWindow(window, GW_CHILD))
                SetWindowPos(toolbar, nullptr, 0, 0, LOWORD(lparam), HIWORD(lparam),
                             SWP_NOZORDER | SWP_NOMOVE);
            return 0;
        case WM_NOTIFY:
            if (sink && sink->notify) return sink->notify(window, reinterpret_cast<NMHDR*>(lparam));
            return 0;
        case WM_COMMAND:
            if (sink && sink->command) sink->command(window, wparam, lparam);
            return 0;
        default: break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}
