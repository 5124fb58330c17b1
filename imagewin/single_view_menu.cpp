// The single view's popup menu: built owner-drawn from the command labels, its item states from
// the same command-state table that decides whether a command runs.
#include <windows.h>

#include "imagewin/core/single_view_rules.h"
#include "imagewin/image_windows.h"
#include "imagewin/single_view.h"
#include "imagewin/single_view_seam.h"

namespace {

constexpr UINT kSeparatorId = 9900;
constexpr UINT kToolsMenuId = 7300;

struct ViewMenus {
    HMENU container = nullptr;
    HMENU popup = nullptr;
    HMENU background = nullptr;
    HMENU tools = nullptr;
};
ViewMenus g_menus;

// The two submenu items draw fixed texts without keys.
MenuItemLabel g_background_label = {u"背景色(&G)", u"", u""};
MenuItemLabel g_tools_label = {u"ツール(&T)", u"", u""};

// What an item draws: the command's live label row, so that a key change shows at once.
const MenuItemLabel* label_of(UINT id) {
    if (id == kCmdBackgroundMenu) return &g_background_label;
    if (id == kToolsMenuId) return &g_tools_label;
    return find_command_label(image_command_labels(), uint16_t(id));
}

void insert_item(HMENU menu, UINT position, UINT id, const char16_t* text, HMENU submenu, bool radio) {
    MENUITEMINFOW item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_DATA | MIIM_ID | (submenu ? MIIM_SUBMENU : 0u);
    item.fType = MFT_OWNERDRAW | (radio ? MFT_RADIOCHECK : 0u);
    item.wID = id;
    item.hSubMenu = submenu;
    item.dwTypeData = const_cast<wchar_t*>(reinterpret_cast<const wchar_t*>(text));
    item.dwItemData = reinterpret_cast<ULONG_PTR>(label_of(id));
    InsertMenuItemW(menu, position, TRUE, &item);
}

void append_item(HMENU menu, UINT id, const char16_t* text, HMENU submenu = nullptr, bool radio = false) {
    insert_item(menu, UINT(GetMenuItemCount(menu)), id, text, submenu, radio);
}

void insert_separator_before(HMENU menu, UINT command) {
    MENUITEMINFOW item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE | MIIM_ID;
    item.fType = MFT_SEPARATOR;
    item.wID = kSeparatorId;
    InsertMenuItemW(menu, command, FALSE, &item);
}

void set_state(HMENU menu, UINT id, const CommandState& state) {
    MENUITEMINFOW item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_STATE;
    item.fState = (state.enabled ? 0u : MFS_GRAYED) | (state.checked ? MFS_CHECKED : 0u);
    SetMenuItemInfoW(menu, id, FALSE, &item);
}

}  // namespace

void build_view_menus() {
    destroy_view_menus();
    refresh_image_command_labels();
    g_menus.container = CreateMenu();
    g_menus.popup = CreatePopupMenu();
    g_menus.background = CreatePopupMenu();
    g_menus.tools = CreatePopupMenu();
    if (!g_menus.container || !g_menus.popup || !g_menus.background || !g_menus.tools) {
        destroy_view_menus();
        return;
    }
    AppendMenuW(g_menus.container, MF_POPUP, reinterpret_cast<UINT_PTR>(g_menus.popup), L"");
    append_item(g_menus.popup, kCmdBackgroundMenu, g_background_label.text, g_menus.background);
    append_item(g_menus.popup, kToolsMenuId, g_tools_label.text, g_menus.tools);
    const struct {
        UINT id;
        const char16_t* text;
    } items[] = {
        {8040, u"右回転保存(JEPGロスレス)(&R)"}, {8041, u"左回転保存(JEPGロスレス)(&L)"},
        {8320, u"コピー(クリップボード)(&C)"},   {8050, u"削除(&D)"},
        {8060, u"コメント表示/編集(&E)..."},     {8061, u"テキストデータ表示(&T)"},
        {8310, u"ヒストグラム表示(&H)"},         {8311, u"使用色数確認(&N)"},
        {8070, u"印刷(プレビュー)(&P)..."},
    };
    UINT position = 0;
    for (const auto& item : items) insert_item(g_menus.popup, position++, item.id, item.text, nullptr, false);
    const char16_t* colours[] = {u"白(&W)", u"ライトグレイ(&L)", u"グレイ(&G)", u"ダークグレイ(&D)",
                                 u"黒(&B)"};
    for (UINT i = 0; i < 5; ++i)
        append_item(g_menus.background, kCmdBackgroundWhite + i, colours[i], nullptr, true);
    fill_tools_menu(g_menus.tools);
    for (UINT command : {8320u, 8060u, 8070u, 8310u, 8210u}) insert_separator_before(g_menus.popup, command);
}

void destroy_view_menus() {
    // The container owns the popup, and the popup its submenus.
    if (g_menus.container) {
        DestroyMenu(g_menus.container);
    } else if (g_menus.popup) {
        DestroyMenu(g_menus.popup);
    } else {
        if (g_menus.background) DestroyMenu(g_menus.background);
        if (g_menus.tools) DestroyMenu(g_menus.tools);
    }
    g_menus = ViewMenus{};
}

HMENU view_popup_menu() {
    return g_menus.popup;
}

void view_on_init_menu() {
    if (!g_menus.popup) return;
    const ViewCommandContext c = view_command_context();
    for (int32_t id : {kCmdRotateSaveRight, kCmdRotateSaveLeft, kCmdComment, kCmdDeleteFile, kCmdPrintPreview,
                       kCmdTextData, kCmdCopyImage, kCmdHistogram, kCmdColourCount}) {
        CommandState state = view_command_state(id, c);
        state.enabled = state.enabled && image_command_available(id);
        set_state(g_menus.popup, UINT(id), state);
    }
    for (UINT id = kCmdBackgroundWhite; id <= UINT(kCmdBackgroundBlack); ++id)
        set_state(g_menus.background, id, view_command_state(int32_t(id), c));
}

bool track_image_window_popup(POINT point, HWND window) {
    if (!g_menus.popup || !window) return true;
    if (point.x == -1 && point.y == -1) {
        point = POINT{0, 0};
        ClientToScreen(window, &point);
    } else {
        POINT client_point = point;
        ScreenToClient(window, &client_point);
        RECT client;
        GetClientRect(window, &client);
        if (client_point.y < 0 || client_point.x >= client.right || client_point.y >= client.bottom)
            return true;
    }
    TrackPopupMenuEx(g_menus.popup, TPM_NOANIMATION, point.x, point.y, window, nullptr);
    return false;
}
