#include "imagewin/edit_bars.h"

#include <commdlg.h>
#include <uxtheme.h>

#include <string>

#include "common/win/app_messages.h"
#include "imagewin/core/command_labels.h"
#include "imagewin/core/edit_window_rules.h"
#include "imagewin/core/save_settings.h"
#include "imagewin/edit_commands.h"
#include "imagewin/edit_menus.h"
#include "imagewin/edit_panes.h"
#include "imagewin/edit_tool_host.h"
#include "imagewin/edit_window.h"
#include "imagewin/edit_window_record.h"
#include "imagewin/image_windows.h"
#include "imagewin/save_window_seam.h"
#include "shell/main_menus.h"
#include "shell/shell_state.h"

namespace {

constexpr COLORREF kBarColour = RGB(236, 236, 240);
constexpr int kSeparatorId = 9910;

EditBars& bars() {
    return g_edit_window.bars;
}

const wchar_t* wide(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}

HWND control(int id) {
    for (HWND bar : {bars().zoom_bar, bars().save_bar})
        if (bar)
            if (HWND child = GetDlgItem(bar, id)) return child;
    return nullptr;
}

struct Button {
    int id;
    int image;  // I_IMAGENONE for text and placeholders
    BYTE style;
    int width;  // placeholders
};

HWND make_toolbar(HWND parent, int id, int bitmap, int bitmap_images, const Button* buttons, int count,
                  DWORD extra_style) {
    HWND bar =
        CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                        WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER |
                            CCS_NOPARENTALIGN | CCS_NORESIZE | extra_style,
                        0, 0, 0, 0, parent, reinterpret_cast<HMENU>(INT_PTR(id)), g_shell.instance, nullptr);
    if (!bar) return nullptr;
    SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(bar, TB_SETBITMAPSIZE, 0, MAKELPARAM(16, 16));
    if (bars().tips) SendMessageW(bar, TB_SETTOOLTIPS, WPARAM(bars().tips), 0);
    TBADDBITMAP add = {g_shell.instance, UINT_PTR(bitmap)};
    SendMessageW(bar, TB_ADDBITMAP, WPARAM(bitmap_images), LPARAM(&add));
    for (int i = 0; i < count; ++i) {
        TBBUTTON b = {};
        b.iBitmap = buttons[i].image;
        b.idCommand = buttons[i].id;
        b.fsState = TBSTATE_ENABLED;
        b.fsStyle = buttons[i].style;
        if (buttons[i].style == BTNS_SEP) b.iBitmap = buttons[i].width;
        SendMessageW(bar, TB_ADDBUTTONSW, 1, LPARAM(&b));
    }
    return bar;
}

SIZE toolbar_size(HWND bar) {
    SIZE size = {};
    SendMessageW(bar, TB_GETMAXSIZE, 0, LPARAM(&size));
    return size;
}

RECT button_rect(HWND bar, int id) {
    RECT r = {};
    SendMessageW(bar, TB_GETRECT, WPARAM(id), LPARAM(&r));
    return r;
}

void add_control_tip(HWND window, const wchar_t* text) {
    if (!bars().control_tips || !window) return;
    TOOLINFOW info = {};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = GetParent(window);
    info.uId = UINT_PTR(window);
    info.lpszText = const_cast<wchar_t*>(text);
    SendMessageW(bars().control_tips, TTM_ADDTOOLW, 0, LPARAM(&info));
}

HWND child(HWND parent, const wchar_t* cls, DWORD style, DWORD ex_style, int x, int y, int w, int h, int id,
           const wchar_t* text = nullptr) {
    HWND window = CreateWindowExW(ex_style, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                                  reinterpret_cast<HMENU>(INT_PTR(id)), g_shell.instance, nullptr);
    if (window) SendMessageW(window, WM_SETFONT, WPARAM(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    return window;
}

void set_text(int id, const std::u16string& text) {
    EditToolHost& host = g_edit_tool;
    const bool live = host.controls_live;
    host.controls_live = false;
    if (HWND window = control(id)) SetWindowTextW(window, wide(text.c_str()));
    host.controls_live = live;
}

int32_t field_value(int id) {
    wchar_t text[16] = {};
    if (HWND window = control(id)) GetWindowTextW(window, text, 16);
    return int32_t(wcstol(text, nullptr, 10));
}

void add_band(HWND child_window, int id, UINT style, int min_width, int width, const wchar_t* caption) {
    REBARBANDINFOW band = {};
    band.cbSize = sizeof band;
    band.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_ID | RBBIM_HEADERSIZE |
                 (caption ? RBBIM_TEXT : 0);
    band.fStyle = style;
    band.hwndChild = child_window;
    band.cxMinChild = UINT(min_width);
    band.cyMinChild = 24;
    band.cx = UINT(width);
    band.wID = UINT(id);
    band.cxHeader = caption ? 0 : 3;
    band.lpText = const_cast<wchar_t*>(caption);
    SendMessageW(bars().rebar, RB_INSERTBANDW, WPARAM(-1), LPARAM(&band));
}

void set_band_child(HWND window, const wchar_t* caption) {
    if (!bars().rebar) return;
    const int index = int(SendMessageW(bars().rebar, RB_IDTOINDEX, kOptionBandId, 0));
    if (index < 0) return;
    REBARBANDINFOW band = {};
    band.cbSize = sizeof band;
    band.fMask = RBBIM_CHILD | RBBIM_TEXT | RBBIM_CHILDSIZE;
    band.hwndChild = window;
    band.lpText = const_cast<wchar_t*>(caption);
    band.cxMinChild = 780;
    band.cyMinChild = 24;
    SendMessageW(bars().rebar, RB_SETBANDINFOW, WPARAM(index), LPARAM(&band));
    if (window) {
        // Some rebars keep a new child at the size it was made with (none): it is placed in the
        // band here.
        RECT area = {}, borders = {};
        SendMessageW(bars().rebar, RB_GETRECT, WPARAM(index), LPARAM(&area));
        SendMessageW(bars().rebar, RB_GETBANDBORDERS, WPARAM(index), LPARAM(&borders));
        const int left = area.left + borders.left, top = area.top + borders.top;
        const int width = area.right - borders.right - left, height = area.bottom - borders.bottom - top;
        if (width > 0 && height > 0)
            SetWindowPos(window, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        ShowWindow(window, SW_SHOWNA);
    }
    InvalidateRect(bars().rebar, nullptr, TRUE);
}

LRESULT colour_static(WPARAM wparam) {
    HDC dc = reinterpret_cast<HDC>(wparam);
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, kBarColour);
    return LRESULT(bars().bar_brush.get());
}

LRESULT CALLBACK tool_tab_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    if (message == WM_RBUTTONDOWN) return 0;
    return CallWindowProcW(bars().tool_tab_proc, window, message, wparam, lparam);
}

LRESULT CALLBACK zoom_track_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    if (message == WM_RBUTTONUP && edit_image_loaded()) {
        POINT at = {int16_t(LOWORD(lparam)), int16_t(HIWORD(lparam))};
        ClientToScreen(window, &at);
        show_edit_zoom_menu(at);
        return 1;
    }
    return CallWindowProcW(bars().zoom_track_proc, window, message, wparam, lparam);
}

LRESULT CALLBACK zoom_bar_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wparam) == kZoomEditId) edit_bars_command(kZoomEditId, HIWORD(wparam));
            break;
        case WM_HSCROLL:
            if (reinterpret_cast<HWND>(lparam) == control(kZoomTrackId)) {
                on_zoom_trackbar(LOWORD(wparam), int16_t(HIWORD(wparam)));
                return 0;
            }
            break;
        case WM_RBUTTONDOWN: return 0;
        case WM_CTLCOLORSTATIC: return colour_static(wparam);
        default: break;
    }
    return CallWindowProcW(bars().zoom_bar_proc, window, message, wparam, lparam);
}

LRESULT CALLBACK save_bar_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    switch (message) {
        case WM_COMMAND:
            // The bar's own controls sit on the toolbar: their notifications go on to the frame.
            if (lparam && GetParent(reinterpret_cast<HWND>(lparam)) == window) {
                SendMessageW(bars().frame, WM_COMMAND, wparam, lparam);
                return 0;
            }
            break;
        case WM_RBUTTONDOWN: return 0;
        case WM_CTLCOLORSTATIC: return colour_static(wparam);
        default: break;
    }
    return CallWindowProcW(bars().save_bar_proc, window, message, wparam, lparam);
}

void fill_combo(HWND combo, const char16_t* const* items, int count, int selection) {
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < count; ++i) SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(wide(items[i])));
    SendMessageW(combo, CB_SETCURSEL, WPARAM(selection), 0);
}

void create_save_bar() {
    const Button buttons[] = {
        {8600, 0, BTNS_CHECK, 0},       {kSeparatorId, 0, BTNS_SEP, 6}, {8330, 1, BTNS_BUTTON, 0},
        {9930, 0, BTNS_SEP, 6},         {9940, 0, BTNS_SEP, 110},       {9931, 0, BTNS_SEP, 6},
        {8610, 3, BTNS_CHECK, 0},       {9941, 0, BTNS_SEP, 21},        {9932, 0, BTNS_SEP, 6},
        {8630, 2, BTNS_CHECK, 0},       {9933, 0, BTNS_SEP, 6},         {8620, 4, BTNS_CHECK, 0},
        {9942, 0, BTNS_SEP, 38},        {8640, 6, BTNS_CHECKGROUP, 0},  {8641, 7, BTNS_CHECKGROUP, 0},
        {8642, 8, BTNS_CHECKGROUP, 0},  {8650, 9, BTNS_CHECKGROUP, 0},  {8651, 10, BTNS_CHECKGROUP, 0},
        {8652, 11, BTNS_CHECKGROUP, 0}, {9934, 0, BTNS_SEP, 6},         {8631, 5, BTNS_CHECK, 0},
        {9935, 0, BTNS_SEP, 6},         {8670, 13, BTNS_CHECK, 0},      {8660, 12, BTNS_CHECK, 0},
        {9936, 0, BTNS_SEP, 6},
    };
    bars().save_bar = make_toolbar(bars().rebar, kSaveBarId, 162, 16, buttons, int(std::size(buttons)), 0);
    if (!bars().save_bar) return;
    SendMessageW(bars().save_bar, TB_SETINDENT, 213, 0);
    const DWORD combo_style = WS_VSCROLL | CBS_DROPDOWNLIST;
    HWND format = child(bars().save_bar, WC_COMBOBOXW, combo_style, 0, 0, 1, 100, 200, kFormatComboId);
    HWND depth = child(bars().save_bar, WC_COMBOBOXW, combo_style, 0, 104, 1, 105, 200, kBitDepthComboId);
    SendMessageW(format, CB_SETEXTENDEDUI, TRUE, 0);
    SendMessageW(depth, CB_SETEXTENDEDUI, TRUE, 0);
    const RECT slot = button_rect(bars().save_bar, 9940);
    const RECT gamma_slot = button_rect(bars().save_bar, 9942);
    const RECT gamma_button = button_rect(bars().save_bar, 8620);
    HWND level =
        child(bars().save_bar, WC_EDITW, ES_NUMBER, WS_EX_CLIENTEDGE, slot.left, 2, 36, 18, kPngLevelId);
    SendMessageW(level, EM_LIMITTEXT, 1, 0);
    HWND level_arrows = child(bars().save_bar, UPDOWN_CLASSW,
                              UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS, 0, 0, 0, 0, 0, 743);
    SendMessageW(level_arrows, UDM_SETBUDDY, WPARAM(level), 0);
    SendMessageW(level_arrows, UDM_SETRANGE32, 0, 9);
    HWND filter =
        child(bars().save_bar, WC_COMBOBOXW, combo_style, 0, slot.left + 40, 1, 70, 200, kPngFilterId);
    static const char16_t* const kFilters[] = {u"Auto", u"None", u"Sub", u"Up", u"Average", u"Paeth"};
    fill_combo(filter, kFilters, 6, g_edit_state.save.png_filter);
    HWND quality =
        child(bars().save_bar, WC_EDITW, ES_NUMBER, WS_EX_CLIENTEDGE, slot.left, 2, 45, 18, kJpegQualityId);
    HWND quality_arrows = child(bars().save_bar, UPDOWN_CLASSW,
                                UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS, 0, 0, 0, 0, 0, 746);
    SendMessageW(quality_arrows, UDM_SETBUDDY, WPARAM(quality), 0);
    SendMessageW(quality_arrows, UDM_SETRANGE32, 1, 100);
    if (HWND colour_box = child(bars().save_bar, L"Pexaron_cbox_class", 0, 0,
                                button_rect(bars().save_bar, 9941).left + 1, 3, 18, 18, kColourBoxId))
        SetWindowLongPtrW(colour_box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(colour_box_proc));
    child(bars().save_bar, WC_EDITW, ES_RIGHT, WS_EX_CLIENTEDGE, gamma_slot.left + 2, 2, 35, 18,
          kGammaEditId);
    HWND box = child(bars().save_bar, WC_BUTTONW, BS_AUTOCHECKBOX, 0, gamma_button.left, 4, 75, 16,
                     kSizeLimitBoxId, L"サイズ指定");
    HWND size = child(bars().save_bar, WC_EDITW, ES_NUMBER, WS_EX_CLIENTEDGE, gamma_button.left + 76, 2, 52,
                      18, kSizeLimitEditId);
    HWND size_arrows = child(bars().save_bar, UPDOWN_CLASSW, UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS,
                             0, 0, 0, 0, 0, 749);
    SendMessageW(size_arrows, UDM_SETBUDDY, WPARAM(size), 0);
    SendMessageW(size_arrows, UDM_SETRANGE32, 1, 32767);
    child(bars().save_bar, WC_STATICW, 0, 0, gamma_button.left + 130, 4, 50, 16, 750, L"KB 以下");
    const SaveSettings& save = g_edit_state.save;
    set_text(kPngLevelId, std::u16string(1, char16_t(u'0' + commit_png_level(save.png_compression))));
    set_text(kJpegQualityId, std::u16string(reinterpret_cast<const char16_t*>(
                                 std::to_wstring(commit_jpeg_quality(save.jpeg_quality)).c_str())));
    set_text(kSizeLimitEditId, std::u16string(reinterpret_cast<const char16_t*>(
                                   std::to_wstring(commit_size_limit(save.jpeg_size_limit_kb)).c_str())));
    set_text(kGammaEditId, gamma_text(save.gamma));
    SendMessageW(box, BM_SETCHECK, save.jpeg_size_limit_on ? BST_CHECKED : BST_UNCHECKED, 0);
    add_control_tip(format, L"保存ファイル形式");
    add_control_tip(depth, L"ビット深度");
    add_control_tip(control(kGammaEditId), L"ガンマ補正値");
    add_control_tip(control(kColourBoxId), L"透過色/選択");
    add_control_tip(level, L"圧縮レベル");
    add_control_tip(filter, L"フィルター");
    bars().save_bar_proc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(bars().save_bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(save_bar_proc)));
}

void create_zoom_bar() {
    const Button buttons[] = {
        {8220, 19, BTNS_CHECK, 0},      {kSeparatorId, 0, BTNS_SEP, 6}, {8230, 20, BTNS_CHECKGROUP, 0},
        {8231, 21, BTNS_CHECKGROUP, 0}, {8232, 22, BTNS_CHECKGROUP, 0}, {kSeparatorId, 0, BTNS_SEP, 6},
        {8150, 23, BTNS_CHECK, 0},      {kSeparatorId, 0, BTNS_SEP, 6}, {8111, 3, BTNS_BUTTON, 0},
        {8112, 4, BTNS_BUTTON, 0},      {9920, 0, BTNS_SEP, 239},
    };
    bars().zoom_bar = make_toolbar(bars().rebar, kZoomBarId, 161, 25, buttons, int(std::size(buttons)), 0);
    if (!bars().zoom_bar) return;
    const RECT slot = button_rect(bars().zoom_bar, 9920);
    HWND track = child(bars().zoom_bar, TRACKBAR_CLASSW, TBS_BOTH | TBS_NOTICKS | TBS_FIXEDLENGTH,
                       WS_EX_STATICEDGE, slot.left + 3, 1, 185, 21, kZoomTrackId);
    SendMessageW(track, TBM_SETTHUMBLENGTH, 14, 0);
    SendMessageW(track, TBM_SETRANGE, FALSE, MAKELPARAM(0, kZoomTrackMax));
    SendMessageW(track, TBM_SETPAGESIZE, 0, 10);
    HWND edit = child(bars().zoom_bar, WC_EDITW, ES_NUMBER | ES_RIGHT, WS_EX_CLIENTEDGE, slot.left + 189, 2,
                      50, 18, kZoomEditId);
    SendMessageW(edit, EM_LIMITTEXT, 4, 0);
    HWND arrows = child(bars().zoom_bar, UPDOWN_CLASSW,
                        UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0, 0, 0, 0, 0,
                        kZoomUpDownId);
    SendMessageW(arrows, UDM_SETBUDDY, WPARAM(edit), 0);
    SendMessageW(arrows, UDM_SETRANGE32, kZoomPercentMin, kZoomPercentMax);
    set_text(kZoomEditId, u"100");
    set_zoom_trackbar(100);
    add_control_tip(track, L"表示倍率/右クリックでメニュー表示");
    bars().zoom_track_proc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(track, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(zoom_track_proc)));
    add_control_tip(edit, L"表示倍率");
    bars().zoom_bar_proc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(bars().zoom_bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(zoom_bar_proc)));
}

// Taken once every button is in: a text button's width moves the ones after it.
void store_tool_group_rects() {
    for (int32_t i = 0; i < kToolGroupCount; ++i) {
        const RECT r = button_rect(bars().tool_tab, kToolGroupIds[i]);
        bars().group_rects[i] = {int32_t(r.left), int32_t(r.top), int32_t(r.right), int32_t(r.bottom)};
    }
}

void create_tool_tab_bar() {
    const Button buttons[] = {
        {8000, 0, BTNS_BUTTON, 0},      {kSeparatorId, 0, BTNS_SEP, 6}, {8031, 16, BTNS_BUTTON, 0},
        {kSeparatorId, 0, BTNS_SEP, 6}, {8401, 17, BTNS_BUTTON, 0},     {8402, 18, BTNS_BUTTON, 0},
        {kSeparatorId, 0, BTNS_SEP, 6},
    };
    bars().tool_tab = make_toolbar(bars().rebar, kToolTabBarId, 161, 25, buttons, int(std::size(buttons)),
                                   TBSTYLE_LIST | WS_CLIPCHILDREN);
    if (!bars().tool_tab) return;
    // No separate arrow: a press anywhere on a group button drops its popup down.
    SendMessageW(bars().tool_tab, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_MIXEDBUTTONS);
    static const struct {
        int id;
        const wchar_t* text;
    } groups[] = {{8400, L"編集"}, {8410, L"変形"}, {8420, L"補正"}, {8440, L"加工"}};
    for (int i = 0; i < 4; ++i) {
        TBBUTTON b = {};
        b.iBitmap = I_IMAGENONE;
        b.idCommand = groups[i].id;
        b.fsState = TBSTATE_ENABLED;
        b.fsStyle = BTNS_SHOWTEXT | BTNS_DROPDOWN | BTNS_AUTOSIZE;
        b.iString = INT_PTR(groups[i].text);
        SendMessageW(bars().tool_tab, TB_ADDBUTTONSW, 1, LPARAM(&b));
    }
    store_tool_group_rects();
    bars().tool_tab_proc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(bars().tool_tab, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(tool_tab_proc)));
}

void add_button_tips() {
    for (HWND bar : {bars().tool_tab, bars().zoom_bar, bars().save_bar, bars().option_bar}) {
        if (!bar) continue;
        const int count = int(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            TBBUTTON b = {};
            SendMessageW(bar, TB_GETBUTTON, WPARAM(i), LPARAM(&b));
            if (b.fsStyle & BTNS_SEP) continue;
            const char16_t* text = save_option_tooltip(uint16_t(b.idCommand));
            std::u16string label;
            if (!text) {
                if (const CommandLabel* found =
                        find_command_label(image_command_labels(), uint16_t(b.idCommand)))
                    label = command_tooltip(*found);
                else if (const char16_t* plain = command_text(uint16_t(b.idCommand)))
                    label = plain;
                if (b.idCommand == 8330) label = u"保存プレビュー";
                if (b.idCommand == 9000) label = u"確定";
                if (b.idCommand == 9001) label = u"中止";
                text = label.c_str();
            }
            TOOLINFOW info = {};
            info.cbSize = TTTOOLINFOW_V2_SIZE;
            info.hwnd = bar;
            info.uId = UINT_PTR(b.idCommand);
            info.lpszText = const_cast<wchar_t*>(wide(text));
            SendMessageW(bar, TB_GETRECT, WPARAM(b.idCommand), LPARAM(&info.rect));
            SendMessageW(bars().tips, TTM_DELTOOLW, 0, LPARAM(&info));
            SendMessageW(bars().tips, TTM_ADDTOOLW, 0, LPARAM(&info));
        }
    }
}

void set_state(HWND bar, int id, uint8_t state) {
    if (bar) SendMessageW(bar, TB_SETSTATE, WPARAM(id), MAKELPARAM(state, 0));
}

void show_control(int id, bool shown, bool enabled = true) {
    if (HWND window = control(id)) {
        ShowWindow(window, shown ? SW_SHOWNA : SW_HIDE);
        EnableWindow(window, enabled ? TRUE : FALSE);
    }
}

}  // namespace

void create_edit_bars(HWND frame) {
    bars().frame = frame;
    INITCOMMONCONTROLSEX init = {
        sizeof init, ICC_BAR_CLASSES | ICC_COOL_CLASSES | ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&init);
    bars().bar_brush.reset(CreateSolidBrush(kBarColour));
    for (HWND* tips : {&bars().tips, &bars().control_tips}) {
        *tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0,
                                frame, nullptr, g_shell.instance, nullptr);
        if (*tips) {
            SendMessageW(*tips, TTM_SETDELAYTIME, TTDT_INITIAL, 300);
            SendMessageW(*tips, TTM_SETTIPBKCOLOR, RGB(255, 255, 255), 0);
        }
    }
    bars().rebar = CreateWindowExW(
        WS_EX_TOOLWINDOW, REBARCLASSNAMEW, nullptr,
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_BORDER | RBS_DBLCLKTOGGLE |
            RBS_FIXEDORDER | RBS_BANDBORDERS | RBS_VARHEIGHT | CCS_NODIVIDER | CCS_NOPARENTALIGN,
        0, 0, 0, 0, frame, reinterpret_cast<HMENU>(INT_PTR(kRebarId)), g_shell.instance, nullptr);
    if (!bars().rebar) return;
    SendMessageW(bars().rebar, WM_SETFONT, WPARAM(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    SetWindowTheme(bars().rebar, L"", L"");
    SendMessageW(bars().rebar, RB_SETBKCOLOR, 0, kBarColour);
    create_tool_tab_bar();
    create_zoom_bar();
    create_save_bar();
    const int tab_width = int(toolbar_size(bars().tool_tab).cx);
    const int zoom_width = int(toolbar_size(bars().zoom_bar).cx);
    add_band(bars().tool_tab, kToolTabBarId, RBBS_NOGRIPPER | RBBS_CHILDEDGE, tab_width, tab_width + 7,
             nullptr);
    add_band(bars().zoom_bar, kZoomBarId, RBBS_NOGRIPPER | RBBS_CHILDEDGE, zoom_width + 4, zoom_width + 11,
             nullptr);
    add_band(bars().save_bar, kOptionBandId,
             RBBS_CHILDEDGE | (g_shell.single_view.edit_layout == 2 ? RBBS_BREAK : 0), 780, 780, L"保存設定");
    add_button_tips();
    // A key change rewrites these buttons' tips; the save options' tips name no key.
    const int count = int(std::size(kEditBarCommands));
    const ImageBarTips tip_bars[] = {{bars().tool_tab, kEditBarCommands, count},
                                     {bars().zoom_bar, kEditBarCommands, count},
                                     {bars().save_bar, kEditBarCommands, count}};
    set_image_window_bars(bars().tips, tip_bars, int(std::size(tip_bars)));
    update_format_list();
    update_bit_depth_list();
    update_save_bar();
    update_edit_toolbar_states();
    update_view_options_buttons();
}

void destroy_edit_bars() {
    const struct {
        HWND bar;
        WNDPROC* proc;
    } subclassed[] = {{bars().save_bar, &bars().save_bar_proc},
                      {bars().zoom_bar, &bars().zoom_bar_proc},
                      {bars().tool_tab, &bars().tool_tab_proc},
                      {bars().option_bar, &bars().option_bar_proc},
                      {control(kZoomTrackId), &bars().zoom_track_proc}};
    for (const auto& s : subclassed) {
        if (s.bar && *s.proc) SetWindowLongPtrW(s.bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(*s.proc));
        *s.proc = nullptr;
    }
    set_image_window_bars(nullptr, nullptr, 0);
    for (HWND tips : {bars().tips, bars().control_tips})
        if (tips) DestroyWindow(tips);
    g_edit_window.bars = EditBars{};
}

namespace {

COLORREF colour_of(const uint8_t rgb[3]) {
    return RGB(rgb[0], rgb[1], rgb[2]);
}

// The colour a box shows: the live pick, the open tool's, else the transparent colour.
COLORREF paint_colour_box(HWND box) {
    const EditToolHost& host = g_edit_tool;
    if (host.pick_mode) return colour_of(host.picked);
    if (host.kind != kToolNone) {
        const EditToolOps* ops = edit_tool_ops(host.kind);
        return ops && ops->colour_box ? ops->colour_box(host.context, GetDlgCtrlID(box)) : RGB(255, 255, 255);
    }
    uint8_t rgb[3];
    transparent_colour_bytes(g_edit_state.save.transparent_colour, rgb);
    return colour_of(rgb);
}

void on_colour_box_click(HWND box) {
    EditToolHost& host = g_edit_tool;
    if (host.kind > kToolColourFilter) return;
    if (host.kind == kToolNone) {
        uint8_t rgb[3];
        transparent_colour_bytes(g_edit_state.save.transparent_colour, rgb);
        CHOOSECOLORW choose = {};
        choose.lStructSize = sizeof choose;
        choose.hwndOwner = bars().frame;
        choose.rgbResult = colour_of(rgb);
        choose.lpCustColors = g_edit_window.transparent_custom_colours;
        choose.Flags = CC_RGBINIT | CC_FULLOPEN;
        bool chosen = false;
        {
            EditModalScope modal;
            chosen = ChooseColorW(&choose) != FALSE;
        }
        if (!chosen) return;
        g_edit_state.save.transparent_colour = int32_t(choose.rgbResult & 0xFFFFFF);
        g_edit_state.save_choices.transparent = 1;
        update_save_bar();
        InvalidateRect(box, nullptr, FALSE);
        return;
    }
    const EditToolOps* ops = edit_tool_ops(host.kind);
    if (!ops || !ops->choose_colour) return;
    if (bars().frame) SetFocus(bars().frame);
    host.hook_armed = false;
    bool chosen = false;
    {
        EditModalScope modal;
        chosen = ops->choose_colour(host.context, box);
    }
    host.hook_armed = true;
    if (chosen) edit_tool_colour_chosen(box);
}

}  // namespace

LRESULT CALLBACK colour_box_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            RECT client;
            GetClientRect(window, &client);
            HBRUSH brush = CreateSolidBrush(paint_colour_box(window));
            FillRect(dc, &client, brush);
            DeleteObject(brush);
            EndPaint(window, &ps);
            return 0;
        }
        case WM_LBUTTONDOWN: on_colour_box_click(window); return 0;
        default: return DefWindowProcW(window, message, wparam, lparam);
    }
}

HWND edit_window_rebar() {
    return bars().rebar;
}

HWND edit_bar_control(int id) {
    if (id == kRebarId) return bars().rebar;
    if (id == kToolTabBarId) return bars().tool_tab;
    if (id == kZoomBarId) return bars().zoom_bar;
    if (id == kSaveBarId) return bars().save_bar;
    if (id == kOptionBandId) return bars().option_bar;
    return control(id);
}

LRESULT CALLBACK tool_band_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    switch (message) {
        case WM_HSCROLL:
            if (g_edit_tool.horizontal_trackbar)
                g_edit_tool.horizontal_trackbar(g_edit_tool.context, wparam, lparam);
            return 0;
        case WM_VSCROLL:
            if (g_edit_tool.vertical_trackbar)
                g_edit_tool.vertical_trackbar(g_edit_tool.context, wparam, lparam);
            return 0;
        case WM_NOTIFY: return route_edit_tool_notify(reinterpret_cast<const NMHDR*>(lparam));
        case WM_CTLCOLORSTATIC: return colour_static(wparam);
        case WM_COMMAND:
            if (lparam) {
                SendMessageW(bars().frame, WM_COMMAND, wparam, lparam);
                return 0;
            }
            break;
        case WM_LBUTTONDOWN:
        case WM_MBUTTONDOWN: SetFocus(window); break;
        case WM_RBUTTONDOWN: SetFocus(window); return 0;
        default: break;
    }
    return bars().option_bar_proc ? CallWindowProcW(bars().option_bar_proc, window, message, wparam, lparam)
                                  : DefWindowProcW(window, message, wparam, lparam);
}

void create_tool_option_bar() {
    if (!bars().rebar || bars().option_bar) return;
    const Button buttons[] = {
        {9000, 14, BTNS_BUTTON, 0}, {9001, 15, BTNS_BUTTON, 0}, {kSeparatorId, 0, BTNS_SEP, 6}};
    bars().option_bar = make_toolbar(bars().rebar, kOptionBandId, 162, 16, buttons, 3, 0);
    if (!bars().option_bar) return;
    bars().option_bar_proc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(bars().option_bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(tool_band_proc)));
    add_button_tips();
}

void close_tool_option_bar() {
    if (!bars().option_bar) return;
    set_band_child(bars().save_bar, L"保存設定");
    ShowWindow(bars().save_bar, SW_SHOWNA);
    SetWindowLongPtrW(bars().option_bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(bars().option_bar_proc));
    bars().option_bar_proc = nullptr;
    for (int id : {9000, 9001}) {
        TOOLINFOW info = {};
        info.cbSize = TTTOOLINFOW_V2_SIZE;
        info.hwnd = bars().option_bar;
        info.uId = UINT_PTR(id);
        if (bars().tips) SendMessageW(bars().tips, TTM_DELTOOLW, 0, LPARAM(&info));
    }
    DestroyWindow(bars().option_bar);
    bars().option_bar = nullptr;
}

void set_tool_band_child(HWND window, const wchar_t* caption) {
    if (bars().save_bar && window != bars().save_bar) ShowWindow(bars().save_bar, SW_HIDE);
    set_band_child(window, caption);
}

void set_tool_group_buttons_state(int32_t state) {
    for (int id : {8400, 8410, 8420, 8440}) set_state(bars().tool_tab, id, uint8_t(state));
}

void update_edit_toolbar_states() {
    const EditCommandContext c = current_edit_command_context();
    const bool image = c.has_image;
    const uint8_t on = kButtonEnabled, off = kButtonGreyed;
    set_state(bars().tool_tab, 8000, image ? on : off);
    set_state(bars().tool_tab, 8031, image ? on : off);
    set_state(bars().tool_tab, 8401, image && c.history_current > 0 ? on : off);
    set_state(bars().tool_tab, 8402, image && c.history_current + 1 < c.history_count ? on : off);
    if (g_edit_tool.kind == kToolNone) set_tool_group_buttons_state(image ? on : off);
}

void update_view_options_buttons() {
    const EditCommandContext c = current_edit_command_context();
    const uint8_t on = kButtonEnabled;
    set_state(bars().zoom_bar, 8220,
              c.scroll_bars || g_shell.single_view.edit_scroll_bars ? kButtonChecked : on);
    for (int mode = 0; mode < 3; ++mode)
        set_state(bars().zoom_bar, 8230 + mode, g_edit_tool.pane_mode == mode ? kButtonChecked : on);
    const bool image = c.has_image;
    set_state(bars().zoom_bar, 8111, image ? on : kButtonGreyed);
    set_state(bars().zoom_bar, 8112, image ? on : kButtonGreyed);
    for (int id : {kZoomTrackId, kZoomEditId, kZoomUpDownId})
        if (HWND window = control(id)) EnableWindow(window, image ? TRUE : FALSE);
    set_state(bars().zoom_bar, 8150,
              g_edit_tool.kind == kToolSelection      ? kButtonGreyed
              : g_edit_state.selection.show_selection ? kButtonChecked
                                                      : on);
}

void set_zoom_controls_enabled(bool enable, UINT scroll_arrow_flags) {
    for (HWND window : {bars().zoom_bar, control(kZoomTrackId), control(kZoomEditId), control(kZoomUpDownId)})
        if (window) EnableWindow(window, enable ? TRUE : FALSE);
    if (HWND pane = edited_view_pane())
        EnableScrollBar(pane, SB_BOTH, enable ? ESB_ENABLE_BOTH : scroll_arrow_flags);
}

void show_zoom_in_edit() {
    const int32_t percent = g_edit_state.view.zoom / 100;
    set_text(kZoomEditId,
             std::u16string(reinterpret_cast<const char16_t*>(std::to_wstring(percent).c_str())));
    set_zoom_trackbar(percent);
}

void set_zoom_trackbar(int32_t percent) {
    const int32_t position = zoom_percent_to_track(percent);
    bars().last_track = position;
    if (HWND track = control(kZoomTrackId)) SendMessageW(track, TBM_SETPOS, TRUE, position);
}

void on_zoom_trackbar(int code, int position) {
    if (!edit_image_loaded()) return;
    HWND track = control(kZoomTrackId);
    const int32_t p = code == TB_THUMBPOSITION || code == TB_THUMBTRACK
                          ? position
                          : int32_t(track ? SendMessageW(track, TBM_GETPOS, 0, 0) : 0);
    if (p == bars().last_track) return;
    bars().last_track = p;
    const int32_t percent = zoom_track_to_percent(p);
    if (percent != g_edit_state.view.zoom / 100)
        if (HWND edit = control(kZoomEditId)) SetWindowTextW(edit, std::to_wstring(percent).c_str());
}

void update_size_limit_controls() {
    const bool on = g_edit_state.save.jpeg_size_limit_on != 0;
    for (int id : {kJpegQualityId, 746})
        if (HWND window = control(id)) EnableWindow(window, on ? FALSE : TRUE);
    for (int id : {kSizeLimitEditId, 749, 750})
        if (HWND window = control(id)) EnableWindow(window, on ? TRUE : FALSE);
}

void update_format_list() {
    HWND combo = control(kFormatComboId);
    if (!combo) return;
    const bool image = edit_image_loaded();
    const int32_t count = save_format_item_count(image, g_edit_state.image.source_format == 3);
    SaveSettings& save = g_edit_state.save;
    if (save.save_format >= count) save.save_format = kSaveJpeg;
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (int32_t i = 0; i < count; ++i)
        SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(wide(save_format_label(i))));
    SendMessageW(combo, CB_SETCURSEL, WPARAM(save.save_format), 0);
}

void update_bit_depth_list() {
    HWND combo = control(kBitDepthComboId);
    SaveSettings& save = g_edit_state.save;
    const BitDepthState state = rebuild_bit_depth(save.save_format, save.target_bits, save.greyscale,
                                                  edit_image_loaded() ? g_edit_state.image.source_bits : 0);
    save.target_bits = state.target_bits;
    save.greyscale = state.greyscale;
    if (!combo) return;
    int32_t count = 0;
    const BitDepthItem* items = bit_depth_items(save.save_format, &count);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (int32_t i = 0; i < count; ++i) SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(wide(items[i].label)));
    SendMessageW(combo, CB_SETCURSEL, WPARAM(state.selection), 0);
}

namespace {

void place_control(int id, int x, int y, int width, int height) {
    if (HWND window = control(id))
        SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// An edit field with its arrows at the field's right end: the arrows take their width from it.
void place_field(int id, int arrows_id, int x, int width) {
    place_control(id, x, 2, width, 18);
    if (HWND arrows = control(arrows_id)) SendMessageW(arrows, UDM_SETBUDDY, WPARAM(control(id)), 0);
}

void set_placeholder_width(int id, int width) {
    TBBUTTONINFOW info = {};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_SIZE;
    info.cx = WORD(width);
    SendMessageW(bars().save_bar, TB_SETBUTTONINFOW, WPARAM(id), LPARAM(&info));
}

// The controls sit on the placeholders, which move as a format shows and hides the buttons in
// front of them (the rectangles a bar gives while it is being built are not yet final either).
// The size limit needs more room than the gamma field that otherwise takes that place.
void place_save_bar_controls(bool size_controls) {
    set_placeholder_width(9942, size_controls ? 186 : 38);
    const RECT slot = button_rect(bars().save_bar, 9940);
    const RECT colour = button_rect(bars().save_bar, 9941);
    const RECT gamma = button_rect(bars().save_bar, 9942);
    place_field(kPngLevelId, 743, slot.left, 36);
    place_control(kPngFilterId, slot.left + 40, 1, 70, 200);
    place_field(kJpegQualityId, 746, slot.left, 45);
    place_control(kColourBoxId, colour.left + 1, 3, 18, 18);
    place_control(kGammaEditId, gamma.left + 2, 2, 35, 18);
    place_control(kSizeLimitBoxId, gamma.left, 4, 75, 16);
    place_field(kSizeLimitEditId, 749, gamma.left + 76, 52);
    place_control(750, gamma.left + 130, 4, 50, 16);
}

}  // namespace

void update_save_bar() {
    if (!bars().save_bar) return;
    const SaveSettings& save = g_edit_state.save;
    SaveBarInput in;
    in.format = save.save_format;
    in.has_image = edit_image_loaded();
    in.target_bits = save.target_bits;
    in.greyscale = save.greyscale;
    in.source_bits = g_edit_state.image.source_bits;
    in.dither_mode = save.dither_mode;
    in.transparent = g_edit_state.save_choices.transparent;
    in.interlace = save.interlace;
    in.write_gamma = save.write_gamma;
    in.progressive = save.progressive;
    in.jpeg_sampling = save.jpeg_sampling;
    in.jpeg_markers = save.jpeg_markers;
    in.jpeg_trim = save.jpeg_trim;
    in.comment = g_edit_state.save_choices.insert_comment;
    in.size_limit = save.jpeg_size_limit_on;
    const SaveBarLayout layout = save_bar_layout(in);
    for (int32_t i = 0; i < kSaveBarButtonCount; ++i) {
        uint8_t state = layout.buttons[i];
        if (!(state & kButtonHidden) && !image_command_available(kSaveBarButtons[i])) state = kButtonGreyed;
        set_state(bars().save_bar, kSaveBarButtons[i], state);
    }
    show_control(kPngLevelId, layout.png_controls);
    show_control(743, layout.png_controls);
    show_control(kPngFilterId, layout.png_controls, layout.filter_enabled);
    show_control(kJpegQualityId, layout.quality_controls, layout.quality_enabled);
    show_control(746, layout.quality_controls, layout.quality_enabled);
    show_control(kSizeLimitBoxId, layout.size_controls);
    for (int id : {kSizeLimitEditId, 749, 750}) show_control(id, layout.size_controls, layout.size_enabled);
    show_control(kGammaEditId, layout.gamma_edit);
    show_control(kBitDepthComboId, true, layout.bit_depth_enabled);
    if (HWND box = control(kColourBoxId)) ShowWindow(box, layout.colour_box ? SW_SHOWNA : SW_HIDE);
    place_save_bar_controls(layout.size_controls);
}

LRESULT edit_bars_notify(const NMHDR* header) {
    const UINT_PTR id = header->idFrom;
    if (id < UINT_PTR(kRebarId) || id > UINT_PTR(kSaveBarId)) return 0;
    switch (header->code) {
        case RBN_HEIGHTCHANGE: relayout_edit_panes(); return 0;
        case RBN_BEGINDRAG: return edit_tool_holds_view() ? 1 : 0;
        case TBN_DROPDOWN: {
            const auto* drop = reinterpret_cast<const NMTOOLBARW*>(header);
            RECT r = button_rect(bars().tool_tab, drop->iItem);
            POINT at = {r.left, r.bottom};
            ClientToScreen(bars().tool_tab, &at);
            show_tool_group_menu(drop->iItem, at);
            return TBDDRET_DEFAULT;
        }
        case NM_LDOWN:
        case NM_RDOWN:
            if (bars().frame) SetFocus(bars().frame);
            return 0;
        case NM_CUSTOMDRAW:
            // The buttons look like the main window's menu-bar buttons.
            if (id == UINT_PTR(kRebarId)) return CDRF_DODEFAULT;
            return menu_bar_custom_draw(const_cast<NMHDR*>(header));
        default: return 0;
    }
}

int32_t tool_group_button_at(POINT screen, int32_t except) {
    if (!bars().tool_tab) return 0;
    POINT p = screen;
    ScreenToClient(bars().tool_tab, &p);
    return tool_group_at(bars().group_rects, p.x, p.y, except);
}

bool edit_bars_command(int id, int code) {
    SaveSettings& save = g_edit_state.save;
    EditToolHost& host = g_edit_tool;
    switch (id) {
        case kZoomEditId:
            if (code == EN_SETFOCUS) {
                host.accelerators_suspended = true;
            } else if (code == EN_KILLFOCUS) {
                host.accelerators_suspended = false;
                show_zoom_in_edit();
            } else if (code == EN_CHANGE) {
                const int32_t percent = clamp_zoom_percent(field_value(kZoomEditId));
                if (HWND track = control(kZoomTrackId))
                    SendMessageW(track, TBM_SETPOS, TRUE, zoom_percent_to_track(percent));
                if (percent != g_edit_state.view.zoom / 100 && host.controls_live && edit_image_loaded()) {
                    g_edit_state.view.zoom = percent * 100;
                    update_display_size(g_edit_state.view);
                    update_edit_view();
                }
            }
            return true;
        case kFormatComboId:
        case kBitDepthComboId:
        case kPngFilterId: {
            if (code == CBN_SETFOCUS || code == CBN_KILLFOCUS) {
                host.accelerators_suspended = code == CBN_SETFOCUS;
                return true;
            }
            if (code != CBN_SELCHANGE) return true;
            const int selection = int(SendMessageW(control(id), CB_GETCURSEL, 0, 0));
            if (selection < 0) return true;
            if (id == kFormatComboId) {
                save.save_format = selection;
                update_bit_depth_list();
            } else if (id == kBitDepthComboId) {
                (void)choose_bit_depth(save.save_format, selection, &save.target_bits, &save.greyscale);
            } else {
                save.png_filter = selection;
            }
            update_save_bar();
            return true;
        }
        case kPngLevelId:
        case kJpegQualityId:
        case kSizeLimitEditId:
        case kGammaEditId:
            if (code == EN_SETFOCUS) {
                host.accelerators_suspended = true;
                host.hook_armed = true;
            } else if (code == EN_KILLFOCUS) {
                host.accelerators_suspended = false;
                host.hook_armed = false;
                if (id == kPngLevelId) {
                    save.png_compression = commit_png_level(field_value(id));
                    set_text(id, std::u16string(1, char16_t(u'0' + save.png_compression)));
                } else if (id == kJpegQualityId || id == kSizeLimitEditId) {
                    int32_t& value = id == kJpegQualityId ? save.jpeg_quality : save.jpeg_size_limit_kb;
                    value = id == kJpegQualityId ? commit_jpeg_quality(field_value(id))
                                                 : commit_size_limit(field_value(id));
                    set_text(id, std::u16string(
                                     reinterpret_cast<const char16_t*>(std::to_wstring(value).c_str())));
                } else {
                    wchar_t text[8] = {};
                    GetWindowTextW(control(id), text, 8);
                    const GammaCommit commit =
                        commit_gamma(std::u16string(reinterpret_cast<const char16_t*>(text)));
                    save.gamma = commit.gamma;
                    if (commit.replaced) set_text(id, commit.text);
                }
            }
            return true;
        case kSizeLimitBoxId:
            save.jpeg_size_limit_on = SendMessageW(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
            update_size_limit_controls();
            return true;
        default: return false;
    }
}
