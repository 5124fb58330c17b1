// The ten menus, their labels and the owner-drawn painting of their items.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "shell/main_menus.h"

#include <string>

#include "shell/main_menus_internal.h"
#include "shell/shell_state.h"

MenuSet g_menus;
MenuDrawing g_menu_drawing;

namespace {

// Labels live for the whole run; a rebuild writes the set the older menus do not use.
MenuLabelStore g_label_store;

const wchar_t* w(const char16_t* s) {
    return reinterpret_cast<const wchar_t*>(s);
}

bool insert_item(HMENU popup, UINT position, UINT id, UINT type, MenuItemLabel* label, HMENU submenu) {
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_DATA | MIIM_ID | (submenu ? MIIM_SUBMENU : 0);
    info.fType = type;
    info.wID = id;
    info.dwTypeData = const_cast<wchar_t*>(w(label->text));
    info.dwItemData = reinterpret_cast<ULONG_PTR>(label);
    info.hSubMenu = submenu;
    return InsertMenuItemW(popup, position, TRUE, &info) != FALSE;
}

void insert_separator(HMENU popup, UINT position) {
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID;
    info.fType = MFT_SEPARATOR;
    info.wID = kMenuSeparatorId;
    InsertMenuItemW(popup, position, TRUE, &info);
}

// Appends a popup's fixed rows from `position` on; returns the position after the last.
UINT insert_rows(HMENU popup, int which, UINT position, const KeyEntry* keys, MenuLabelSet& labels) {
    const MenuRows rows = popup_rows(which);
    for (int i = 0; i < rows.count; ++i) {
        const MenuRow& row = rows.rows[i];
        if (row.kind == MenuRowKind::separator) {
            insert_separator(popup, position++);
            continue;
        }
        const int index = menu_label_index(keys, row.id);
        if (index < 0) continue;
        UINT type = MFT_OWNERDRAW;
        if (row.kind == MenuRowKind::radio) type |= MFT_RADIOCHECK;
        HMENU submenu = row.kind == MenuRowKind::submenu ? g_menus.popup[kPopupViewSubmenu] : nullptr;
        if (insert_item(popup, position, row.id, type, &labels.labels[index], submenu)) ++position;
    }
    return position;
}

void delete_tool_items(HMENU popup) {
    DeleteMenu(popup, kNoToolItemId, MF_BYCOMMAND);
    for (int slot = 0; slot < kToolCount; ++slot) DeleteMenu(popup, kFirstToolItemId + slot, MF_BYCOMMAND);
}

// The system colours and the menu font of the non-client metrics; the structure is given its
// size before Vista, which every version accepts.
void create_menu_font() {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = 500;
    static_assert(sizeof metrics >= 500, "the structure holds the XP-sized metrics");
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 500, &metrics, 0))
        g_menu_drawing.font.reset(CreateFontIndirectW(&metrics.lfMenuFont));
    if (!g_menu_drawing.font.valid())
        g_menu_drawing.font.reset(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
}

std::wstring joined_label(const MenuItemLabel& label) {
    std::wstring s = w(label.text);
    s += w(label.modifier);
    s += w(label.key);
    return s;
}

}  // namespace

void create_main_menus() {
    g_menus.container = CreateMenu();
    for (HMENU& popup : g_menus.popup) popup = CreatePopupMenu();
}

void init_main_menus(const KeyTable& keys) {
    create_main_menus();
    refresh_menu_metrics();
    g_menu_drawing.light_brush.reset(CreateSolidBrush(RGB(232, 255, 255)));
    g_menu_drawing.white_brush.reset(CreateSolidBrush(RGB(255, 255, 255)));
    g_menu_drawing.pen_a.reset(CreatePen(PS_SOLID, 1, RGB(72, 144, 144)));
    g_menu_drawing.pen_b.reset(CreatePen(PS_SOLID, 1, RGB(192, 96, 192)));
    g_menu_drawing.bar_brush.reset(CreateSolidBrush(RGB(236, 236, 240)));
    build_main_menus(keys);
}

void build_main_menus(const KeyTable& keys) {
    if (!g_menus.container) return;
    KeyEntry entries[kMainKeyCount] = {};
    for (int i = 0; i < kMainKeyCount && i < keys.count; ++i) entries[i] = keys.entries[i];
    for (int i = 0; i < kMainKeyCount; ++i) g_menus.keys[i] = entries[i];
    MenuLabelSet& labels = g_label_store.rebuild(entries);
    g_menus.labels = &labels;
    for (int p = 0; p < kContainerPopupCount; ++p) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_SUBMENU;
        info.hSubMenu = g_menus.popup[p];
        InsertMenuItemW(g_menus.container, p, TRUE, &info);
    }
    for (int p = 0; p < kMenuPopupCount; ++p) {
        if (p == kPopupTools) continue;
        insert_rows(g_menus.popup[p], p, 0, entries, labels);
    }
    insert_rows(g_menus.popup[kPopupTools], kPopupTools, 0, entries, labels);
    fill_tools_menu(g_menus.popup[kPopupTools]);
}

void destroy_main_menus() {
    // DestroyMenu takes a menu's submenus with it: detach them first so that each of the ten is
    // destroyed exactly once.
    if (g_menus.container)
        while (GetMenuItemCount(g_menus.container) > 0) RemoveMenu(g_menus.container, 0, MF_BYPOSITION);
    HMENU view = g_menus.popup[kPopupView];
    for (int i = view ? GetMenuItemCount(view) - 1 : -1; i >= 0; --i)
        if (GetSubMenu(view, i) == g_menus.popup[kPopupViewSubmenu]) RemoveMenu(view, i, MF_BYPOSITION);
    for (HMENU& popup : g_menus.popup) {
        if (popup) DestroyMenu(popup);
        popup = nullptr;
    }
    if (g_menus.container) DestroyMenu(g_menus.container);
    g_menus.container = nullptr;
}

void delete_menu_resources() {
    g_menu_drawing.light_brush.reset();
    g_menu_drawing.white_brush.reset();
    g_menu_drawing.pen_a.reset();
    g_menu_drawing.pen_b.reset();
    g_menu_drawing.bar_brush.reset();
    g_menu_drawing.font.reset();
    g_menu_drawing.menu_brush.reset();
    destroy_main_menus();
}

void refresh_menu_metrics() {
    g_menu_drawing.menu_text = GetSysColor(COLOR_MENUTEXT);
    g_menu_drawing.gray_text = GetSysColor(COLOR_GRAYTEXT);
    g_menu_drawing.menu_brush.reset(CreateSolidBrush(GetSysColor(COLOR_MENU)));
    g_menu_drawing.font.reset();
    create_menu_font();
}

void rebuild_menu_gdi_objects() {
    refresh_menu_metrics();
}

HMENU main_menu_popup(int position) {
    return position >= 0 && position < kMenuPopupCount ? g_menus.popup[position] : nullptr;
}

void fill_tools_menu(HMENU popup) {
    if (!popup || !g_menus.labels) return;
    MenuLabelSet& labels = *g_menus.labels;
    UINT position = 0;
    for (int slot = 0; slot < kToolCount; ++slot) {
        if (g_shell.main_settings.tool_path[slot].empty()) continue;
        write_tool_item_text(g_shell.main_settings.tool_name[slot], slot, labels.tool_text[slot]);
        const UINT id = kFirstToolItemId + slot;
        const int index = menu_label_index(g_menus.keys, static_cast<int>(id));
        if (index < 0) continue;
        if (insert_item(popup, position, id, MFT_OWNERDRAW, &labels.labels[index], nullptr)) ++position;
    }
    if (position == 0) {
        const int index = menu_label_index(g_menus.keys, kNoToolItemId);
        insert_item(popup, 0, kNoToolItemId, MFT_OWNERDRAW, &labels.labels[index], nullptr);
        EnableMenuItem(popup, kNoToolItemId, MF_BYCOMMAND | MF_GRAYED);
    }
}

void fill_tools_menu() {
    fill_tools_menu(g_menus.popup[kPopupTools]);
}

void clear_tools_menu(HMENU popup) {
    if (popup) delete_tool_items(popup);
    for (std::u16string& path : g_shell.main_settings.tool_path) path.clear();
}

void clear_tools_menu() {
    clear_tools_menu(g_menus.popup[kPopupTools]);
}

void measure_menu_item(MEASUREITEMSTRUCT* item) {
    if (!item || item->CtlType != ODT_MENU || !item->itemData) return;
    const MenuItemLabel& label = *reinterpret_cast<const MenuItemLabel*>(item->itemData);
    const std::wstring text = joined_label(label);
    HWND window = g_shell.main_window;
    HDC dc = GetDC(window);
    if (!dc) return;
    SIZE extent = {};
    {
        SelectGuard font(dc, g_menu_drawing.font.get());
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    }
    ReleaseDC(window, dc);
    item->itemWidth = static_cast<UINT>(extent.cx + 20);
    item->itemHeight = static_cast<UINT>(extent.cy + 6);
}

void draw_menu_item(const DRAWITEMSTRUCT* item) {
    if (!item || item->CtlType != ODT_MENU || !item->itemData) return;
    const MenuItemLabel& label = *reinterpret_cast<const MenuItemLabel*>(item->itemData);
    HDC dc = item->hDC;
    const RECT& r = item->rcItem;
    SelectGuard font(dc, g_menu_drawing.font.get());
    SetBkMode(dc, TRANSPARENT);
    if (item->itemState & (ODS_DISABLED | ODS_GRAYED)) {
        SetTextColor(dc, g_menu_drawing.gray_text);
    } else {
        SetTextColor(dc, g_menu_drawing.menu_text);
        if (item->itemState & ODS_SELECTED) {
            SelectGuard brush(dc, g_menu_drawing.light_brush.get());
            SelectGuard pen(dc, g_menu_drawing.pen_a.get());
            Rectangle(dc, r.left, r.top, r.right, r.bottom);
        } else {
            FillRect(dc, &r, g_menu_drawing.menu_brush.get());
        }
        if (item->itemState & ODS_CHECKED) {
            SelectGuard brush(dc, g_menu_drawing.white_brush.get());
            SelectGuard pen(dc, g_menu_drawing.pen_b.get());
            Rectangle(dc, r.left + 4, r.top + 4, r.left + 14, r.top + 14);
            MoveToEx(dc, r.left + 5, r.top + 5, nullptr);
            LineTo(dc, r.left + 13, r.top + 13);
            MoveToEx(dc, r.left + 5, r.top + 12, nullptr);
            LineTo(dc, r.left + 13, r.top + 4);
        }
    }
    RECT text = {r.left + 20, r.top, r.right - 12, r.bottom};
    DrawTextW(dc, w(label.text), -1, &text, DT_SINGLELINE | DT_VCENTER);
    if (*label.key) {
        std::wstring keys = w(label.modifier);
        keys += w(label.key);
        DrawTextW(dc, keys.c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
    }
}

LRESULT draw_menu_item(UINT message, LPARAM lparam) {
    if (message == WM_MEASUREITEM)
        measure_menu_item(reinterpret_cast<MEASUREITEMSTRUCT*>(lparam));
    else if (message == WM_DRAWITEM)
        draw_menu_item(reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
    return TRUE;
}
