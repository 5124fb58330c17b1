// The main menus, the menu bar and the main toolbar under Wine: the real main window, menus read
// back through the system, keys sent as input.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <process.h>
// clang-format on
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/win/app_messages.h"
#include "common/win/message_box.h"
#include "shell/core/command_rules.h"
#include "shell/folder_tree.h"
#include "shell/main_menus.h"
#include "shell/main_rebar.h"
#include "shell/main_window.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"
#include "shell/startup.h"
#include "shell/thumbnail_view_parts.h"
#include "tests/shell/main_menu_texts.h"
#include "tests/shell/stand_in_subsystems.h"
#include "tests/shell/unique_scratch.h"

namespace {

int answer_ok(HWND, const wchar_t*, const wchar_t*, UINT) {
    return IDOK;
}

bool pump_until(const std::function<bool()>& done, DWORD timeout_ms = 10000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeout_ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

std::wstring wide_of(const char16_t* s) {
    return s ? std::wstring(reinterpret_cast<const wchar_t*>(s)) : std::wstring();
}

class MainMenusTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_hook_ = set_message_box_hook(answer_ok);
        const std::u16string folder = unique_scratch_path("menus-appdata");
        appdata_.assign(folder.begin(), folder.end());
        CreateDirectoryW(appdata_.c_str(), nullptr);
        lstrcpynW(g_shell.appdata_folder, appdata_.c_str(), MAX_PATH);
        g_shell.instance = GetModuleHandleW(nullptr);
        g_shell.os_class = detect_os_version();
        if (!g_shell.ui_font.valid()) create_ui_font();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        stand_in::install();
        ASSERT_TRUE(start_single_instance(SW_SHOWNORMAL, L"Pexaron.exe"));
        ASSERT_TRUE(pump_until([] { return startup_tail_done(); }));
    }

    void TearDown() override {
        // Windows that later tests create must not appear under a cursor left over the tree.
        SetCursorPos(0, 0);
        for (int v = 0; v < 2; ++v) {
            view_state(v).entries = nullptr;
            view_state(v).count = 0;
            view_state(v).marked_count = 0;
        }
        if (g_shell.main_window) {
            PostMessageW(g_shell.main_window, WM_CLOSE, 0, 0);
            pump_until([] { return g_shell.main_window == nullptr; }, 15000);
        }
        set_message_box_hook(previous_hook_);
        g_shell.appdata_folder[0] = 0;
        set_startup_command_line(nullptr);
        CoUninitialize();
    }

    MessageBoxHook previous_hook_ = nullptr;
    std::wstring appdata_;
};

struct ReadItem {
    UINT id;
    UINT type;
    HMENU submenu;
    const MenuItemLabel* label;
};

std::vector<ReadItem> read_menu(HMENU menu) {
    std::vector<ReadItem> items;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_DATA | MIIM_SUBMENU;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        items.push_back(ReadItem{info.wID, info.fType, info.hSubMenu,
                                 reinterpret_cast<const MenuItemLabel*>(info.dwItemData)});
    }
    return items;
}

constexpr UINT kSep = 9900;

TEST_F(MainMenusTest, MenuStructureReadsBackThroughTheSystem) {
    struct Popup {
        int position;
        std::vector<UINT> ids;
    } const popups[] = {
        {0, {7010, kSep, 7020, 7021, kSep, 7040, kSep, 7050, kSep, 7060, 7070, kSep, 7090}},
        {1, {7110, 7111, kSep, 7120, 7130, kSep, 7140, 7141, kSep, 7150, 7151, kSep, 7160}},
        {2, {7210, 7211, kSep, 7215, kSep, 7213, kSep, 7212, kSep, 7220, 7221, kSep, 7230, 7240}},
        {3, {7310, kSep, 7320, kSep, 7330, kSep, 7340}},
        {4, {7410, kSep, 7411, 7412, 7413, 7414, 7415, kSep, 7430}},
        {5, {7512, 7513, 7514, 7516, 7518, 7522, 7530}},
        {6, {7210, 7211, kSep, 7215, kSep, 7212, kSep, 7220, 7221, kSep, 7010, kSep, 7020, 7021, kSep, 7040}},
        {7, {7610, 7611, kSep, 7620, 7621, kSep, 7630, 7631, 7632, kSep, 7160, kSep, 7640}},
        {8, {7121, 7122, 7123}},
    };
    for (const Popup& p : popups) {
        HMENU menu = main_menu_popup(p.position);
        ASSERT_TRUE(IsMenu(menu)) << p.position;
        const std::vector<ReadItem> items = read_menu(menu);
        ASSERT_EQ(items.size(), p.ids.size()) << p.position;
        for (size_t i = 0; i < items.size(); ++i) {
            const ReadItem& item = items[i];
            EXPECT_EQ(item.id, p.ids[i]) << p.position << " " << i;
            if (p.ids[i] == kSep) {
                EXPECT_EQ(item.type & MFT_SEPARATOR, UINT(MFT_SEPARATOR)) << p.position << " " << i;
                continue;
            }
            EXPECT_EQ(item.type & MFT_OWNERDRAW, UINT(MFT_OWNERDRAW)) << item.id;
            EXPECT_EQ((item.type & MFT_RADIOCHECK) != 0, p.position == 8) << item.id;
            ASSERT_NE(item.label, nullptr) << item.id;
            EXPECT_FALSE(wide_of(item.label->text).empty()) << item.id;
            EXPECT_EQ(item.submenu != nullptr, item.id == 7120) << item.id;
        }
    }
    EXPECT_EQ(read_menu(main_menu_popup(1))[3].submenu, main_menu_popup(8));
    // Without registered tools the Tools popup starts with the greyed placeholder.
    EXPECT_EQ(read_menu(main_menu_popup(3))[0].id, 7310u);
    EXPECT_TRUE(GetMenuState(main_menu_popup(3), 7310, MF_BYCOMMAND) & MF_GRAYED);

    // The key each item shows beside its text (the texts themselves: main_menu_texts.h).
    struct KeyCase {
        int position;
        UINT id;
        const wchar_t* keys;
    } const keys[] = {
        {0, 7040, L"Ctrl+A"}, {0, 7020, L"Delete"}, {0, 7050, L"Ctrl+P"}, {0, 7090, L""}, {1, 7150, L"F5"},
        {2, 7210, L"Space"},  {4, 7410, L"F1"},     {4, 7430, L""},       {7, 7160, L""}, {8, 7122, L"D"},
    };
    for (const KeyCase& k : keys) {
        bool found = false;
        for (const ReadItem& item : read_menu(main_menu_popup(k.position))) {
            if (item.id != k.id) continue;
            found = true;
            EXPECT_EQ(wide_of(item.label->modifier) + wide_of(item.label->key), k.keys) << k.id;
        }
        EXPECT_TRUE(found) << k.id;
    }
}

TEST_F(MainMenusTest, ToolItemsFollowTheRegisteredTools) {
    MainSettings& s = g_shell.main_settings;
    clear_tools_menu();
    s.tool_path[2] = u"C:\\tools\\third.exe";
    s.tool_name[2] = u"0123456789abcdefghijklmnopqrstuvwxyzABCD";
    s.tool_path[5] = u"C:\\tools\\sixth.exe";
    s.tool_name[5] = u"Sixth";
    fill_tools_menu();
    std::vector<ReadItem> items = read_menu(main_menu_popup(3));
    ASSERT_EQ(items.size(), 8u);
    EXPECT_EQ(items[0].id, 7313u);
    EXPECT_EQ(wide_of(items[0].label->text), L"0123456789abcdefghijklmnopq(&3)");
    EXPECT_EQ(wide_of(items[0].label->key), L"3");
    EXPECT_EQ(items[1].id, 7316u);
    EXPECT_EQ(wide_of(items[1].label->text), L"Sixth(&6)");
    EXPECT_EQ(items[2].id, kSep);
    // Clearing removes the tool items and forgets the paths; the fixed part stays.
    clear_tools_menu();
    EXPECT_TRUE(s.tool_path[2].empty());
    items = read_menu(main_menu_popup(3));
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[0].id, kSep);
    fill_tools_menu();
    EXPECT_EQ(read_menu(main_menu_popup(3))[0].id, 7310u);
}

std::wstring button_tip(UINT id) {
    HWND toolbar = main_toolbar_window();
    HWND tips = reinterpret_cast<HWND>(SendMessageW(toolbar, TB_GETTOOLTIPS, 0, 0));
    wchar_t text[256] = {};
    TOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = toolbar;
    tool.uId = id;
    tool.lpszText = text;
    SendMessageW(tips, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
    return text;
}

// The options dialog's rebuild after a key change: fresh menus and tips from the edited table.
TEST_F(MainMenusTest, RebuildAfterAKeyChange) {
    EXPECT_EQ(button_tip(7150), L"サムネイル更新 (F5)");
    EXPECT_EQ(button_tip(7110), L"フォルダツリー自動表示");
    KeyTable keys = g_shell.main_keys;
    for (int i = 0; i < keys.count; ++i) {
        if (keys.entries[i].cmd == 7150) keys.entries[i].key = 0;
        if (keys.entries[i].cmd == 7110) keys.entries[i] = KeyEntry{0x0D, 'T', 7110};
    }
    HMENU old_file = main_menu_popup(0);
    destroy_main_menus();
    EXPECT_FALSE(IsMenu(old_file));
    create_main_menus();
    build_main_menus(keys);
    set_toolbar_tooltips(TTM_SETTOOLINFOW);
    EXPECT_EQ(button_tip(7150), L"サムネイル更新");
    EXPECT_EQ(button_tip(7110), L"フォルダツリー自動表示 (Ctrl+Shift+T)");
    for (const ReadItem& item : read_menu(main_menu_popup(1))) {
        if (item.id == 7150) {
            EXPECT_EQ(wide_of(item.label->key), L"");
        }
        if (item.id == 7110) {
            EXPECT_EQ(wide_of(item.label->modifier) + wide_of(item.label->key), L"Ctrl+Shift+T");
        }
    }
}

TEST_F(MainMenusTest, ItemStatesFollowTheActiveView) {
    static FileEntry entries[3];
    for (FileEntry& e : entries) e = FileEntry{};
    entries[1].marked = kEntryMarked;
    entries[1].load_info.format = 2;  // PNG
    const int active = g_shell.active_view ? 1 : 0;
    ViewState& v = view_state(active);
    v.entries = entries;
    v.count = 3;
    v.marked_count = 1;
    HMENU file = main_menu_popup(0);
    SendMessageW(g_shell.main_window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    EXPECT_EQ(GetMenuState(file, 7010, MF_BYCOMMAND) & (MF_GRAYED | MF_CHECKED), 0u);
    EXPECT_EQ(GetMenuState(file, 7040, MF_BYCOMMAND) & (MF_GRAYED | MF_CHECKED), 0u);
    EXPECT_EQ(GetMenuState(file, 7060, MF_BYCOMMAND) & MF_GRAYED, 0u);
    for (FileEntry& e : entries) e.marked = kEntryMarked;
    v.marked_count = 3;
    SendMessageW(g_shell.main_window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    EXPECT_TRUE(GetMenuState(file, 7040, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_TRUE(GetMenuState(file, 7010, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(file, 7060, MF_BYCOMMAND) & MF_GRAYED);
    v.busy = kViewBuilding;
    HMENU context = main_menu_popup(6);
    SendMessageW(g_shell.main_window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(context), 0);
    EXPECT_TRUE(GetMenuState(context, 7040, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_TRUE(GetMenuState(context, 7220, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_EQ(GetMenuState(context, 7210, MF_BYCOMMAND) & MF_GRAYED, 0u);
    v.busy = kViewIdle;
    // The View popup and its submenu from the settings.
    g_shell.main_settings.view_layout = 2;
    g_shell.main_settings.hidden_mask = 0;
    HMENU view = main_menu_popup(1);
    SendMessageW(g_shell.main_window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(view), 0);
    EXPECT_TRUE(GetMenuState(view, 7160, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_TRUE(GetMenuState(main_menu_popup(8), 7123, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_FALSE(GetMenuState(main_menu_popup(8), 7121, MF_BYCOMMAND) & MF_CHECKED);
}

TEST_F(MainMenusTest, RebarToolbarAndLists) {
    HWND rebar = g_shell.rebar;
    ASSERT_EQ(GetDlgCtrlID(rebar), 200);
    ASSERT_EQ(SendMessageW(rebar, RB_GETBANDCOUNT, 0, 0), 2);
    for (UINT band = 0; band < 2; ++band) {
        REBARBANDINFOW info = {};
        info.cbSize = REBARBANDINFOW_V6_SIZE;
        info.fMask = RBBIM_ID | RBBIM_CHILD;
        SendMessageW(rebar, RB_GETBANDINFOW, band, reinterpret_cast<LPARAM>(&info));
        EXPECT_EQ(info.wID, 201 + band);
        EXPECT_EQ(GetDlgCtrlID(info.hwndChild), static_cast<int>(201 + band));
    }

    HWND bar = g_shell.menu_toolbar;
    ASSERT_EQ(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0), 5);
    const wchar_t* captions[] = {L"ファイル(&F)", L"表示(&V)", L"イメージ(&I)", L"ツール(&T)", L"ヘルプ(&H)"};
    for (int i = 0; i < 5; ++i) {
        TBBUTTON b = {};
        SendMessageW(bar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&b));
        EXPECT_EQ(b.idCommand, 7000 + 100 * i);
        EXPECT_TRUE(b.fsStyle & BTNS_DROPDOWN);
        EXPECT_STREQ(reinterpret_cast<const wchar_t*>(b.dwData), captions[i]);
    }

    HWND toolbar = main_toolbar_window();
    ASSERT_EQ(GetDlgCtrlID(toolbar), 202);
    ASSERT_EQ(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0), 16);
    struct Expected {
        int id;
        BYTE style;
    } const expected[] = {
        {7110, BTNS_CHECK},      {7111, BTNS_CHECK},      {9910, BTNS_SEP},    {7121, BTNS_CHECKGROUP},
        {7122, BTNS_CHECKGROUP}, {7123, BTNS_CHECKGROUP}, {9910, BTNS_SEP},    {7130, BTNS_CHECK},
        {9910, BTNS_SEP},        {7140, BTNS_CHECK},      {7141, BTNS_BUTTON}, {9910, BTNS_SEP},
        {7151, BTNS_BUTTON},     {7150, BTNS_BUTTON},     {9910, BTNS_SEP},    {7500, BTNS_BUTTON}};
    for (int i = 0; i < 16; ++i) {
        TBBUTTON b = {};
        SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&b));
        EXPECT_EQ(b.idCommand, expected[i].id) << i;
        EXPECT_EQ(b.fsStyle & (BTNS_SEP | BTNS_CHECK | BTNS_GROUP), expected[i].style) << i;
    }
    // The eleven images of bitmap 160 were loaded.
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar, TB_GETIMAGELIST, 0, 0));
    ASSERT_NE(images, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(images), 11);

    EXPECT_EQ(button_tip(7150), L"サムネイル更新 (F5)");
    EXPECT_EQ(button_tip(7151), L"中止/消去 (Esc)");
    EXPECT_EQ(button_tip(7122), L"サムネイルビュー1 (D)");
    EXPECT_EQ(button_tip(7500), L"表示列数");

    HWND sizes = GetDlgItem(toolbar, kSizeListId);
    HWND filter = GetDlgItem(toolbar, kFilterListId);
    ASSERT_NE(sizes, nullptr);
    ASSERT_NE(filter, nullptr);
    auto entry = [](HWND list, int i) {
        wchar_t text[64] = {};
        SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        return std::wstring(text);
    };
    ASSERT_EQ(SendMessageW(sizes, CB_GETCOUNT, 0, 0), 10);
    EXPECT_EQ(entry(sizes, 0), L"144x108");
    EXPECT_EQ(entry(sizes, 1), L"1. -");
    EXPECT_EQ(entry(sizes, 9), L"登録");
    EXPECT_EQ(SendMessageW(sizes, CB_GETCURSEL, 0, 0), 0);
    ASSERT_EQ(SendMessageW(filter, CB_GETCOUNT, 0, 0), 6);
    EXPECT_EQ(entry(filter, 3), L"JPEG");
    EXPECT_EQ(SendMessageW(filter, CB_GETCURSEL, 0, 0), g_shell.filter_index);
    RECT bar_rect, sizes_rect, filter_rect;
    GetWindowRect(toolbar, &bar_rect);
    GetWindowRect(sizes, &sizes_rect);
    GetWindowRect(filter, &filter_rect);
    EXPECT_EQ(filter_rect.left - sizes_rect.left, 78);
    EXPECT_EQ(sizes_rect.right - sizes_rect.left, 70);

    g_shell.main_settings.view_layout = 1;
    g_shell.main_settings.preview_enabled = 1;
    g_shell.main_settings.tree_auto_show = 0;
    update_toolbar_checks();
    struct Check {
        int id;
        bool on;
    } const checks[] = {{7110, false}, {7121, false}, {7122, true}, {7123, false}, {7130, true}};
    for (const Check& c : checks)
        EXPECT_EQ((SendMessageW(toolbar, TB_GETSTATE, c.id, 0) & TBSTATE_CHECKED) != 0, c.on) << c.id;
}

std::wstring list_entry(HWND list, int i) {
    wchar_t text[64] = {};
    SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    return text;
}

struct ListTipSearch {
    HWND list;
    std::wstring text;
};

// A named procedure: the 32-bit build needs the system's calling convention, which a lambda
// does not convert to.
BOOL CALLBACK find_list_tip(HWND window, LPARAM p) {
    ListTipSearch* s = reinterpret_cast<ListTipSearch*>(p);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (lstrcmpiW(name, TOOLTIPS_CLASSW) != 0) return TRUE;
    wchar_t text[256] = {};
    TOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = GetParent(s->list);
    tool.uId = reinterpret_cast<UINT_PTR>(s->list);
    tool.lpszText = text;
    SendMessageW(window, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
    if (!text[0]) return TRUE;
    s->text = text;
    return FALSE;
}

// The tip the lists' tooltip control holds for `list`: that control is one of the thread's
// tooltip windows, told apart by whether it knows the list as a tool.
std::wstring list_tip(HWND list) {
    ListTipSearch search{list, L""};
    EnumThreadWindows(GetCurrentThreadId(), find_list_tip, reinterpret_cast<LPARAM>(&search));
    return search.text;
}

std::wstring wide_of(const std::u16string& s) {
    return std::wstring(s.begin(), s.end());
}

std::wstring menu_string(HMENU menu, int position) {
    wchar_t text[128] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 128;
    GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info);
    return text;
}

// A white 32-bit bitmap to draw one menu item into.
struct ItemCanvas {
    static constexpr int kWidth = 480, kHeight = 24;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    uint32_t* bits = nullptr;

    ItemCanvas() {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* p = nullptr;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<uint32_t*>(p);
        old = SelectObject(dc, bitmap);
        FillMemory(bits, kWidth * kHeight * 4, 0xFF);
    }
    ~ItemCanvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    std::vector<uint32_t> pixels() const {
        GdiFlush();
        return std::vector<uint32_t>(bits, bits + kWidth * kHeight);
    }
};

// What an unselected, enabled item with this text and key must look like: the menu background,
// the text from 20 pixels in, the key right-aligned 12 pixels before the end, in the menu font.
std::vector<uint32_t> expected_item_pixels(const std::wstring& text, const std::wstring& keys) {
    ItemCanvas canvas;
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = 500;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 500, &metrics, 0);
    HFONT font = CreateFontIndirectW(&metrics.lfMenuFont);
    HGDIOBJ old_font = SelectObject(canvas.dc, font);
    RECT all = {0, 0, ItemCanvas::kWidth, ItemCanvas::kHeight};
    HBRUSH menu = CreateSolidBrush(GetSysColor(COLOR_MENU));
    FillRect(canvas.dc, &all, menu);
    DeleteObject(menu);
    SetBkMode(canvas.dc, TRANSPARENT);
    SetTextColor(canvas.dc, GetSysColor(COLOR_MENUTEXT));
    RECT column = {20, 0, ItemCanvas::kWidth - 12, ItemCanvas::kHeight};
    DrawTextW(canvas.dc, text.c_str(), -1, &column, DT_SINGLELINE | DT_VCENTER);
    if (!keys.empty()) DrawTextW(canvas.dc, keys.c_str(), -1, &column, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
    SelectObject(canvas.dc, old_font);
    DeleteObject(font);
    return canvas.pixels();
}

std::vector<uint32_t> drawn_item_pixels(UINT id, const MenuItemLabel* label) {
    ItemCanvas canvas;
    DRAWITEMSTRUCT draw = {};
    draw.CtlType = ODT_MENU;
    draw.itemID = id;
    draw.hDC = canvas.dc;
    draw.rcItem = {0, 0, ItemCanvas::kWidth, ItemCanvas::kHeight};
    draw.itemData = reinterpret_cast<ULONG_PTR>(label);
    SendMessageW(g_shell.main_window, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw));
    return canvas.pixels();
}

// Every item of every popup, read back from the real menus and drawn by the main window, shows
// the text written out in main_menu_texts.h; so do the menu bar's buttons and the toolbar's tips
// and lists.
TEST_F(MainMenusTest, EveryMenuAndBarTextIsTheWrittenText) {
    std::map<UINT, std::wstring> keys_of;
    for (const main_menu_texts::Popup& expected : main_menu_texts::popups()) {
        SCOPED_TRACE(expected.position);
        HMENU menu = main_menu_popup(expected.position);
        ASSERT_TRUE(IsMenu(menu));
        const std::vector<ReadItem> items = read_menu(menu);
        ASSERT_EQ(items.size(), expected.items.size());
        for (size_t i = 0; i < items.size(); ++i) {
            const main_menu_texts::Item& want = expected.items[i];
            const ReadItem& item = items[i];
            ASSERT_EQ(item.id, want.id) << i;
            if (!want.text) continue;
            const std::wstring text = wide_of(std::u16string(want.text));
            EXPECT_EQ(menu_string(menu, static_cast<int>(i)), text) << item.id;
            ASSERT_NE(item.label, nullptr) << item.id;
            EXPECT_EQ(wide_of(item.label->text), text) << item.id;
            const std::wstring keys = wide_of(item.label->modifier) + wide_of(item.label->key);
            keys_of[item.id] = keys;
            EXPECT_TRUE(drawn_item_pixels(item.id, item.label) == expected_item_pixels(text, keys))
                << "drawn text of " << item.id;
        }
    }

    HWND bar = g_shell.menu_toolbar;
    const std::vector<main_menu_texts::Item>& captions = main_menu_texts::menu_bar();
    ASSERT_EQ(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0), static_cast<LRESULT>(captions.size()));
    for (size_t i = 0; i < captions.size(); ++i) {
        TBBUTTON b = {};
        SendMessageW(bar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&b));
        EXPECT_EQ(b.idCommand, captions[i].id);
        EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(b.dwData)),
                  wide_of(std::u16string(captions[i].text)));
    }

    // A tip carries its command's key as the menus show it; the columns button never does.
    for (const main_menu_texts::Item& tip : main_menu_texts::toolbar_tips()) {
        std::wstring want = wide_of(std::u16string(tip.text));
        if (tip.id != 7500 && !keys_of[tip.id].empty()) want += L" (" + keys_of[tip.id] + L")";
        EXPECT_EQ(button_tip(tip.id), want) << tip.id;
    }
    HWND toolbar = main_toolbar_window();
    HWND sizes = GetDlgItem(toolbar, kSizeListId);
    HWND filter = GetDlgItem(toolbar, kFilterListId);
    EXPECT_EQ(list_entry(sizes, 9), wide_of(std::u16string(main_menu_texts::size_register_entry())));
    const std::vector<const char16_t*>& filters = main_menu_texts::filter_entries();
    ASSERT_EQ(SendMessageW(filter, CB_GETCOUNT, 0, 0), static_cast<LRESULT>(filters.size()));
    for (size_t i = 0; i < filters.size(); ++i)
        EXPECT_EQ(list_entry(filter, static_cast<int>(i)), wide_of(std::u16string(filters[i])));
    EXPECT_EQ(list_tip(sizes), wide_of(std::u16string(main_menu_texts::size_list_tip())));
    EXPECT_EQ(list_tip(filter), wide_of(std::u16string(main_menu_texts::filter_list_tip())));
}

// What the dialog showed before the timer typed into it and pressed OK.
struct DialogSeen {
    bool found = false;
    std::wstring caption;
    std::wstring first_width;
    LRESULT limit = 0;
    POINT corner = {};
};
DialogSeen g_seen;

void CALLBACK fill_size_dialog(HWND, UINT, UINT_PTR timer, DWORD) noexcept {
    HWND dialog = FindWindowW(L"#32770", L"サイズ登録");
    if (!dialog) return;
    KillTimer(nullptr, timer);
    g_seen.found = true;
    wchar_t text[64] = {};
    GetWindowTextW(dialog, text, 64);
    g_seen.caption = text;
    GetDlgItemTextW(dialog, kSizePresetsFirstWidthId, text, 64);
    g_seen.first_width = text;
    g_seen.limit = SendDlgItemMessageW(dialog, kSizePresetsFirstWidthId + 7, EM_GETLIMITTEXT, 0, 0);
    RECT r;
    GetWindowRect(dialog, &r);
    g_seen.corner = {r.left, r.top};
    SetDlgItemTextW(dialog, kSizePresetsFirstWidthId, L"20");
    SetDlgItemTextW(dialog, kSizePresetsFirstHeightId, L"900");
    SetDlgItemTextW(dialog, kSizePresetsFirstWidthId + 1, L"50");
    SetDlgItemTextW(dialog, kSizePresetsFirstHeightId + 1, L"");
    SetDlgItemTextW(dialog, kSizePresetsFirstWidthId + 4, L"300");
    SetDlgItemTextW(dialog, kSizePresetsFirstHeightId + 4, L"200");
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

TEST_F(MainMenusTest, SizeListChoicesAndTheRegistrationDialog) {
    MainSettings& s = g_shell.main_settings;
    HWND sizes = GetDlgItem(main_toolbar_window(), kSizeListId);
    s.presets[0] = {200, 150};
    s.presets[1] = {};
    auto choose = [&](int entry) {
        SendMessageW(sizes, CB_SETCURSEL, static_cast<WPARAM>(entry), 0);
        size_preset_selected(sizes);
    };
    choose(1);
    EXPECT_EQ(s.thumb_width, 200);
    EXPECT_EQ(s.thumb_height, 150);
    EXPECT_EQ(list_entry(sizes, 0), L"200x150");
    EXPECT_EQ(SendMessageW(sizes, CB_GETCURSEL, 0, 0), 0);
    choose(2);  // empty: takes the current size
    EXPECT_EQ(s.presets[1].width, 200);
    EXPECT_EQ(list_entry(sizes, 2), L"2. 200x150");
    EXPECT_EQ(SendMessageW(sizes, CB_GETCURSEL, 0, 0), 0);

    g_seen = DialogSeen{};
    SetTimer(nullptr, 0, 50, fill_size_dialog);
    choose(9);
    ASSERT_TRUE(g_seen.found);
    EXPECT_EQ(g_seen.caption, L"サイズ登録");
    EXPECT_EQ(g_seen.first_width, L"200");
    EXPECT_EQ(g_seen.limit, 3);
    RECT list_rect;
    GetWindowRect(sizes, &list_rect);
    EXPECT_EQ(g_seen.corner.x, list_rect.left);
    EXPECT_EQ(g_seen.corner.y, list_rect.bottom);
    EXPECT_EQ(s.presets[0].width, 32);
    EXPECT_EQ(s.presets[0].height, 800);
    EXPECT_EQ(s.presets[1].width, 0);
    EXPECT_EQ(s.presets[1].height, 0);
    EXPECT_EQ(s.presets[4].width, 300);
    EXPECT_EQ(list_entry(sizes, 1), L"1. 32x800");
    EXPECT_EQ(list_entry(sizes, 2), L"2. -");
    EXPECT_EQ(list_entry(sizes, 5), L"5. 300x200");
    EXPECT_EQ(list_entry(sizes, 9), L"登録");
    EXPECT_EQ(SendMessageW(sizes, CB_GETCOUNT, 0, 0), 10);
    EXPECT_EQ(SendMessageW(sizes, CB_GETCURSEL, 0, 0), 0);
}

void send_key(WORD key, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
}

void press(WORD key) {
    send_key(key, false);
    send_key(key, true);
}

bool wait_for(const std::function<bool()>& done, DWORD timeout_ms = 5000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeout_ms) return false;
        Sleep(20);
    }
    return true;
}

struct KeyboardRun {
    std::vector<int> open_menus;  // the open-menu id after each step, -2 when it never came
    bool menu_window_seen = false;
    volatile LONG done = 0;
};

int wait_open_menu(int wanted) {
    return wait_for([&] { return g_shell.open_menu == wanted; }) ? wanted : -2;
}

// Types on another thread while the main thread runs the menus' modal loops.
unsigned __stdcall type_alt_f_and_arrows(void* arg) noexcept {
    KeyboardRun& run = *static_cast<KeyboardRun*>(arg);
    send_key(VK_MENU, false);
    send_key(VK_MENU, true);
    wait_for([] { return g_shell.menu_keyboard_mode; });
    press('F');
    run.open_menus.push_back(wait_open_menu(7000));
    run.menu_window_seen = wait_for([] {
        HWND menu = FindWindowW(L"#32768", nullptr);
        return menu && IsWindowVisible(menu);
    });
    char hold[16] = {};
    if (GetEnvironmentVariableA("PX_HOLD_OPEN_MENU_MS", hold, sizeof hold))
        Sleep(static_cast<DWORD>(atoi(hold)));
    press(VK_RIGHT);
    run.open_menus.push_back(wait_open_menu(7100));
    press(VK_RIGHT);
    run.open_menus.push_back(wait_open_menu(7200));
    press(VK_LEFT);
    run.open_menus.push_back(wait_open_menu(7100));
    press(VK_LEFT);
    run.open_menus.push_back(wait_open_menu(7000));
    press(VK_LEFT);
    run.open_menus.push_back(wait_open_menu(7400));
    press(VK_ESCAPE);
    run.open_menus.push_back(wait_open_menu(-1));
    // A menu left open would keep the main thread in its modal loop for ever.
    for (int i = 0; i < 20 && g_shell.open_menu != -1; ++i) {
        EndMenu();
        press(VK_ESCAPE);
        Sleep(100);
    }
    InterlockedExchange(&run.done, 1);
    return 0;
}

TEST_F(MainMenusTest, AltThenFOpensFileAndTheArrowsMoveBetweenMenus) {
    SetForegroundWindow(g_shell.main_window);
    SetFocus(g_shell.main_window);
    SendMessageW(g_shell.main_window, WM_ACTIVATE, WA_ACTIVE, 0);
    ASSERT_EQ(g_shell.main_active, 1);
    KeyboardRun run;
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, type_alt_f_and_arrows, &run, 0, nullptr));
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(pump_until([&] { return run.done != 0; }, 60000));
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    EXPECT_TRUE(run.menu_window_seen);
    EXPECT_EQ(run.open_menus, (std::vector<int>{7000, 7100, 7200, 7100, 7000, 7400, -1}));
    EXPECT_FALSE(g_shell.menu_keyboard_mode);
    EXPECT_EQ(menu_bar_hot(), -1);
}

// What the user saw of the columns popup and which keys chose from it.
struct ColumnsRun {
    std::vector<WORD> keys;
    int open_menu = -2;
    RECT menu_window = {};
    volatile LONG done = 0;
};

unsigned __stdcall choose_from_columns_popup(void* arg) noexcept {
    ColumnsRun& run = *static_cast<ColumnsRun*>(arg);
    HWND menu = nullptr;
    wait_for([&] {
        menu = FindWindowW(L"#32768", nullptr);
        return menu && IsWindowVisible(menu) && g_shell.open_menu == 7500;
    });
    run.open_menu = g_shell.open_menu;
    if (menu) GetWindowRect(menu, &run.menu_window);
    for (WORD key : run.keys) press(key);
    wait_for([] { return g_shell.open_menu == -1; });
    for (int i = 0; i < 20 && g_shell.open_menu != -1; ++i) {
        EndMenu();
        press(VK_ESCAPE);
        Sleep(100);
    }
    InterlockedExchange(&run.done, 1);
    return 0;
}

TEST_F(MainMenusTest, TheColumnsPopupOpensBelowItsButtonAndTheChoiceSetsTheBoxSize) {
    SetForegroundWindow(g_shell.main_window);
    SetFocus(g_shell.main_window);
    SendMessageW(g_shell.main_window, WM_ACTIVATE, WA_ACTIVE, 0);
    MainSettings& s = g_shell.main_settings;
    s.thumb_width = 123;
    s.thumb_height = 45;
    HWND body = view_base_window(g_shell.active_view);
    if (!body) body = g_shell.view_frame[g_shell.active_view];
    ASSERT_NE(body, nullptr);
    RECT client = {};
    GetClientRect(body, &client);
    HWND toolbar = main_toolbar_window();
    RECT button = {};
    ASSERT_TRUE(SendMessageW(toolbar, TB_GETRECT, 7500, reinterpret_cast<LPARAM>(&button)));
    POINT corner = {button.left, button.bottom};
    ClientToScreen(toolbar, &corner);

    struct Case {
        const char* name;
        std::vector<WORD> keys;
        int columns;  // 0: the popup is left without a choice
    } const cases[] = {
        {"Esc leaves the size", {VK_ESCAPE}, 0},
        {"the third item is four columns", {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}, 4},
        {"the last item is twenty columns", {VK_UP, VK_RETURN}, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int32_t width_before = s.thumb_width;
        const int32_t height_before = s.thumb_height;
        ColumnsRun run;
        run.keys = c.keys;
        HANDLE thread =
            reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, choose_from_columns_popup, &run, 0, nullptr));
        ASSERT_NE(thread, nullptr);
        // The button's own command, as a click on it sends.
        PostMessageW(g_shell.main_window, WM_COMMAND, MAKEWPARAM(7500, BN_CLICKED),
                     reinterpret_cast<LPARAM>(toolbar));
        EXPECT_TRUE(pump_until([&] { return run.done != 0; }, 30000));
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
        pump_until([] { return false; }, 200);
        EXPECT_EQ(run.open_menu, 7500);
        EXPECT_EQ(run.menu_window.left, corner.x);
        EXPECT_EQ(run.menu_window.top, corner.y);
        EXPECT_EQ(g_shell.open_menu, -1);
        if (c.columns == 0) {
            EXPECT_EQ(s.thumb_width, width_before);
            EXPECT_EQ(s.thumb_height, height_before);
            continue;
        }
        const SizePreset box = columns_box(client.right, c.columns);
        EXPECT_EQ(s.thumb_width, box.width);
        EXPECT_EQ(s.thumb_height, box.height);
        const std::wstring expected = std::to_wstring(box.width) + L"x" + std::to_wstring(box.height);
        EXPECT_EQ(list_entry(GetDlgItem(toolbar, kSizeListId), 0), expected);
    }
}

struct MouseRun {
    POINT view_button = {};  // screen centre of the menu bar's View button
    std::vector<int> open_menus;
    volatile LONG done = 0;
};

void move_mouse_to(POINT p) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((p.x * 65536 + 65535) / GetSystemMetrics(SM_CXSCREEN));
    input.mi.dy = static_cast<LONG>((p.y * 65536 + 65535) / GetSystemMetrics(SM_CYSCREEN));
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
}

unsigned __stdcall open_file_then_move_to_view(void* arg) noexcept {
    MouseRun& run = *static_cast<MouseRun*>(arg);
    send_key(VK_MENU, false);
    send_key(VK_MENU, true);
    wait_for([] { return g_shell.menu_keyboard_mode; });
    press('F');
    run.open_menus.push_back(wait_open_menu(7000));
    move_mouse_to(run.view_button);
    run.open_menus.push_back(wait_open_menu(7100));
    // The click that opened View may leave the button's own mouse handling pending; the menu is
    // closed directly rather than by a key that handling could swallow.
    EndMenu();
    int closed = wait_open_menu(-1);
    // Ending the menu from another thread is not always honoured at once, and under load a key
    // can arrive before the menu loop reads input: Esc closes it too, asked again until it is.
    for (int i = 0; i < 20 && closed != -1; ++i) {
        EndMenu();
        press(VK_ESCAPE);
        closed = wait_open_menu(-1);
    }
    run.open_menus.push_back(closed);
    InterlockedExchange(&run.done, 1);
    return 0;
}

TEST_F(MainMenusTest, MovingTheMouseOntoAnotherButtonSwitchesMenus) {
    SetForegroundWindow(g_shell.main_window);
    SetFocus(g_shell.main_window);
    SendMessageW(g_shell.main_window, WM_ACTIVATE, WA_ACTIVE, 0);
    MouseRun run;
    RECT r = {};
    SendMessageW(g_shell.menu_toolbar, TB_GETRECT, 7100, reinterpret_cast<LPARAM>(&r));
    run.view_button = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(g_shell.menu_toolbar, &run.view_button);
    // Start away from the bar, so that only the move onto the View button can switch.
    SetCursorPos(run.view_button.x + 300, run.view_button.y + 300);
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, open_file_then_move_to_view, &run, 0, nullptr));
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(pump_until([&] { return run.done != 0; }, 60000));
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    EXPECT_EQ(run.open_menus, (std::vector<int>{7000, 7100, -1}));
}
int g_seen_open_menu = 0;

// Runs inside the popup's modal loop: records which menu is open and closes it.
void CALLBACK close_open_menu(HWND, UINT, UINT_PTR timer, DWORD) noexcept {
    if (g_shell.open_menu == -1) return;
    KillTimer(nullptr, timer);
    g_seen_open_menu = g_shell.open_menu;
    EndMenu();
}

TEST_F(MainMenusTest, RequestsOpenTheirPopups) {
    struct Case {
        WPARAM code;
        LPARAM value;
        int hot_before;
        int open_menu;
    } const cases[] = {
        {113, 0, -1, 7000},
        {115, 2, -1, 7200},
        {117, 4, -1, 7400},
        {110, 0, 3, 7300},  // the hot button's popup
        {110, 0, -1, 0},    // nothing is hot: nothing opens
        {121, MAKELPARAM(120, 140), -1, 7700},
    };
    for (const Case& c : cases) {
        set_menu_bar_hot(c.hot_before);
        g_seen_open_menu = 0;
        const UINT_PTR timer = SetTimer(nullptr, 0, 30, close_open_menu);
        PostMessageW(g_shell.main_window, kAppMessage, c.code, c.value);
        pump_until([&] { return g_seen_open_menu != 0 && g_shell.open_menu == -1; }, 1500);
        KillTimer(nullptr, timer);
        EXPECT_EQ(g_seen_open_menu, c.open_menu) << c.code;
        EXPECT_EQ(g_shell.open_menu, -1) << c.code;
        if (c.code != kMainThumbMenu) {
            EXPECT_EQ(menu_bar_hot(), -1) << c.code;  // cleared when the popup closes
        }
    }
}

BOOL CALLBACK count_menu_window(HWND window, LPARAM count) noexcept {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"#32768") == 0 && IsWindowVisible(window)) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int visible_menu_windows() {
    int count = 0;
    EnumWindows(count_menu_window, reinterpret_cast<LPARAM>(&count));
    return count;
}

struct SubmenuRun {
    std::vector<int> menus_shown;  // visible menu windows after each step
    std::vector<int> open_menus;
    volatile LONG done = 0;
};

// In the View popup, Right on the submenu item opens the submenu and Left closes it again; only
// then does Left go on to the File popup.
unsigned __stdcall walk_into_the_view_submenu(void* arg) noexcept {
    SubmenuRun& run = *static_cast<SubmenuRun*>(arg);
    send_key(VK_MENU, false);
    send_key(VK_MENU, true);
    wait_for([] { return g_shell.menu_keyboard_mode; });
    press('V');
    run.open_menus.push_back(wait_open_menu(7100));
    wait_for([] { return visible_menu_windows() == 1; });
    for (int i = 0; i < 3; ++i) press(VK_DOWN);  // 7110, 7111, then past the separator to 7120
    Sleep(300);
    press(VK_RIGHT);
    wait_for([] { return visible_menu_windows() == 2; }, 2000);
    run.menus_shown.push_back(visible_menu_windows());
    run.open_menus.push_back(g_shell.open_menu);
    press(VK_LEFT);
    wait_for([] { return visible_menu_windows() == 1; }, 2000);
    Sleep(300);
    run.menus_shown.push_back(visible_menu_windows());
    run.open_menus.push_back(g_shell.open_menu);
    press(VK_LEFT);
    run.open_menus.push_back(wait_open_menu(7000));
    press(VK_ESCAPE);
    run.open_menus.push_back(wait_open_menu(-1));
    for (int i = 0; i < 20 && g_shell.open_menu != -1; ++i) {
        EndMenu();
        press(VK_ESCAPE);
        Sleep(100);
    }
    InterlockedExchange(&run.done, 1);
    return 0;
}

TEST_F(MainMenusTest, ArrowsOpenAndCloseTheViewSubmenuBeforeSwitching) {
    SetForegroundWindow(g_shell.main_window);
    SetFocus(g_shell.main_window);
    SendMessageW(g_shell.main_window, WM_ACTIVATE, WA_ACTIVE, 0);
    SubmenuRun run;
    HANDLE thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, walk_into_the_view_submenu, &run, 0, nullptr));
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(pump_until([&] { return run.done != 0; }, 60000));
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    EXPECT_EQ(run.menus_shown, (std::vector<int>{2, 1}));
    EXPECT_EQ(run.open_menus, (std::vector<int>{7100, 7100, 7100, 7000, -1}));
}

TEST_F(MainMenusTest, TheTreeAndTheInformationListTakeTheFocusUnderTheMouse) {
    SetForegroundWindow(g_shell.main_window);
    SendMessageW(g_shell.main_window, WM_ACTIVATE, WA_ACTIVE, 0);
    SetFocus(g_shell.main_window);
    auto centre = [](HWND window) {
        RECT r = {};
        GetWindowRect(window, &r);
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    };
    RECT bar = {};
    GetWindowRect(main_toolbar_window(), &bar);
    struct Step {
        POINT point;
        HWND focus;
    } const steps[] = {
        {centre(g_shell.tree), g_shell.tree},
        {centre(g_shell.info_list), g_shell.info_list},
        {POINT{bar.right - 4, (bar.top + bar.bottom) / 2}, g_shell.main_window},
        {centre(g_shell.tree), g_shell.tree},
    };
    for (const Step& st : steps) {
        move_mouse_to(st.point);
        EXPECT_TRUE(pump_until([&] { return GetFocus() == st.focus; }, 3000))
            << st.point.x << "," << st.point.y;
    }
}

TEST_F(MainMenusTest, ShiftOverTheTreeShowsTheOtherViewsCursorAndAnActiveViewChangeRetargets) {
    SetForegroundWindow(g_shell.main_window);
    SendMessageW(g_shell.main_window, WM_ACTIVATE, WA_ACTIVE, 0);
    SetFocus(g_shell.main_window);
    ASSERT_EQ(g_shell.active_view, 0);
    RECT tree = {};
    GetWindowRect(g_shell.tree, &tree);
    move_mouse_to({(tree.left + tree.right) / 2, (tree.top + tree.bottom) / 2});
    ASSERT_TRUE(pump_until([] { return GetFocus() == g_shell.tree; }, 3000));
    struct Step {
        const char* name;
        std::function<void()> act;
        TreeCursor cursor;
        int target_view;
    } const steps[] = {
        {"Shift pressed", [] { send_key(VK_SHIFT, false); }, TreeCursor::view2, 1},
        {"Shift released", [] { send_key(VK_SHIFT, true); }, TreeCursor::view1, 0},
        {"view 2 became active",
         [] {
             g_shell.active_view = 1;
             PostMessageW(g_shell.main_window, kAppMessage, kMainActiveView, 0);
         },
         TreeCursor::view2, 1},
    };
    for (const Step& st : steps) {
        SCOPED_TRACE(st.name);
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        st.act();
        EXPECT_TRUE(pump_until([&] { return GetCursor() == tree_cursor(st.cursor); }, 3000));
        EXPECT_EQ(tree_target_view_now(), st.target_view);
    }
    g_shell.active_view = 0;
}

COLORREF pixel_at(const uint32_t* bits, int width, int height, int x, int y) {
    const uint32_t v = bits[(height - 1 - y) * width + x];  // bottom-up rows, 0x00RRGGBB
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

TEST_F(MainMenusTest, OwnerDrawnItemsMeasureAndPaint) {
    const MenuItemLabel* label = nullptr;
    for (const ReadItem& item : read_menu(main_menu_popup(0)))
        if (item.id == 7040) label = item.label;
    ASSERT_NE(label, nullptr);

    // Measured with the menu font of the non-client metrics: text, modifier and key joined.
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = 500;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 500, &metrics, 0));
    HFONT font = CreateFontIndirectW(&metrics.lfMenuFont);
    HDC screen = GetDC(g_shell.main_window);
    HGDIOBJ old_font = SelectObject(screen, font);
    SIZE extent = {};
    const std::wstring joined = L"すべて選択(&L)Ctrl+A";
    GetTextExtentPoint32W(screen, joined.c_str(), static_cast<int>(joined.size()), &extent);
    SelectObject(screen, old_font);
    ReleaseDC(g_shell.main_window, screen);
    DeleteObject(font);
    MEASUREITEMSTRUCT measure = {};
    measure.CtlType = ODT_MENU;
    measure.itemID = 7040;
    measure.itemData = reinterpret_cast<ULONG_PTR>(label);
    EXPECT_EQ(SendMessageW(g_shell.main_window, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure)), 1);
    EXPECT_EQ(measure.itemWidth, static_cast<UINT>(extent.cx + 20));
    EXPECT_EQ(measure.itemHeight, static_cast<UINT>(extent.cy + 6));

    constexpr int kWidth = 200, kHeight = 24;
    const COLORREF kBlack = RGB(0, 0, 0), kPenA = RGB(72, 144, 144), kPenB = RGB(192, 96, 192),
                   kLight = RGB(232, 255, 255), kWhite = RGB(255, 255, 255);
    const COLORREF menu = GetSysColor(COLOR_MENU);
    struct Case {
        UINT state;
        COLORREF corner;     // (0, 0): the selection frame
        COLORREF inside;     // (2, 20): behind the item, left of the text
        COLORREF box_edge;   // (4, 4): the check box
        COLORREF box_cross;  // (5, 5): the cross in it
        COLORREF box_blank;  // (10, 5): inside the box, off the cross
    } const cases[] = {
        {ODS_SELECTED, kPenA, kLight, kLight, kLight, kLight},
        {ODS_SELECTED | ODS_CHECKED, kPenA, kLight, kPenB, kPenB, kWhite},
        {0, menu, menu, menu, menu, menu},
        {ODS_CHECKED, menu, menu, kPenB, kPenB, kWhite},
        {ODS_GRAYED | ODS_DISABLED | ODS_SELECTED | ODS_CHECKED, kBlack, kBlack, kBlack, kBlack, kBlack},
    };
    for (const Case& c : cases) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(bitmap, nullptr);
        HGDIOBJ old = SelectObject(dc, bitmap);
        ZeroMemory(bits, kWidth * kHeight * 4);
        DRAWITEMSTRUCT draw = {};
        draw.CtlType = ODT_MENU;
        draw.itemID = 7040;
        draw.itemState = c.state;
        draw.hDC = dc;
        draw.rcItem = {0, 0, kWidth, kHeight};
        draw.itemData = reinterpret_cast<ULONG_PTR>(label);
        EXPECT_EQ(SendMessageW(g_shell.main_window, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw)), 1);
        GdiFlush();
        const uint32_t* p = static_cast<const uint32_t*>(bits);
        EXPECT_EQ(pixel_at(p, kWidth, kHeight, 0, 0), c.corner) << c.state;
        EXPECT_EQ(pixel_at(p, kWidth, kHeight, 2, 20), c.inside) << c.state;
        EXPECT_EQ(pixel_at(p, kWidth, kHeight, 4, 4), c.box_edge) << c.state;
        EXPECT_EQ(pixel_at(p, kWidth, kHeight, 5, 5), c.box_cross) << c.state;
        EXPECT_EQ(pixel_at(p, kWidth, kHeight, 10, 5), c.box_blank) << c.state;
        // Some text was drawn in the text column, and the key at the right edge.
        bool text = false, key = false;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 20; x < 80; ++x)
                text |= pixel_at(p, kWidth, kHeight, x, y) != pixel_at(p, kWidth, kHeight, 2, 20);
            for (int x = kWidth - 40; x < kWidth - 12; ++x)
                key |= pixel_at(p, kWidth, kHeight, x, y) != pixel_at(p, kWidth, kHeight, 2, 20);
        }
        EXPECT_TRUE(text) << c.state;
        EXPECT_TRUE(key) << c.state;
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
}

}  // namespace
