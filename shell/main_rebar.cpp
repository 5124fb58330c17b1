// The rebar at the top of the main window, with the menu-bar toolbar of five text buttons.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "shell/main_rebar.h"

#include "shell/shell_ids.h"
#include "shell/shell_state.h"
#include "shell/shell_texts.h"

void create_main_rebar(HWND main_window) {
    HINSTANCE instance = g_shell.instance;
    HWND rebar =
        CreateWindowExW(WS_EX_TOOLWINDOW, REBARCLASSNAMEW, nullptr,
                        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | RBS_VARHEIGHT |
                            RBS_BANDBORDERS | CCS_NODIVIDER,
                        0, 0, 0, 0, main_window, reinterpret_cast<HMENU>(kRebarId), instance, nullptr);
    g_shell.rebar = rebar;
    HWND bar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                               WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | TBSTYLE_FLAT |
                                   TBSTYLE_LIST | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER,
                               0, 0, 0, 0, rebar, reinterpret_cast<HMENU>(kMenuBarId), instance, nullptr);
    g_shell.menu_toolbar = bar;
    SendMessageW(bar, WM_SETFONT, reinterpret_cast<WPARAM>(g_shell.ui_font.get()), FALSE);
    SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(bar, TB_SETBITMAPSIZE, 0, MAKELONG(0, 0));
    TBBUTTON buttons[kMenuBarButtonCount] = {};
    for (int i = 0; i < kMenuBarButtonCount; ++i) {
        buttons[i].iBitmap = I_IMAGENONE;
        buttons[i].idCommand = kMenuBarFirstButton + kMenuBarButtonStep * i;
        buttons[i].fsState = TBSTATE_ENABLED;
        buttons[i].fsStyle = BTNS_SHOWTEXT | BTNS_AUTOSIZE;
        buttons[i].iString = reinterpret_cast<INT_PTR>(kMenuBarCaptions[i]);
    }
    SendMessageW(bar, TB_ADDBUTTONSW, kMenuBarButtonCount, reinterpret_cast<LPARAM>(buttons));
    SIZE size = {};
    SendMessageW(bar, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&size));
    REBARBANDINFOW band = {};
    band.cbSize = REBARBANDINFOW_V6_SIZE;
    band.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_STYLE | RBBIM_SIZE | RBBIM_ID;
    band.fStyle = RBBS_CHILDEDGE | RBBS_GRIPPERALWAYS;
    band.hwndChild = bar;
    band.cxMinChild = size.cx;
    band.cyMinChild = size.cy > 0 ? size.cy : 22;
    band.cx = size.cx + 20;
    band.wID = 0;
    SendMessageW(rebar, RB_INSERTBANDW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&band));
}
