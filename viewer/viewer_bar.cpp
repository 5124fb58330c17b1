// The viewer's button bar over the top of the view, its tooltips and states, and the caption
// text shown in the title, the window's tooltip and, in full screen, on the bar.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <string>

#include "imagewin/core/command_labels.h"
#include "shell/shell_state.h"
#include "viewer/viewer_app.h"

namespace {

constexpr int kSeparatorId = 9901;
constexpr int kCaptionPlaceholderId = 9912;
constexpr int kWindowButtonsSeparatorId = 9911;
constexpr int kBarImageCount = 25;

struct BarButton {
    int id;
    int image;      // -1: a separator
    int key_entry;  // -1: no key
    const wchar_t* name;
};

const BarButton kButtons[] = {
    {kViewerDelete, 0, 11, L"削除"},
    {kSeparatorId, -1, -1, nullptr},
    {kViewerTurnLeft, 1, 15, L"左回転"},
    {kViewerTurnRight, 2, 16, L"右回転"},
    {kSeparatorId, -1, -1, nullptr},
    {kViewerFit, 3, 18, L"画面に合わせて表示"},
    {kViewerActualSize, 4, 19, L"等倍表示<100%>"},
    {kViewerZoomIn, 5, 26, L"拡大表示"},
    {kViewerZoomOut, 6, 27, L"縮小表示"},
    {kSeparatorId, -1, -1, nullptr},
    {kViewerFirstFile, 7, 1, L"先頭へ"},
    {kViewerPreviousFile, 8, 2, L"戻る"},
    {kViewerNextFile, 9, 3, L"進む"},
    {kViewerLastFile, 10, 4, L"末尾へ"},
    {kCaptionPlaceholderId, -1, -1, nullptr},
    {kWindowButtonsSeparatorId, -1, -1, nullptr},
    {kViewerMinimize, 11, -1, L"最小化"},
    {kViewerFullScreen, 12, 31, L"通常表示"},
    {kViewerClose, 13, 33, L"終了"},
};

const int kImageButtons[] = {kViewerDelete,       kViewerTurnLeft, kViewerTurnRight, kViewerFit,
                             kViewerActualSize,   kViewerZoomIn,   kViewerZoomOut,   kViewerFirstFile,
                             kViewerPreviousFile, kViewerNextFile, kViewerLastFile};
const int kFullScreenItems[] = {kCaptionPlaceholderId, kWindowButtonsSeparatorId, kViewerMinimize,
                                kViewerFullScreen, kViewerClose};

RECT button_rect(int id) {
    RECT r = {};
    SendMessageW(g_viewer.toolbar, TB_GETRECT, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&r));
    return r;
}

void hide_button(int id, bool hide) {
    SendMessageW(g_viewer.toolbar, TB_HIDEBUTTON, static_cast<WPARAM>(id),
                 MAKELPARAM(hide ? TRUE : FALSE, 0));
}

LRESULT CALLBACK toolbar_subclass_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    if (message == WM_COMMAND && LOWORD(wparam) == kViewerCaptionId && HIWORD(wparam) == STN_DBLCLK) {
        viewer_do_command(kViewerFullScreen);
        return 0;
    }
    if (message == WM_RBUTTONDOWN) return 0;
    return CallWindowProcW(g_viewer.toolbar_proc, window, message, wparam, lparam);
}

// The faces of the buttons: a rounded frame under a hot or pressed button, then the toolbar's
// own image drawing. The browser's menu-bar painter draws the same faces, but from the brushes,
// pens and font its menus create; the viewer has no menus, so it draws with its own.
LRESULT paint_button(NMTBCUSTOMDRAW* draw) {
    ViewerApp& v = g_viewer;
    NMCUSTOMDRAW& item = draw->nmcd;
    const bool hot = item.uItemState & CDIS_HOT, pressed = item.uItemState & (CDIS_SELECTED | CDIS_CHECKED);
    if (!hot && !pressed) return CDRF_DODEFAULT;
    HGDIOBJ old_brush = SelectObject(item.hdc, pressed ? v.white_brush : v.light_brush);
    HGDIOBJ old_pen = SelectObject(item.hdc, pressed ? v.hot_pen : v.frame_pen);
    RoundRect(item.hdc, item.rc.left, item.rc.top, item.rc.right, item.rc.bottom, 5, 5);
    SelectObject(item.hdc, old_pen);
    SelectObject(item.hdc, old_brush);
    return TBCDRF_NOBACKGROUND | TBCDRF_NOEDGES;
}

LRESULT bar_notify(HWND, NMHDR* header) {
    if (header->idFrom != static_cast<UINT_PTR>(kViewerToolbarId)) return 0;
    switch (header->code) {
        case NM_LDOWN:
        case NM_RDOWN: SetFocus(g_viewer.frame); return 0;
        case NM_CUSTOMDRAW: {
            NMTBCUSTOMDRAW* draw = reinterpret_cast<NMTBCUSTOMDRAW*>(header);
            if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
            if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) return paint_button(draw);
            return CDRF_DODEFAULT;
        }
        default: return 0;
    }
}

void bar_command(HWND, WPARAM wparam, LPARAM) {
    viewer_do_command(LOWORD(wparam));
}

void add_tooltips() {
    ViewerApp& v = g_viewer;
    for (const BarButton& b : kButtons) {
        if (b.image < 0) continue;
        std::u16string text = u16(b.name);
        if (b.key_entry >= 0) {
            const KeyEntry& k = v.keys[b.key_entry];
            text = viewer_button_tooltip(text, k.fVirt, k.key);
        }
        TOOLINFOW tool = {};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_SUBCLASS;
        tool.hwnd = v.toolbar;
        tool.uId = static_cast<UINT_PTR>(b.id);
        tool.rect = button_rect(b.id);
        tool.lpszText = const_cast<wchar_t*>(wide(text));
        SendMessageW(v.bar_tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    SendMessageW(v.toolbar, TB_SETTOOLTIPS, reinterpret_cast<WPARAM>(v.bar_tips), 0);
}

}  // namespace

void viewer_create_button_bar() {
    ViewerApp& v = g_viewer;
    RECT client = {};
    GetClientRect(v.frame, &client);
    v.bar_sink.command = bar_command;
    v.bar_sink.notify = bar_notify;
    v.bar = CreateWindowExW(
        0, kViewerBarClass, nullptr, WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_DLGFRAME, -2, -2,
        client.right + 4, kViewerBarHeight, v.frame,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kViewerBarId)), v.instance, &v.bar_sink);
    v.toolbar = CreateWindowExW(
        0, TOOLBARCLASSNAMEW, nullptr,
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | TBSTYLE_FLAT | CCS_NODIVIDER, 0, 0, 0, 0,
        v.bar, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kViewerToolbarId)), v.instance, nullptr);
    if (!v.bar || !v.toolbar) return;
    SendMessageW(v.toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(v.toolbar, TB_SETBITMAPSIZE, 0, MAKELPARAM(16, 16));
    TBADDBITMAP bitmap = {v.instance, static_cast<UINT_PTR>(kViewerBarBitmap)};
    const LRESULT first_image =
        SendMessageW(v.toolbar, TB_ADDBITMAP, kBarImageCount, reinterpret_cast<LPARAM>(&bitmap));
    SendMessageW(v.toolbar, TB_SETINDENT, 1, 0);
    v.toolbar_proc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(v.toolbar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(toolbar_subclass_proc)));
    TBBUTTON buttons[sizeof kButtons / sizeof kButtons[0]] = {};
    for (size_t i = 0; i < sizeof kButtons / sizeof kButtons[0]; ++i) {
        const BarButton& b = kButtons[i];
        buttons[i].idCommand = b.id;
        if (b.image < 0) {
            buttons[i].fsStyle = BTNS_SEP;
        } else {
            buttons[i].iBitmap = static_cast<int>(first_image < 0 ? 0 : first_image) + b.image;
            buttons[i].fsState = TBSTATE_ENABLED;
            buttons[i].fsStyle = BTNS_BUTTON;
        }
    }
    SendMessageW(v.toolbar, TB_ADDBUTTONSW, sizeof kButtons / sizeof kButtons[0],
                 reinterpret_cast<LPARAM>(buttons));
    const RECT placeholder = button_rect(kCaptionPlaceholderId);
    v.caption = CreateWindowExW(
        0, L"STATIC", nullptr, WS_CHILD | WS_CLIPSIBLINGS | SS_NOTIFY, placeholder.right, 4, 0, 0, v.toolbar,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kViewerCaptionId)), v.instance, nullptr);
    if (v.caption) SendMessageW(v.caption, WM_SETFONT, reinterpret_cast<WPARAM>(v.ui_font), FALSE);
    for (int id : kFullScreenItems) hide_button(id, true);
    add_tooltips();
}

void viewer_restore_toolbar_proc() {
    ViewerApp& v = g_viewer;
    if (v.toolbar && v.toolbar_proc)
        SetWindowLongPtrW(v.toolbar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(v.toolbar_proc));
    v.toolbar_proc = nullptr;
}

void viewer_update_bar_buttons() {
    ViewerApp& v = g_viewer;
    if (!v.toolbar) return;
    const WORD state = v.has_image ? TBSTATE_ENABLED : TBSTATE_INDETERMINATE;
    for (int id : kImageButtons)
        SendMessageW(v.toolbar, TB_SETSTATE, static_cast<WPARAM>(id), MAKELPARAM(state, 0));
}

void viewer_show_image_info() {
    ViewerApp& v = g_viewer;
    std::u16string caption = u"Qelvo";
    if (v.has_image) {
        caption = viewer_caption(true,
                                 viewer_info_text(u16(v.image.name), v.image.width, v.image.height,
                                                  v.image.shown_depth, v.image.size),
                                 v.view.zoom);
    }
    const wchar_t* text = wide(caption);
    SetWindowTextW(v.frame, text);
    if (v.full_screen) {
        if (v.caption) SetWindowTextW(v.caption, text);
        return;
    }
    TOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.hwnd = v.frame;
    tool.uId = reinterpret_cast<UINT_PTR>(v.frame);
    tool.lpszText = const_cast<wchar_t*>(text);
    if (v.window_tip) SendMessageW(v.window_tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void viewer_show_bar(bool show) {
    ViewerApp& v = g_viewer;
    if (!v.bar) return;
    v.bar_shown = show;
    ShowWindow(v.bar, show ? SW_SHOW : SW_HIDE);
    if (show) {
        SetWindowPos(v.bar, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        show_viewer_cursor();
    }
}

void viewer_layout_full_screen_bar(bool full_screen) {
    ViewerApp& v = g_viewer;
    if (!v.toolbar) return;
    for (int id : kFullScreenItems) hide_button(id, !full_screen);
    if (!full_screen) {
        if (v.caption) ShowWindow(v.caption, SW_HIDE);
        return;
    }
    RECT monitor = {};
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(MonitorFromWindow(v.frame, MONITOR_DEFAULTTONEAREST), &info))
        monitor = info.rcMonitor;
    else
        monitor = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const RECT last = button_rect(kViewerLastFile);
    const RECT separator = button_rect(kWindowButtonsSeparatorId);
    const int button_width = last.right - last.left, separator_width = separator.right - separator.left;
    const int room = (monitor.right - monitor.left) - 4 - last.right - 3 * button_width - separator_width;
    TBBUTTONINFOW button = {};
    button.cbSize = sizeof button;
    button.dwMask = TBIF_SIZE;
    button.cx = static_cast<WORD>(room + 1 > 0 ? room + 1 : 0);
    SendMessageW(v.toolbar, TB_SETBUTTONINFOW, kCaptionPlaceholderId, reinterpret_cast<LPARAM>(&button));
    if (v.caption) {
        // The text starts one separator's width after the last navigation button, where the
        // placeholder ended when the bar was made, and so ends where the placeholder ends now.
        const RECT placeholder = button_rect(kCaptionPlaceholderId);
        const int width = room - separator_width;
        SetWindowPos(v.caption, nullptr, placeholder.left + separator_width, 4, width > 0 ? width : 0, 15,
                     SWP_NOZORDER);
        ShowWindow(v.caption, SW_SHOW);
    }
}
