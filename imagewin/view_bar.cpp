// The single view's drop-down button bar: the bar window, its toolbar with the button states of
// the command-state table, the full-screen buttons and title field, the tooltips, and the
// toolbar's subclass that the image windows' bars share.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "imagewin/core/single_view_rules.h"
#include "imagewin/image_windows.h"
#include "imagewin/single_view.h"
#include "imagewin/single_view_seam.h"
#include "shell/shell_state.h"

namespace {

constexpr int kBarId = 700;
constexpr int kToolbarId = 701;
constexpr int kTitleId = 702;
constexpr int kBarHeight = 28;
constexpr int kBitmapResource = 161;
constexpr int kBitmapImages = 25;
constexpr int kSeparator = 9910;
constexpr int kFullScreenSeparator = 9911;
constexpr int kSpacer = 9912;
constexpr int kFullScreenOnly[] = {kSpacer, kFullScreenSeparator, kCmdMinimise, kCmdFullScreen,
                                   kCmdCloseView};

struct BarButton {
    int id;
    int image;  // -1: a separator
};
constexpr BarButton kButtons[] = {
    {kCmdFileList, 0},  {kSeparator, -1},       {kCmdTurnLeft, 1},       {kCmdTurnRight, 2},
    {kSeparator, -1},   {kCmdZoomFit, 3},       {kCmdZoomActualSize, 4}, {kCmdZoomIn, 5},
    {kCmdZoomOut, 6},   {kSeparator, -1},       {kCmdFirstFile, 7},      {kCmdPreviousFile, 8},
    {kCmdNextFile, 9},  {kCmdLastFile, 10},     {kSeparator, -1},        {kCmdSlideShow, 11},
    {kSeparator, -1},   {kCmdToEditWindow, 12}, {kSpacer, -1},           {kFullScreenSeparator, -1},
    {kCmdMinimise, 13}, {kCmdFullScreen, 14},   {kCmdCloseView, 15},
};

void bar_command(HWND, WPARAM wparam, LPARAM) {
    view_window_command(LOWORD(wparam));
}

const ViewBarSink kSink = {bar_command, view_bar_on_notify};

bool is_full_screen_only(int id) {
    for (int only : kFullScreenOnly)
        if (only == id) return true;
    return false;
}

HWND make_tooltip(HWND owner) {
    HWND tip =
        CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, g_shell.instance, nullptr);
    if (!tip) return nullptr;
    SendMessageW(tip, TTM_SETDELAYTIME, TTDT_INITIAL, 300);
    SendMessageW(tip, TTM_SETTIPBKCOLOR, RGB(255, 255, 255), 0);
    return tip;
}

}  // namespace

bool create_view_bar() {
    EditState& s = g_edit_state;
    SingleViewState& v = s.single;
    HWND view = s.image_window;
    if (!view || v.bar) return v.bar != nullptr;
    RECT client;
    GetClientRect(view, &client);
    v.bar = CreateWindowExW(0, kViewBarClassName, nullptr,
                            WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_DLGFRAME, -2, -2,
                            client.right + 4, kBarHeight, view, reinterpret_cast<HMENU>(INT_PTR(kBarId)),
                            g_shell.instance, const_cast<ViewBarSink*>(&kSink));
    if (!v.bar) return false;
    v.toolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, 0x56000840, 0, 0, 0, 0, v.bar,
                                reinterpret_cast<HMENU>(INT_PTR(kToolbarId)), g_shell.instance, nullptr);
    if (!v.toolbar) return false;
    SendMessageW(v.toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(v.toolbar, TB_SETBITMAPSIZE, 0, MAKELPARAM(16, 16));
    TBADDBITMAP bitmap = {g_shell.instance, UINT_PTR(kBitmapResource)};
    SendMessageW(v.toolbar, TB_ADDBITMAP, kBitmapImages, reinterpret_cast<LPARAM>(&bitmap));
    SendMessageW(v.toolbar, TB_SETINDENT, 1, 0);
    TBBUTTON buttons[sizeof kButtons / sizeof kButtons[0]] = {};
    int count = 0;
    for (const BarButton& b : kButtons) {
        TBBUTTON& t = buttons[count++];
        t.idCommand = b.id;
        t.iBitmap = b.image < 0 ? 0 : b.image;
        t.fsStyle = BYTE(b.image < 0 ? BTNS_SEP : BTNS_BUTTON);
        t.fsState = BYTE(TBSTATE_ENABLED | (is_full_screen_only(b.id) ? TBSTATE_HIDDEN : 0));
    }
    SendMessageW(v.toolbar, TB_ADDBUTTONSW, WPARAM(count), reinterpret_cast<LPARAM>(buttons));
    v.bar_title = CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 0, 0, v.toolbar,
                                  reinterpret_cast<HMENU>(INT_PTR(kTitleId)), g_shell.instance, nullptr);
    if (v.bar_title && g_shell.ui_font.get())
        SendMessageW(v.bar_title, WM_SETFONT, reinterpret_cast<WPARAM>(g_shell.ui_font.get()), FALSE);
    v.tooltips[0] = make_tooltip(view);
    v.tooltips[1] = make_tooltip(view);
    const ImageBarTips tips{v.toolbar, kSingleViewBarCommands,
                            int(sizeof kSingleViewBarCommands / sizeof kSingleViewBarCommands[0])};
    update_bar_tooltips(v.tooltips[0], tips, TTM_ADDTOOLW);
    if (v.tooltips[0]) SendMessageW(v.toolbar, TB_SETTOOLTIPS, reinterpret_cast<WPARAM>(v.tooltips[0]), 0);
    set_image_window_bars(v.tooltips[0], &tips, 1);
    v.toolbar_proc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(v.toolbar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(view_toolbar_subclass_proc)));
    return true;
}

void destroy_view_bar() {
    SingleViewState& v = g_edit_state.single;
    set_image_window_bars(nullptr, nullptr, 0);
    if (v.toolbar && v.toolbar_proc)
        SetWindowLongPtrW(v.toolbar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(v.toolbar_proc));
    v.toolbar_proc = nullptr;
    for (HWND& tip : v.tooltips) {
        if (tip) DestroyWindow(tip);
        tip = nullptr;
    }
    if (v.bar) DestroyWindow(v.bar);
    v.bar = nullptr;
    v.toolbar = nullptr;
    v.bar_title = nullptr;
    v.bar_shown = false;
}

void update_view_bar_buttons() {
    const SingleViewState& v = g_edit_state.single;
    if (!v.toolbar) return;
    const ViewCommandContext context = view_command_context();
    for (uint16_t id : kViewBarStateCommands) {
        const bool enabled = view_command_state(id, context).enabled && image_command_available(id);
        SendMessageW(v.toolbar, TB_SETSTATE, id,
                     MAKELPARAM(enabled ? TBSTATE_ENABLED : TBSTATE_INDETERMINATE, 0));
    }
}

void show_full_screen_bar_buttons(bool show, int32_t monitor_width) {
    const SingleViewState& v = g_edit_state.single;
    if (!v.toolbar) return;
    for (int id : kFullScreenOnly)
        SendMessageW(v.toolbar, TB_HIDEBUTTON, WPARAM(id), MAKELPARAM(show ? FALSE : TRUE, 0));
    if (!show) {
        if (v.bar_title) ShowWindow(v.bar_title, SW_HIDE);
        return;
    }
    RECT separator = {}, edit_button = {};
    SendMessageW(v.toolbar, TB_GETRECT, kFullScreenSeparator, reinterpret_cast<LPARAM>(&separator));
    SendMessageW(v.toolbar, TB_GETRECT, kCmdToEditWindow, reinterpret_cast<LPARAM>(&edit_button));
    const FullScreenBarLayout layout =
        full_screen_bar_layout(monitor_width, edit_button.right, edit_button.right - edit_button.left,
                               separator.right - separator.left);
    TBBUTTONINFOW info = {};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_SIZE;
    info.cx = WORD(layout.spacer_width);
    SendMessageW(v.toolbar, TB_SETBUTTONINFOW, kSpacer, reinterpret_cast<LPARAM>(&info));
    if (!v.bar_title) return;
    RECT spacer = {};
    SendMessageW(v.toolbar, TB_GETRECT, kSpacer, reinterpret_cast<LPARAM>(&spacer));
    SetWindowPos(v.bar_title, nullptr, spacer.left + 1, spacer.top + (spacer.bottom - spacer.top - 15) / 2,
                 layout.title_width, 15, SWP_NOZORDER | SWP_NOACTIVATE);
    wchar_t title[512] = {};
    GetWindowTextW(g_edit_state.image_window, title, 512);
    SetWindowTextW(v.bar_title, title);
    ShowWindow(v.bar_title, SW_SHOWNA);
}

void set_view_bar_title(const wchar_t* title) {
    const SingleViewState& v = g_edit_state.single;
    if (v.bar_title) SetWindowTextW(v.bar_title, title ? title : L"");
}

LRESULT view_bar_on_notify(HWND, NMHDR* header) {
    if (!header || header->idFrom != UINT_PTR(kToolbarId)) return 0;
    switch (header->code) {
        case NM_LDOWN:
        case NM_RDOWN:
            if (g_edit_state.image_window) SetFocus(g_edit_state.image_window);
            return 0;
        case NM_CUSTOMDRAW: {
            auto* draw = reinterpret_cast<NMTBCUSTOMDRAW*>(header);
            if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
            if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) return draw_menubar_button(draw);
            return 0;
        }
        default: return 0;
    }
}

LRESULT CALLBACK view_toolbar_subclass_proc(HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam) noexcept {
    const SingleViewState& v = g_edit_state.single;
    switch (message) {
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK: return 0;
        case WM_LBUTTONDBLCLK:
            if (v.bar_title && IsWindowVisible(v.bar_title)) {
                RECT title;
                GetWindowRect(v.bar_title, &title);
                MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&title), 2);
                const POINT p = {short(LOWORD(lparam)), short(HIWORD(lparam))};
                if (PtInRect(&title, p)) {
                    view_window_command(kCmdFullScreen);
                    return 0;
                }
            }
            break;
        default: break;
    }
    if (!v.toolbar_proc) return DefWindowProcW(window, message, wparam, lparam);
    return CallWindowProcW(v.toolbar_proc, window, message, wparam, lparam);
}
