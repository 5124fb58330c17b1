// The menu-bar toolbar, the popups it opens and the states of their items.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "common/win/app_messages.h"
#include "shell/entry_points.h"
#include "shell/folder_watch.h"
#include "shell/launch.h"
#include "shell/main_menus.h"
#include "shell/main_menus_internal.h"
#include "shell/shell_ids.h"
#include "shell/shell_state.h"
#include "shell/shell_texts.h"
#include "shell/thumbnail_view_parts.h"

namespace {

RECT g_button_rects[kMenuBarButtonCount] = {};
// The menu-bar popup being tracked, or -1.
int g_tracked = -1;
HHOOK g_menu_filter = nullptr;
// The hot button when there is no toolbar to ask.
int g_hot_without_bar = -1;

int open_menu_id(int position) {
    return kMenuBarFirstButton + kMenuBarButtonStep * position;
}

// Whether any item of the popup is highlighted: the keyboard has entered it.
bool has_highlighted_item(HMENU popup) {
    const int count = popup ? GetMenuItemCount(popup) : 0;
    for (int i = 0; i < count; ++i)
        if (GetMenuState(popup, static_cast<UINT>(i), MF_BYPOSITION) & MF_HILITE) return true;
    return false;
}

// Whether the View popup's submenu item is the selected one.
bool submenu_item_highlighted() {
    HMENU view = g_menus.popup[kPopupView];
    const int count = view ? GetMenuItemCount(view) : 0;
    for (int i = 0; i < count; ++i)
        if (GetSubMenu(view, i) == g_menus.popup[kPopupViewSubmenu])
            return (GetMenuState(view, static_cast<UINT>(i), MF_BYPOSITION) & MF_HILITE) != 0;
    return false;
}

// Left and Right inside a menu-bar popup go to the neighbouring popup, as on a menu bar, except
// where they open or close the View popup's submenu.
LRESULT CALLBACK menu_filter(int code, WPARAM wparam, LPARAM lparam) noexcept {
    const MSG* msg = reinterpret_cast<const MSG*>(lparam);
    if (code == MSGF_MENU && msg && msg->message == WM_KEYDOWN && g_tracked >= 0 &&
        (msg->wParam == VK_LEFT || msg->wParam == VK_RIGHT)) {
        HMENU submenu = g_menus.popup[kPopupViewSubmenu];
        const bool in_submenu = g_tracked == kPopupView && has_highlighted_item(submenu);
        const bool on_submenu_item = g_tracked == kPopupView && !in_submenu && submenu_item_highlighted();
        const bool right = msg->wParam == VK_RIGHT;
        if (!(right ? on_submenu_item : in_submenu)) {
            const int next = (g_tracked + (right ? 1 : kMenuBarButtonCount - 1)) % kMenuBarButtonCount;
            EndMenu();
            PostMessageW(g_shell.main_window, kAppMessage, kMainOpenMenuFirst + next, next);
            return 1;
        }
    }
    return CallNextHookEx(g_menu_filter, code, wparam, lparam);
}

int ui_text_width(HWND window, const wchar_t* text) {
    HDC dc = GetDC(window);
    if (!dc) return 0;
    SIZE extent = {};
    {
        SelectGuard font(dc, g_shell.ui_font.get());
        GetTextExtentPoint32W(dc, text, lstrlenW(text), &extent);
    }
    ReleaseDC(window, dc);
    return extent.cx;
}

int popup_position(HMENU popup) {
    for (int p = 0; p < kMenuPopupCount; ++p)
        if (popup && g_menus.popup[p] == popup) return p;
    return -1;
}

// The folder tree and the information list take the keyboard focus while the mouse is over them,
// and give it back to the main window when it leaves; a label being edited keeps it.
void focus_follows_mouse(POINT screen_point) {
    HWND under = WindowFromPoint(screen_point);
    HWND focus = GetFocus();
    HWND targets[] = {g_shell.tree, g_shell.info_list};
    for (HWND target : targets) {
        if (!target || under != target) continue;
        if (focus != target && !IsChild(target, focus)) SetFocus(target);
        return;
    }
    if (g_shell.main_window && focus && (focus == g_shell.tree || focus == g_shell.info_list))
        SetFocus(g_shell.main_window);
}

MenuConditions current_conditions() {
    MenuConditions c;
    const int active = g_shell.active_view ? 1 : 0;
    const ViewState& view = view_state(active);
    read_view_conditions(view, view_state(1 - active), &c);
    read_setting_conditions(g_shell.main_settings, &c);
    c.free = path_free_of_conversion(reinterpret_cast<const wchar_t*>(view.folder));
    c.image_window_open = image_window_running();
    c.batch_window_exists = shell_entry_points().running_batch_window() != nullptr;
    c.batch_running = shell_entry_points().conversion_running();
    return c;
}

}  // namespace

int create_menubar_toolbar(HWND rebar) {
    HWND bar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                               WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | TBSTYLE_FLAT |
                                   TBSTYLE_LIST | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER,
                               0, 0, 0, 0, rebar, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kMenuBarId)),
                               g_shell.instance, nullptr);
    g_shell.menu_toolbar = bar;
    if (!bar) return 0;
    SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(bar, TB_SETBITMAPSIZE, 0, MAKELONG(16, 16));
    // The toolbar draws no caption of its own: the custom draw does.
    static const wchar_t kEmpty[2] = {0, 0};
    const LRESULT empty = SendMessageW(bar, TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(kEmpty));
    TBBUTTON buttons[kMenuBarButtonCount] = {};
    for (int i = 0; i < kMenuBarButtonCount; ++i) {
        buttons[i].iBitmap = I_IMAGENONE;
        buttons[i].idCommand = open_menu_id(i);
        buttons[i].fsState = TBSTATE_ENABLED;
        buttons[i].fsStyle = BTNS_SHOWTEXT | BTNS_DROPDOWN;
        buttons[i].dwData = reinterpret_cast<DWORD_PTR>(kMenuBarCaptions[i]);
        buttons[i].iString = empty;
    }
    SendMessageW(bar, TB_ADDBUTTONSW, kMenuBarButtonCount, reinterpret_cast<LPARAM>(buttons));
    for (int i = 0; i < kMenuBarButtonCount; ++i) {
        TBBUTTONINFOW info = {};
        info.cbSize = sizeof info;
        info.dwMask = TBIF_SIZE;
        info.cx = static_cast<WORD>(ui_text_width(bar, kMenuBarCaptions[i]) + 8);
        SendMessageW(bar, TB_SETBUTTONINFOW, static_cast<WPARAM>(open_menu_id(i)),
                     reinterpret_cast<LPARAM>(&info));
    }
    for (int i = 0; i < kMenuBarButtonCount; ++i)
        SendMessageW(bar, TB_GETRECT, static_cast<WPARAM>(open_menu_id(i)),
                     reinterpret_cast<LPARAM>(&g_button_rects[i]));
    SIZE size = {};
    SendMessageW(bar, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&size));
    return size.cx;
}

LRESULT draw_menubar_button(NMTBCUSTOMDRAW* draw) {
    NMCUSTOMDRAW& item = draw->nmcd;
    HDC dc = item.hdc;
    const RECT& r = item.rc;
    LRESULT result = 0;
    if (item.uItemState & CDIS_HOT) {
        SelectGuard brush(dc, g_menu_drawing.light_brush.get());
        SelectGuard pen(dc, g_menu_drawing.pen_a.get());
        RoundRect(dc, r.left, r.top, r.right, r.bottom, 5, 5);
        result = TBCDRF_NOBACKGROUND;
    } else if (item.uItemState & CDIS_CHECKED) {
        SelectGuard brush(dc, g_menu_drawing.white_brush.get());
        SelectGuard pen(dc, g_menu_drawing.pen_b.get());
        RoundRect(dc, r.left, r.top, r.right, r.bottom, 5, 5);
        result = TBCDRF_NOBACKGROUND;
    }
    const wchar_t* caption = reinterpret_cast<const wchar_t*>(item.lItemlParam);
    if (caption) {
        SelectGuard font(dc, g_shell.ui_font.get());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor((item.uItemState & CDIS_DISABLED) ? COLOR_GRAYTEXT : COLOR_MENUTEXT));
        RECT text = r;
        DrawTextW(dc, caption, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    }
    return result;
}

LRESULT menu_bar_custom_draw(NMHDR* header) {
    NMTBCUSTOMDRAW* draw = reinterpret_cast<NMTBCUSTOMDRAW*>(header);
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) return draw_menubar_button(draw);
    return CDRF_DODEFAULT;
}

void show_menubar_popup(int position) {
    if (position < 0 || position >= kMenuBarPopupCount || !g_menus.popup[position]) return;
    RECT r = g_button_rects[position];
    POINT corner = {r.left, r.bottom};
    if (g_shell.menu_toolbar) ClientToScreen(g_shell.menu_toolbar, &corner);
    g_tracked = position;
    g_menu_filter = SetWindowsHookExW(WH_MSGFILTER, menu_filter, nullptr, GetCurrentThreadId());
    TrackPopupMenuEx(g_menus.popup[position], TPM_NOANIMATION, corner.x, corner.y, g_shell.main_window,
                     nullptr);
    if (g_menu_filter) UnhookWindowsHookEx(g_menu_filter);
    g_menu_filter = nullptr;
    g_tracked = -1;
    set_menu_bar_hot(-1);
    g_shell.menu_keyboard_mode = false;
}

void open_menu_bar_menu(int index) {
    if (index < 0 || index >= kMenuBarPopupCount) return;
    g_shell.open_menu = open_menu_id(index);
    show_menubar_popup(index);
}

void set_menu_bar_hot(int index) {
    g_hot_without_bar = index;
    if (g_shell.menu_toolbar)
        SendMessageW(g_shell.menu_toolbar, TB_SETHOTITEM, static_cast<WPARAM>(index), 0);
}

int menu_bar_hot() {
    if (!g_shell.menu_toolbar) return g_hot_without_bar;
    return static_cast<int>(SendMessageW(g_shell.menu_toolbar, TB_GETHOTITEM, 0, 0));
}

void show_thumbnail_menu(POINT screen_point) {
    HMENU popup = g_menus.popup[kPopupThumbnail];
    if (!popup) return;
    g_shell.open_menu = 7700;
    TrackPopupMenuEx(popup, TPM_NOANIMATION, screen_point.x, screen_point.y, g_shell.main_window, nullptr);
}

bool menubar_mouse_move(POINT screen_point) {
    const int open = g_shell.open_menu;
    if (open == -1) {
        focus_follows_mouse(screen_point);
        return false;
    }
    if (open < kMenuBarFirstButton || open > open_menu_id(kMenuBarButtonCount - 1) || !g_shell.menu_toolbar)
        return false;
    POINT p = screen_point;
    ScreenToClient(g_shell.menu_toolbar, &p);
    if (p.y < g_button_rects[0].top || p.y >= g_button_rects[0].bottom) return false;
    const int open_index = (open - kMenuBarFirstButton) / kMenuBarButtonStep;
    for (int i = 0; i < kMenuBarButtonCount; ++i) {
        if (i == open_index || p.x < g_button_rects[i].left || p.x >= g_button_rects[i].right) continue;
        EndMenu();
        PostMessageW(g_shell.main_window, kAppMessage, kMainClickHotButton, 0);
        return true;
    }
    return false;
}

bool menu_bar_track_mouse(const MOUSEHOOKSTRUCT* info) {
    return info && menubar_mouse_move(info->pt);
}

void clear_menu_bar_hover() {}

void update_menu_states(HMENU popup) {
    const int position = popup_position(popup);
    if (position < 0) return;
    const MenuStateRows rows = menu_state_rows();
    bool any = false;
    for (int i = 0; i < rows.count && !any; ++i) any = (rows.rows[i].popups & (1u << position)) != 0;
    if (any) {
        const MenuConditions conditions = current_conditions();
        for (int i = 0; i < rows.count; ++i) {
            const MenuStateRow& row = rows.rows[i];
            if (!(row.popups & (1u << position))) continue;
            MENUITEMINFOW info = {};
            info.cbSize = sizeof info;
            info.fMask = MIIM_STATE;
            info.fState = menu_item_state(row.condition, conditions);
            SetMenuItemInfoW(popup, row.id, FALSE, &info);
        }
    }
    const int count = GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        const UINT id = GetMenuItemID(popup, i);
        if (id != UINT(-1) && !main_command_available(int(id)))
            EnableMenuItem(popup, UINT(i), MF_BYPOSITION | MF_GRAYED);
    }
}

void init_menu_popup(HMENU menu) {
    update_menu_states(menu);
}
