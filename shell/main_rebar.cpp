// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>
// clang-format on

#include "shell/main_rebar.h"

#include <string>

#include "common/win/process_lock.h"
#include "shell/core/menu_rules.h"
#include "shell/entry_points.h"
#include "shell/launch.h"
#include "shell/main_menus.h"
#include "shell/main_menus_internal.h"
#include "shell/settings_win.h"
#include "shell/shell_ids.h"
#include "shell/shell_state.h"

namespace {

constexpr COLORREF kBarColour = RGB(236, 236, 240);
constexpr int kBandHeight = 24;

HWND g_toolbar = nullptr;
HWND g_button_tips = nullptr;
HWND g_list_tips = nullptr;
WNDPROC g_toolbar_default = nullptr;

const wchar_t* w(const char16_t* s) {
    return reinterpret_cast<const wchar_t*>(s);
}
const wchar_t* w(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

HWND create_tooltip(HWND owner) {
    HWND tip =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, g_shell.instance, nullptr);
    if (!tip) return nullptr;
    SendMessageW(tip, TTM_SETDELAYTIME, TTDT_INITIAL, 300);
    SendMessageW(tip, TTM_SETTIPBKCOLOR, RGB(255, 255, 255), 0);
    return tip;
}

void insert_band(HWND rebar, HWND child, int width, UINT id) {
    REBARBANDINFOW band = {};
    band.cbSize = REBARBANDINFOW_V6_SIZE;
    band.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_ID | RBBIM_HEADERSIZE;
    band.fStyle = RBBS_CHILDEDGE | RBBS_NOGRIPPER;
    band.hwndChild = child;
    band.cxMinChild = static_cast<UINT>(width);
    band.cyMinChild = kBandHeight;
    band.cx = static_cast<UINT>(width + 14);
    band.cxHeader = 3;
    band.wID = id;
    SendMessageW(rebar, RB_INSERTBANDW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&band));
}

HWND create_list(HWND toolbar, int id, int x, int width) {
    HWND list = CreateWindowExW(
        0, WC_COMBOBOXW, nullptr, WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST, x, 1, width, 400,
        toolbar, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_shell.instance, nullptr);
    if (!list) return nullptr;
    SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(g_shell.ui_font.get()), FALSE);
    SendMessageW(list, CB_SETEXTENDEDUI, TRUE, 0);
    return list;
}

void add_list_tip(HWND toolbar, HWND list, const wchar_t* text) {
    if (!g_list_tips || !list) return;
    TOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = toolbar;
    tool.uId = reinterpret_cast<UINT_PTR>(list);
    tool.lpszText = const_cast<wchar_t*>(text);
    SendMessageW(g_list_tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

SizePreset current_box() {
    return SizePreset{g_shell.main_settings.thumb_width, g_shell.main_settings.thumb_height};
}

void replace_entry(HWND list, int entry, const std::u16string& text) {
    SendMessageW(list, CB_DELETESTRING, static_cast<WPARAM>(entry), 0);
    SendMessageW(list, CB_INSERTSTRING, static_cast<WPARAM>(entry), reinterpret_cast<LPARAM>(w(text)));
}

void back_to_entry_zero(HWND list) {
    SendMessageW(list, CB_SETCURSEL, 0, 0);
    if (g_shell.main_window) SetFocus(g_shell.main_window);
}

}  // namespace

void create_rebar(HWND main_window) {
    g_button_tips = create_tooltip(main_window);
    g_list_tips = create_tooltip(main_window);
    HWND rebar = CreateWindowExW(
        WS_EX_TOOLWINDOW, REBARCLASSNAMEW, nullptr,
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_BORDER | RBS_VARHEIGHT |
            RBS_BANDBORDERS | RBS_FIXEDORDER | RBS_DBLCLKTOGGLE | CCS_NODIVIDER,
        0, 0, 0, 0, main_window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kRebarId)), g_shell.instance,
        nullptr);
    g_shell.rebar = rebar;
    if (!rebar) return;
    SendMessageW(rebar, WM_SETFONT, reinterpret_cast<WPARAM>(g_shell.ui_font.get()), FALSE);
    SetWindowTheme(rebar, L"", L"");
    SendMessageW(rebar, RB_SETBKCOLOR, 0, kBarColour);
    REBARINFO info = {};
    info.cbSize = sizeof info;
    SendMessageW(rebar, RB_SETBARINFO, 0, reinterpret_cast<LPARAM>(&info));
    const int menu_width = create_menubar_toolbar(rebar);
    insert_band(rebar, g_shell.menu_toolbar, menu_width, kMenuBarId);
    const int toolbar_width = create_main_toolbar(rebar);
    insert_band(rebar, g_toolbar, toolbar_width, kMainToolbarId);
    update_toolbar_checks();
}

int create_main_toolbar(HWND rebar) {
    HWND bar = CreateWindowExW(
        0, TOOLBARCLASSNAMEW, nullptr,
        WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER, 0, 0, 0, 0,
        rebar, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kMainToolbarId)), g_shell.instance, nullptr);
    g_toolbar = bar;
    if (!bar) return 0;
    SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(bar, TB_SETBITMAPSIZE, 0, MAKELONG(16, 16));
    TBADDBITMAP bitmap = {g_shell.instance, kToolbarBitmapId};
    const LRESULT added =
        SendMessageW(bar, TB_ADDBITMAP, kToolbarImageCount, reinterpret_cast<LPARAM>(&bitmap));
    const int first = added < 0 ? 0 : static_cast<int>(added);
    TBBUTTON buttons[kToolbarButtonCount] = {};
    const ToolbarButton* table = toolbar_buttons();
    for (int i = 0; i < kToolbarButtonCount; ++i) {
        const ToolbarButton& b = table[i];
        TBBUTTON& t = buttons[i];
        t.idCommand = b.id;
        t.fsState = main_command_available(b.id) ? TBSTATE_ENABLED : 0;
        switch (b.kind) {
            case ToolbarButtonKind::check: t.fsStyle = BTNS_CHECK; break;
            case ToolbarButtonKind::group: t.fsStyle = BTNS_CHECKGROUP; break;
            case ToolbarButtonKind::button: t.fsStyle = BTNS_BUTTON; break;
            case ToolbarButtonKind::separator: t.fsStyle = BTNS_SEP; break;
        }
        t.iBitmap = b.image < 0 ? 0 : first + b.image;
        t.iString = -1;
    }
    SendMessageW(bar, TB_ADDBUTTONSW, kToolbarButtonCount, reinterpret_cast<LPARAM>(buttons));
    g_toolbar_default = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(main_toolbar_proc)));
    SIZE size = {};
    SendMessageW(bar, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&size));
    const int width = size.cx;

    HWND sizes = create_list(bar, kSizeListId, width + 6, 70);
    const SizePreset box = current_box();
    for (int i = 0; sizes && i <= kSizeRegisterEntry; ++i) {
        const std::u16string text = size_list_entry_text(i, box, g_shell.main_settings.presets);
        SendMessageW(sizes, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w(text)));
    }
    if (sizes) SendMessageW(sizes, CB_SETCURSEL, 0, 0);
    HWND filter = create_list(bar, kFilterListId, width + 6 + 78, 54);
    for (int i = 0; filter && i < kFilterCount; ++i)
        SendMessageW(filter, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w(filter_entry_text(i))));
    if (filter) SendMessageW(filter, CB_SETCURSEL, static_cast<WPARAM>(g_shell.filter_index), 0);
    add_list_tip(bar, sizes, w(kSizeListTip));
    add_list_tip(bar, filter, w(kFilterListTip));
    set_toolbar_tooltips(TTM_ADDTOOLW);
    if (g_button_tips) SendMessageW(bar, TB_SETTOOLTIPS, reinterpret_cast<WPARAM>(g_button_tips), 0);
    return width + 6 + 78 + 54;
}

HWND main_toolbar_window() {
    return g_toolbar;
}

void set_toolbar_tooltips(UINT message) {
    if (!g_button_tips || !g_toolbar) return;
    const ToolbarButton* table = toolbar_buttons();
    for (int i = 0; i < kToolbarButtonCount; ++i) {
        const ToolbarButton& b = table[i];
        if (b.kind == ToolbarButtonKind::separator) continue;
        const std::u16string text = toolbar_tip_text(b, g_menus.keys);
        TOOLINFOW tool = {};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.uFlags = TTF_SUBCLASS;
        tool.hwnd = g_toolbar;
        tool.uId = b.id;
        SendMessageW(g_toolbar, TB_GETRECT, b.id, reinterpret_cast<LPARAM>(&tool.rect));
        tool.lpszText = const_cast<wchar_t*>(w(text));
        SendMessageW(g_button_tips, message, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void update_toolbar_checks() {
    if (!g_toolbar) return;
    const MainSettings& s = g_shell.main_settings;
    struct Toggle {
        int id;
        bool on;
    } const toggles[] = {{7110, s.tree_auto_show != 0}, {7111, s.info_list_shown != 0},
                         {7121, s.view_layout == 0},    {7122, s.view_layout == 1},
                         {7123, s.view_layout == 2},    {7130, s.preview_enabled != 0},
                         {7140, s.captions_shown != 0}};
    for (const Toggle& t : toggles)
        SendMessageW(g_toolbar, TB_SETSTATE, static_cast<WPARAM>(t.id),
                     MAKELONG(TBSTATE_ENABLED | (t.on ? TBSTATE_CHECKED : 0), 0));
}

LRESULT CALLBACK main_toolbar_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    switch (message) {
        case WM_CTLCOLORSTATIC:
            SetBkMode(reinterpret_cast<HDC>(wparam), OPAQUE);
            SetBkColor(reinterpret_cast<HDC>(wparam), kBarColour);
            return reinterpret_cast<LRESULT>(g_menu_drawing.bar_brush.get());
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            if (g_shell.main_window) SetFocus(g_shell.main_window);
            break;
        default: break;
    }
    if (!g_toolbar_default) return DefWindowProcW(window, message, wparam, lparam);
    return CallWindowProcW(g_toolbar_default, window, message, wparam, lparam);
}

void size_preset_selected(HWND list) {
    const int entry = static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0));
    SizePreset box = current_box();
    MainSettings& s = g_shell.main_settings;
    switch (choose_size_entry(entry, &box, s.presets)) {
        case SizeChoice::nothing: return;
        case SizeChoice::open_dialog:
            back_to_entry_zero(list);
            DialogBoxParamW(g_shell.instance, MAKEINTRESOURCEW(kSizePresetsDialogId), g_shell.main_window,
                            size_presets_dialog_proc, reinterpret_cast<LPARAM>(list));
            return;
        case SizeChoice::same_size: back_to_entry_zero(list); return;
        case SizeChoice::apply_preset: {
            s.thumb_width = box.width;
            s.thumb_height = box.height;
            {
                ProcessLockGuard hold;
                publish_thumbnail_box();
            }
            replace_entry(list, 0, size_text(box.width, box.height));
            back_to_entry_zero(list);
            const int active = g_shell.active_view ? 1 : 0;
            open_view_folder(0, active);
            open_view_folder(0, 1 - active);
            return;
        }
        case SizeChoice::store_current:
            replace_entry(list, entry, preset_entry_text(entry - 1, s.presets[entry - 1]));
            back_to_entry_zero(list);
            return;
    }
}

void init_size_presets_dialog(HWND dialog, HWND list) {
    SetWindowTextW(dialog, w(kSizePresetsCaption));
    for (int i = 0; i < kSizePresetCount; ++i) {
        const SizePreset& p = g_shell.main_settings.presets[i];
        HWND width = GetDlgItem(dialog, kSizePresetsFirstWidthId + i);
        HWND height = GetDlgItem(dialog, kSizePresetsFirstHeightId + i);
        if (p.width) SetDlgItemInt(dialog, kSizePresetsFirstWidthId + i, static_cast<UINT>(p.width), FALSE);
        if (p.height)
            SetDlgItemInt(dialog, kSizePresetsFirstHeightId + i, static_cast<UINT>(p.height), FALSE);
        SendMessageW(width, EM_LIMITTEXT, 3, 0);
        SendMessageW(height, EM_LIMITTEXT, 3, 0);
    }
    RECT r = {};
    if (list && GetWindowRect(list, &r))
        SetWindowPos(dialog, nullptr, r.left, r.bottom, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void apply_size_presets_dialog(HWND dialog, int command) {
    if (command == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return;
    }
    if (command != IDOK) return;
    HWND list = reinterpret_cast<HWND>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    for (int i = 1; i <= kSizePresetCount; ++i) {
        const UINT width = GetDlgItemInt(dialog, kSizePresetsFirstWidthId + i - 1, nullptr, FALSE);
        const UINT height = GetDlgItemInt(dialog, kSizePresetsFirstHeightId + i - 1, nullptr, FALSE);
        SizePreset& preset = g_shell.main_settings.presets[i - 1];
        preset = preset_from_row(width, height);
        if (list) replace_entry(list, i, preset_entry_text(i - 1, preset));
    }
    if (list) SendMessageW(list, CB_SETCURSEL, 0, 0);
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK size_presets_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(dialog, GWLP_USERDATA, lparam);
            init_size_presets_dialog(dialog, reinterpret_cast<HWND>(lparam));
            return TRUE;
        case WM_COMMAND: apply_size_presets_dialog(dialog, LOWORD(wparam)); return TRUE;
        default: return FALSE;
    }
}
