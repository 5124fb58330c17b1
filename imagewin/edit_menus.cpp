#include "imagewin/edit_menus.h"

#include "imagewin/core/command_labels.h"
#include "imagewin/edit_commands.h"
#include "imagewin/edit_window.h"
#include "imagewin/image_windows.h"
#include "shell/core/menu_rules.h"
#include "shell/main_menus.h"

namespace {

constexpr int kSeparator = 0;
constexpr int kMenuCount = 8;
HMENU g_container = nullptr;
HMENU g_menus[kMenuCount] = {};
int g_open_group = -1;

const int kContext[] = {8030, 8032, kSeparator, 8040, 8041, kSeparator, 8320, 8321,      8050, kSeparator,
                        8060, 8061, kSeparator, 8310, 8311, kSeparator, 8070, kSeparator};
const int kZoom[] = {8120, 8121, 8122, kSeparator, 8123, 8124, 8125};
const int kEditGroup[] = {8404, 8405, kSeparator, 8406, 8407, kSeparator, 8408, kSeparator, 8403};
const int kTransform[] = {8411, 8412, kSeparator, 8413, kSeparator, 8414, 8415, 8416, kSeparator, 8417, 8418};
const int kCorrect[] = {8421, 8422, kSeparator, 8423,       8424, 8425, 8426, kSeparator, 8427,
                        8428, 8429, 8430,       kSeparator, 8431, 8432, 8433, 8434};
const int kProcess[] = {8441, kSeparator, 8442, 8443, kSeparator, 8444, 8445, kSeparator, 8446, 8447};
const int kBackground[] = {8211, 8212, 8213, 8214, 8215};

// The two submenu items draw fixed texts without keys.
MenuItemLabel g_background_label = {u"背景色", u"", u""};
MenuItemLabel g_tools_label = {u"ツール(&T)", u"", u""};

// What an item draws: the command's live label row, so that a key change shows at once.
const MenuItemLabel* label_for(int id) {
    if (id == 8210) return &g_background_label;
    if (id == 7300) return &g_tools_label;
    return find_command_label(image_command_labels(), uint16_t(id));
}

void insert_item(HMENU menu, UINT position, int id, HMENU submenu = nullptr, bool radio = false) {
    const MenuItemLabel* label = label_for(id);
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_DATA | MIIM_ID | (submenu ? MIIM_SUBMENU : 0);
    info.fType = MFT_OWNERDRAW | (radio ? MFT_RADIOCHECK : 0);
    info.wID = UINT(id);
    info.hSubMenu = submenu;
    info.dwItemData = ULONG_PTR(label);
    info.dwTypeData = const_cast<wchar_t*>(reinterpret_cast<const wchar_t*>(label ? label->text : u""));
    InsertMenuItemW(menu, position, TRUE, &info);
}

void insert_separator(HMENU menu, UINT position) {
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID;
    info.fType = MFT_SEPARATOR;
    info.wID = 9900;
    InsertMenuItemW(menu, position, TRUE, &info);
}

template <size_t N>
void fill(HMENU menu, const int (&ids)[N], UINT first = UINT(-1), bool radio = false) {
    UINT position = first;
    for (int id : ids) {
        if (id == kSeparator)
            insert_separator(menu, position);
        else
            insert_item(menu, position, id, nullptr, radio);
        if (first != UINT(-1)) ++position;
    }
}

void update_menu(HMENU menu, const EditCommandContext& context) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        const UINT id = GetMenuItemID(menu, i);
        if (id == UINT(-1)) {
            if (HMENU sub = GetSubMenu(menu, i)) update_menu(sub, context);
            continue;
        }
        if (id == 9900 || id == 7310) continue;
        const EditCommandState state = edit_command_state(int(id), context);
        const bool enabled = state.enabled && image_command_available(int32_t(id));
        EnableMenuItem(menu, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
        CheckMenuItem(menu, id, MF_BYCOMMAND | (state.checked ? MF_CHECKED : MF_UNCHECKED));
    }
}

}  // namespace

void build_edit_menus() {
    // The labels follow the keys in force when a window opens; items point at them.
    refresh_image_command_labels();
    if (g_container) return;
    g_container = CreateMenu();
    for (HMENU& menu : g_menus) menu = CreatePopupMenu();
    AppendMenuW(g_container, MF_POPUP, UINT_PTR(g_menus[kEditMenuContext]), L"");
    AppendMenuW(g_container, MF_POPUP, UINT_PTR(g_menus[kEditMenuZoom]), L"");
    insert_item(g_menus[kEditMenuContext], UINT(-1), 8210, g_menus[kEditMenuBackground]);
    insert_item(g_menus[kEditMenuContext], UINT(-1), 7300, g_menus[kEditMenuTools]);
    fill(g_menus[kEditMenuZoom], kZoom);
    fill(g_menus[kEditMenuEdit], kEditGroup);
    fill(g_menus[kEditMenuTransform], kTransform);
    fill(g_menus[kEditMenuCorrect], kCorrect);
    fill(g_menus[kEditMenuProcess], kProcess);
    fill(g_menus[kEditMenuContext], kContext, 0);
    fill(g_menus[kEditMenuBackground], kBackground, UINT(-1), true);
    fill_tools_menu(g_menus[kEditMenuTools]);
}

void destroy_edit_menus() {
    if (!g_container) return;
    for (int which : {kEditMenuBackground, kEditMenuTools, kEditMenuEdit, kEditMenuTransform,
                      kEditMenuCorrect, kEditMenuProcess, kEditMenuZoom, kEditMenuContext})
        DestroyMenu(g_menus[which]);
    DestroyMenu(g_container);
    g_container = nullptr;
    for (HMENU& menu : g_menus) menu = nullptr;
}

HMENU edit_menu(int which) {
    return which >= 0 && which < kMenuCount ? g_menus[which] : nullptr;
}

void update_edit_menu_states() {
    const EditCommandContext context = current_edit_command_context();
    for (int which = 0; which < kMenuCount; ++which)
        if (g_menus[which] && which != kEditMenuTools) update_menu(g_menus[which], context);
}

namespace {

// The menu's loop counts as a modal loop: a close meanwhile would destroy the menu it tracks.
void track_edit_popup(HMENU menu, POINT at) {
    if (!menu) return;
    update_edit_menu_states();
    EditModalScope modal;
    TrackPopupMenuEx(menu, TPM_NOANIMATION, at.x, at.y, g_edit_state.image_window, nullptr);
}

}  // namespace

bool show_edit_context_menu(HWND pane, LPARAM screen_point) {
    if (!g_container || !pane) return false;
    POINT at = {int16_t(LOWORD(screen_point)), int16_t(HIWORD(screen_point))};
    RECT client;
    GetClientRect(pane, &client);
    if (screen_point == -1) {
        at = {0, 0};
        ClientToScreen(pane, &at);
    } else {
        POINT local = at;
        ScreenToClient(pane, &local);
        if (!PtInRect(&client, local)) return false;
    }
    track_edit_popup(g_menus[kEditMenuContext], at);
    return true;
}

void show_edit_zoom_menu(POINT at) {
    track_edit_popup(g_menus[kEditMenuZoom], at);
}

void show_tool_group_menu(int id, POINT at) {
    const int which = id == 8400   ? kEditMenuEdit
                      : id == 8410 ? kEditMenuTransform
                      : id == 8420 ? kEditMenuCorrect
                                   : kEditMenuProcess;
    g_open_group = id;
    track_edit_popup(g_menus[which], at);
}

int open_tool_group_popup() {
    return g_open_group;
}

void clear_tool_group_popup() {
    g_open_group = -1;
}
