// The folder tree pane under Wine on scratch folders in the registered branch: selections into
// the views, the context commands, file drops, folder deletion, the name dialog's follow-ups
// and the information list.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
// clang-format on
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "codecs/codec_context.h"
#include "codecs/conversion_context.h"
#include "codecs/file_type.h"
#include "codecs/jpeg/exif.h"
#include "codecs/jpeg/jpeg.h"
#include "codecs/png/png.h"
#include "common/win/app_messages.h"
#include "shell/core/folder_listing.h"
#include "shell/entry_points.h"
#include "shell/folder_tree.h"
#include "shell/main_menus.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"
#include "shell/thumbnail_view.h"
#include "shell/thumbnail_view_parts.h"
#include "tests/shell/unique_scratch.h"
#include "tests/support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::wstring wide_of(const std::u16string& s) {
    return std::wstring(s.begin(), s.end());
}

std::u16string u16_of(const std::wstring& s) {
    return std::u16string(s.begin(), s.end());
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void make_file(const std::wstring& path, const Bytes& bytes = {'x'}) {
    ASSERT_TRUE(write_bytes(u16_of(path), bytes));
}

std::wstring shown_in(int view) {
    wchar_t folder[MAX_PATH] = {};
    view_folder(view, folder);
    return folder;
}

// The codes each stand-in view frame received.
std::vector<WPARAM> g_frame_codes[2];

LRESULT CALLBACK frame_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    if (message == kAppMessage) {
        for (int v = 0; v < 2; ++v)
            if (window == g_shell.view_frame[v]) g_frame_codes[v].push_back(wparam);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void set_shift(bool down) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

// Ends a context menu that the main menus may have opened, so that the test goes on.
void CALLBACK end_open_menu(HWND, UINT, UINT_PTR, DWORD) {
    EndMenu();
}

class TreePaneWinTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_shell.instance = GetModuleHandleW(nullptr);
        if (!g_shell.ui_font.valid()) create_ui_font();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        WNDCLASSEXW existing = {sizeof existing};
        if (!GetClassInfoExW(g_shell.instance, L"Pexaron_trbase_class", &existing))
            register_window_class(tree_pane_proc, nullptr, LoadCursorW(nullptr, IDC_ARROW), COLOR_BTNFACE + 1,
                                  L"Pexaron_trbase_class");
        if (!GetClassInfoExW(g_shell.instance, L"tree_test_frame", &existing))
            register_window_class(frame_proc, nullptr, LoadCursorW(nullptr, IDC_ARROW), COLOR_WINDOW + 1,
                                  L"tree_test_frame");
        g_shell.main_settings = MainSettings{};
        g_shell.main_settings.tree_width = 180;
        g_shell.main_settings.info_column_width[0] = 60;
        g_shell.main_settings.info_column_width[1] = 100;
        g_shell.active_view = 0;
        g_shell.view_busy[0] = g_shell.view_busy[1] = 0;
        for (auto& codes : g_frame_codes) codes.clear();
        base_ = wide_of(unique_scratch_path("pane"));
        CreateDirectoryW(base_.c_str(), nullptr);
    }

    void TearDown() override {
        for (int v = 0; v < 2; ++v) {
            open_folder_in_view(v, L"");
            ViewState& state = view_state(v);
            state.entries = nullptr;
            state.count = state.marked_count = 0;
            state.folder[0] = 0;
            g_shell.view_frame[v] = nullptr;
        }
        set_file_drag_state(0);
        set_shift(false);
        install_shell_entry_points(ShellEntryPoints{});
        if (client_) DestroyWindow(client_);
        // The program registers the pane's class itself when it starts: a later test that
        // starts it must not find this one.
        UnregisterClassW(L"Pexaron_trbase_class", g_shell.instance);
        g_shell.client_window = nullptr;
        g_shell.tree_pane = nullptr;
        g_shell.tree = nullptr;
        g_shell.info_list = nullptr;
        g_shell.active_view = 0;
        g_shell.view_busy[0] = g_shell.view_busy[1] = 0;
        g_shell.main_settings = MainSettings{};
        CoUninitialize();
    }

    // The pane left of two view frames, as the main window lays them out side by side.
    void create_pane(const std::vector<std::wstring>& folders) {
        for (const std::wstring& f : folders) g_shell.main_settings.folders.push_back(u16_of(f));
        client_ = CreateWindowExW(0, L"STATIC", nullptr, WS_POPUP, 0, 0, 600, 600, nullptr, nullptr,
                                  g_shell.instance, nullptr);
        ASSERT_NE(client_, nullptr);
        g_shell.client_window = client_;
        create_folder_tree_pane(client_);
        ASSERT_NE(g_shell.tree, nullptr);
        // A tree without height crashes the control when it discards a root item's children.
        SetWindowPos(g_shell.tree_pane, nullptr, 0, -30, 200, 660, SWP_NOZORDER | SWP_NOACTIVATE);
        for (int v = 0; v < 2; ++v)
            g_shell.view_frame[v] =
                CreateWindowExW(0, L"tree_test_frame", nullptr, WS_CHILD | WS_VISIBLE, 200 + v * 200, 0, 200,
                                600, client_, nullptr, g_shell.instance, nullptr);
        ASSERT_NE(registered_root_item(), nullptr);
    }

    std::wstring sub(const std::wstring& name) {
        const std::wstring path = base_ + L"\\" + name;
        CreateDirectoryW(path.c_str(), nullptr);
        return path;
    }

    HTREEITEM item_of(const std::wstring& path, HTREEITEM parent = nullptr) {
        return find_child_by_path(path.c_str(), parent ? parent : registered_root_item());
    }

    // The middle of an item's text, in the tree's client coordinates.
    static POINT point_on(HTREEITEM item) {
        RECT rc = {};
        TreeView_GetItemRect(g_shell.tree, item, &rc, TRUE);
        return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }

    // The context menu on `item`, then `command` from it.
    void menu_command(HTREEITEM item, int command) {
        POINT at = point_on(item);
        ClientToScreen(g_shell.tree, &at);
        const UINT_PTR timer = SetTimer(nullptr, 0, 100, end_open_menu);
        SendMessageW(g_shell.tree_pane, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(g_shell.tree),
                     MAKELPARAM(at.x, at.y));
        KillTimer(nullptr, timer);
        SendMessageW(g_shell.tree_pane, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    }

    // Publishes `names` as view `view`'s entries in `folder`, marking those in `marked`.
    void publish(int view, const std::wstring& folder, const std::vector<std::wstring>& names,
                 const std::vector<bool>& marked) {
        entries_[view].assign(names.size(), FileEntry{});
        int32_t count = 0;
        for (size_t i = 0; i < names.size(); ++i) {
            FileEntry& e = entries_[view][i];
            std::memset(&e, 0, sizeof e);
            lstrcpynW(reinterpret_cast<wchar_t*>(e.name), names[i].c_str(), kViewPathChars);
            e.marked = marked[i] ? kEntryMarked : 0;
            count += marked[i] ? 1 : 0;
        }
        ViewState& state = view_state(view);
        state.entries = entries_[view].data();
        state.count = static_cast<int32_t>(names.size());
        state.marked_count = count;
        lstrcpynW(reinterpret_cast<wchar_t*>(state.folder), folder.c_str(), kViewPathChars);
        open_folder_in_view(view, folder.c_str());
    }

    std::wstring base_;
    HWND client_ = nullptr;
    std::vector<FileEntry> entries_[2];
};

TEST_F(TreePaneWinTest, SelectionOpensInTheActiveViewAndWithShiftInTheOther) {
    const std::wstring a = sub(L"a");
    const std::wstring b = sub(L"b");
    create_pane({a, b});
    ASSERT_TRUE(go_to_path(a.c_str()));
    SendMessageW(g_shell.tree, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(shown_in(0), b);
    EXPECT_EQ(shown_in(1), L"");

    set_shift(true);
    SendMessageW(g_shell.tree, WM_KEYDOWN, VK_UP, 0);
    set_shift(false);
    EXPECT_EQ(shown_in(1), a);
    EXPECT_EQ(shown_in(0), b);
    EXPECT_EQ(tree_linked_item(1), item_of(a));
    EXPECT_EQ(tree_linked_item(0), item_of(b));

    // Shift over the tree: the other view is the target and the selection goes, no view moves.
    set_tree_target_view(true, false);
    EXPECT_EQ(tree_target_view_now(), 1);
    EXPECT_EQ(TreeView_GetSelection(g_shell.tree), nullptr);
    // Released: the active view's folder is selected again without reopening anything.
    open_folder_in_view(0, L"");
    set_tree_target_view(false, true);
    EXPECT_EQ(tree_target_view_now(), 0);
    EXPECT_EQ(TreeView_GetSelection(g_shell.tree), item_of(b));
    EXPECT_EQ(shown_in(0), L"");
}

TEST_F(TreePaneWinTest, ContextCommandsShowInEitherViewAndRegister) {
    const std::wstring a = sub(L"a");
    const std::wstring inner = a + L"\\inner";
    CreateDirectoryW(inner.c_str(), nullptr);
    create_pane({a});
    HTREEITEM a_item = item_of(a);
    SendMessageW(g_shell.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(a_item));
    HTREEITEM inner_item = item_of(inner, a_item);
    ASSERT_NE(inner_item, nullptr);

    menu_command(inner_item, 7611);
    EXPECT_EQ(shown_in(1), inner);
    EXPECT_EQ(shown_in(0), L"");
    EXPECT_EQ(TreeView_GetSelection(g_shell.tree), nullptr);
    EXPECT_EQ(tree_linked_item(1), inner_item);
    menu_command(a_item, 7610);
    EXPECT_EQ(shown_in(0), a);
    EXPECT_EQ(TreeView_GetSelection(g_shell.tree), nullptr);

    // The registered root offers no menu: a command afterwards has no item to act on.
    open_folder_in_view(0, L"");
    menu_command(registered_root_item(), 7610);
    EXPECT_EQ(shown_in(0), L"");

    menu_command(inner_item, 7620);
    EXPECT_EQ(g_shell.main_settings.folders, (std::vector<std::u16string>{u16_of(a), u16_of(inner)}));
    menu_command(item_of(a), 7621);
    EXPECT_EQ(g_shell.main_settings.folders, std::vector<std::u16string>{u16_of(inner)});
}

bool greyed(HMENU popup, int id) {
    return (GetMenuState(popup, static_cast<UINT>(id), MF_BYCOMMAND) & MF_GRAYED) != 0;
}

TEST_F(TreePaneWinTest, TheContextMenuIsTheTreePopupWithTheTargetItemsStates) {
    KeyTable keys;
    keys.count = kMainKeyCount;
    fill_default_main_keys(keys.entries);
    init_main_menus(keys);
    const std::wstring a = sub(L"a");
    const std::wstring inner = a + L"\\inner";
    CreateDirectoryW(inner.c_str(), nullptr);
    create_pane({a});
    HMENU popup = folder_tree_context_popup();
    ASSERT_NE(popup, nullptr);
    HTREEITEM a_item = item_of(a);
    SendMessageW(g_shell.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(a_item));
    struct Case {
        HTREEITEM item;
        bool add_greyed;
        bool remove_greyed;
    } cases[] = {{item_of(inner, a_item), false, true}, {a_item, true, false}};
    for (const Case& c : cases) {
        // The command that follows the menu is one that changes nothing.
        menu_command(c.item, 0);
        EXPECT_EQ(greyed(popup, 7620), c.add_greyed);
        EXPECT_EQ(greyed(popup, 7621), c.remove_greyed);
        EXPECT_FALSE(greyed(popup, 7610));
        EXPECT_FALSE(greyed(popup, 7632));
    }
    delete_menu_resources();
}

TEST_F(TreePaneWinTest, HiddenFoldersToggleOnlyWhileBothViewsAreIdle) {
    create_pane({});
    g_shell.main_settings.hidden_mask = FILE_ATTRIBUTE_HIDDEN;
    EXPECT_EQ(tree_context_item_state(7160), static_cast<UINT>(MF_ENABLED));
    SendMessageW(g_shell.tree_pane, WM_COMMAND, 7160, 0);
    EXPECT_EQ(g_shell.main_settings.hidden_mask, 0);
    EXPECT_EQ(tree_context_item_state(7160), static_cast<UINT>(MF_ENABLED | MF_CHECKED));
    g_shell.view_busy[1] = 1;
    EXPECT_EQ(tree_context_item_state(7160), static_cast<UINT>(MF_GRAYED));
    SendMessageW(g_shell.tree_pane, WM_COMMAND, 7160, 0);
    EXPECT_EQ(g_shell.main_settings.hidden_mask, 0);
}

RECT rect_in_pane(HWND child) {
    RECT rc;
    GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, g_shell.tree_pane, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

TEST_F(TreePaneWinTest, TheInformationListTogglesAndTheTreeMakesRoomForIt) {
    create_pane({});
    RECT pane;
    GetClientRect(g_shell.tree_pane, &pane);
    const RECT before = rect_in_pane(g_shell.tree);
    EXPECT_EQ(before.top, 56);
    EXPECT_EQ(before.bottom - before.top, pane.bottom - 86);
    for (int shown : {1, 0}) {
        toggle_info_list();
        EXPECT_EQ(g_shell.main_settings.info_list_shown, shown);
        const RECT tree = rect_in_pane(g_shell.tree);
        const RECT list = rect_in_pane(g_shell.info_list);
        EXPECT_EQ(tree.bottom - tree.top, pane.bottom - (shown ? 287 : 86)) << shown;
        EXPECT_EQ(list.top, tree.bottom - tree.top + 58) << shown;
        EXPECT_EQ(list.bottom - list.top, 199) << shown;
    }
}

HDROP make_drop(const std::wstring& path) {
    const size_t bytes = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, bytes);
    DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<BYTE*>(drop) + sizeof(DROPFILES), path.c_str(),
                path.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

TEST_F(TreePaneWinTest, FilesDroppedOnTheTreeGoToTheirFolderUnlessAViewIsBusy) {
    const std::wstring a = sub(L"a");
    make_file(a + L"\\pic.jpg");
    create_pane({});
    g_shell.view_busy[1] = 1;
    SendMessageW(g_shell.tree, WM_DROPFILES, reinterpret_cast<WPARAM>(make_drop(a + L"\\pic.jpg")), 0);
    EXPECT_TRUE(g_shell.main_settings.folders.empty());
    EXPECT_EQ(shown_in(0), L"");
    g_shell.view_busy[1] = 0;
    SendMessageW(g_shell.tree, WM_DROPFILES, reinterpret_cast<WPARAM>(make_drop(a + L"\\pic.jpg")), 0);
    EXPECT_EQ(g_shell.main_settings.folders, std::vector<std::u16string>{u16_of(a)});
    EXPECT_EQ(shown_in(0), a);
}

TEST_F(TreePaneWinTest, DeletingAFolderRemovesItsItemsAndResetsTheViewsInsideIt) {
    const std::wstring a = sub(L"a");
    const std::wstring inner = a + L"\\inner";
    CreateDirectoryW(inner.c_str(), nullptr);
    make_file(inner + L"\\pic.jpg");
    const std::wstring b = sub(L"b");
    g_shell.main_settings.delete_silently = 1;
    create_pane({a, b});
    HTREEITEM a_item = item_of(a);
    SendMessageW(g_shell.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(a_item));
    menu_command(item_of(inner, a_item), 7610);
    menu_command(item_of(b), 7611);
    ASSERT_EQ(shown_in(0), inner);

    // A busy view inside the folder keeps it.
    g_shell.view_busy[0] = 1;
    EXPECT_EQ(tree_context_item_state(7632), static_cast<UINT>(MF_GRAYED));
    menu_command(a_item, 7632);
    EXPECT_TRUE(exists(a));
    // A busy view elsewhere does not.
    g_shell.view_busy[0] = 0;
    g_shell.view_busy[1] = 1;
    menu_command(a_item, 7632);
    g_shell.view_busy[1] = 0;
    EXPECT_FALSE(exists(a));
    EXPECT_EQ(g_shell.main_settings.folders, std::vector<std::u16string>{u16_of(b)});
    EXPECT_EQ(item_of(a), nullptr);
    EXPECT_EQ(shown_in(0), L"");
    EXPECT_EQ(tree_linked_item(0), registered_root_item());
    EXPECT_EQ(shown_in(1), b);

    // A subfolder found inside a registered folder goes with TVM_DELETEITEM, and its parent
    // loses the expand button with its last child.
    const std::wstring only = b + L"\\only";
    CreateDirectoryW(only.c_str(), nullptr);
    HTREEITEM b_item = item_of(b);
    SendMessageW(g_shell.tree, TVM_EXPAND, TVE_COLLAPSE | TVE_COLLAPSERESET,
                 reinterpret_cast<LPARAM>(b_item));
    set_children_flag(b_item, 1);
    SendMessageW(g_shell.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(b_item));
    menu_command(item_of(only, b_item), 7632);
    EXPECT_FALSE(exists(only));
    EXPECT_EQ(TreeView_GetChild(g_shell.tree, b_item), nullptr);
    TVITEMW tv = {};
    tv.mask = TVIF_HANDLE | TVIF_CHILDREN;
    tv.hItem = b_item;
    SendMessageW(g_shell.tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    EXPECT_EQ(tv.cChildren, 0);
    EXPECT_EQ(shown_in(1), b);
}

TEST_F(TreePaneWinTest, RenameAndCreateFollowUpsRelinkTheViews) {
    const std::wstring a = sub(L"a");
    const std::wstring x = a + L"\\x";
    CreateDirectoryW(x.c_str(), nullptr);
    const std::wstring b = sub(L"b");
    create_pane({a, b});
    ASSERT_TRUE(go_to_path(b.c_str()));
    HTREEITEM a_item = item_of(a);
    SendMessageW(g_shell.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(a_item));
    menu_command(item_of(x, a_item), 7611);
    ASSERT_EQ(shown_in(1), x);

    // A new folder in a: a's children are read again and view 2 is linked to x's new item.
    const std::wstring made = a + L"\\made";
    CreateDirectoryW(made.c_str(), nullptr);
    tree_after_folder_create(a.c_str());
    EXPECT_NE(item_of(made, a_item), nullptr);
    HTREEITEM x_item = item_of(x, a_item);
    ASSERT_NE(x_item, nullptr);
    EXPECT_EQ(tree_linked_item(1), x_item);
    EXPECT_EQ(shown_in(1), x);

    // b, shown in the active view, renamed: the registered list, the item and the view follow.
    const std::wstring renamed = base_ + L"\\b2";
    ASSERT_TRUE(MoveFileW(b.c_str(), renamed.c_str()));
    tree_after_folder_rename(renamed.c_str(), b.c_str());
    EXPECT_EQ(g_shell.main_settings.folders, (std::vector<std::u16string>{u16_of(a), u16_of(renamed)}));
    HTREEITEM renamed_item = item_of(renamed);
    ASSERT_NE(renamed_item, nullptr);
    EXPECT_EQ(item_of(b), nullptr);
    EXPECT_EQ(shown_in(0), renamed);
    EXPECT_EQ(tree_linked_item(0), renamed_item);
    // View 2 showed a folder beside the renamed one, whose items were read again: it is reset.
    EXPECT_EQ(shown_in(1), L"");

    // A subfolder shown in view 2 renamed: view 2 follows it to its new item.
    a_item = item_of(a);
    SendMessageW(g_shell.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(a_item));
    menu_command(item_of(x, a_item), 7611);
    ASSERT_EQ(shown_in(1), x);
    const std::wstring y = a + L"\\y";
    ASSERT_TRUE(MoveFileW(x.c_str(), y.c_str()));
    tree_after_folder_rename(y.c_str(), x.c_str());
    EXPECT_EQ(item_of(x, a_item), nullptr);
    ASSERT_NE(item_of(y, a_item), nullptr);
    EXPECT_EQ(shown_in(1), y);
    EXPECT_EQ(tree_linked_item(1), item_of(y, a_item));
    EXPECT_EQ(shown_in(0), renamed);
}

TEST_F(TreePaneWinTest, AFolderThatGainedASubfolderCanBeExpanded) {
    const std::wstring a = sub(L"a");
    create_pane({a});
    HTREEITEM a_item = item_of(a);
    auto children_flag = [&] {
        TVITEMW tv = {};
        tv.mask = TVIF_HANDLE | TVIF_CHILDREN;
        tv.hItem = a_item;
        SendMessageW(g_shell.tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
        return tv.cChildren;
    };
    ASSERT_EQ(children_flag(), 0);
    const std::wstring out = a + L"\\out";
    CreateDirectoryW(out.c_str(), nullptr);
    tree_mark_parent_expandable((base_ + L"\\elsewhere").c_str());
    EXPECT_EQ(children_flag(), 0);
    tree_mark_parent_expandable(out.c_str());
    EXPECT_EQ(children_flag(), 1);
    SendMessageW(g_shell.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(a_item));
    EXPECT_NE(item_of(out, a_item), nullptr);
}

struct DropCase {
    const char* name;
    int drag_state;
    UINT button_up;
    WPARAM buttons;
    std::vector<bool> marked;  // of a.jpg, b.jpg, c.jpg
    bool moves;
    // The shell may refuse or cancel a move of several files; then what stayed must stay shown.
    bool must_arrive;
};

TEST_F(TreePaneWinTest, LeftDropMovesAndRightDropCopiesTheMarkedFiles) {
    const DropCase cases[] = {
        {"left, one file", 1, WM_LBUTTONUP, MK_LBUTTON, {true, false, false}, true, true},
        {"left, two files", 1, WM_LBUTTONUP, MK_LBUTTON, {true, false, true}, true, false},
        {"right, two files", 2, WM_RBUTTONUP, MK_RBUTTON, {true, false, true}, false, true},
    };
    const std::vector<std::wstring> names = {L"a.jpg", L"b.jpg", L"c.jpg"};
    int serial = 0;
    for (const DropCase& c : cases) {
        SCOPED_TRACE(c.name);
        ++serial;
        const std::wstring source = sub(L"src" + std::to_wstring(serial));
        const std::wstring target = sub(L"dst" + std::to_wstring(serial));
        for (const std::wstring& n : names) make_file(source + L"\\" + n);
        if (!g_shell.tree) create_pane({});
        ASSERT_NE(add_registered_folder(target.c_str()), nullptr);
        ASSERT_NE(add_registered_folder(source.c_str()), nullptr);
        publish(0, source, names, c.marked);
        g_frame_codes[0].clear();

        // Over the folder the view shows: refused, nothing happens.
        set_file_drag_state(c.drag_state);
        SetCapture(g_shell.tree);
        const POINT own = point_on(item_of(source));
        SendMessageW(g_shell.tree, WM_MOUSEMOVE, c.buttons, MAKELPARAM(own.x, own.y));
        SendMessageW(g_shell.tree, c.button_up, 0, MAKELPARAM(own.x, own.y));
        EXPECT_TRUE(exists(source + L"\\a.jpg"));
        EXPECT_FALSE(exists(target + L"\\a.jpg"));
        EXPECT_EQ(file_drag_state(), 0);
        EXPECT_NE(GetCapture(), g_shell.tree);

        set_file_drag_state(c.drag_state);
        SetCapture(g_shell.tree);
        const POINT at = point_on(item_of(target));
        SendMessageW(g_shell.tree, WM_MOUSEMOVE, c.buttons, MAKELPARAM(at.x, at.y));
        SendMessageW(g_shell.tree, c.button_up, 0, MAKELPARAM(at.x, at.y));
        pump();
        EXPECT_EQ(file_drag_state(), 0);
        bool all_left = true;
        for (size_t i = 0; i < names.size(); ++i) {
            const bool in_source = exists(source + L"\\" + names[i]);
            const bool in_target = exists(target + L"\\" + names[i]);
            if (!c.marked[i]) {
                EXPECT_TRUE(in_source) << i;
                EXPECT_FALSE(in_target) << i;
                continue;
            }
            if (c.must_arrive) {
                EXPECT_TRUE(in_target) << i;
            }
            if (c.moves) {
                EXPECT_NE(in_source, in_target) << i;
                all_left = all_left && !in_source;
            } else {
                EXPECT_TRUE(in_source) << i;
            }
        }
        const bool removed = !g_frame_codes[0].empty() && g_frame_codes[0].back() == kViewRemoveMarked;
        EXPECT_EQ(removed, c.moves && all_left);
    }
}

TEST_F(TreePaneWinTest, ADropOnTheOtherViewMovesThereAndAPartialMoveKeepsWhatStayed) {
    const std::wstring source = sub(L"src");
    const std::wstring target = sub(L"dst");
    make_file(source + L"\\a.jpg");
    make_file(source + L"\\b.jpg");
    create_pane({});
    publish(0, source, {L"a.jpg", L"b.jpg"}, {true, false});
    open_folder_in_view(1, target.c_str());

    // An auto-shown pane stays up for the drag and auto-show comes back after the drop.
    g_shell.main_settings.tree_auto_show = 1;
    tree_pane_drag_starts();
    EXPECT_EQ(g_shell.main_settings.tree_auto_show, 0);
    // Off the tree's items, over view 2's frame.
    set_file_drag_state(1);
    SetCapture(g_shell.tree);
    RECT frame;
    GetWindowRect(g_shell.view_frame[1], &frame);
    POINT over = {(frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2};
    ScreenToClient(g_shell.tree, &over);
    SendMessageW(g_shell.tree, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(over.x, over.y));
    SendMessageW(g_shell.tree, WM_LBUTTONUP, 0, MAKELPARAM(over.x, over.y));
    pump();
    EXPECT_TRUE(exists(target + L"\\a.jpg"));
    EXPECT_FALSE(exists(source + L"\\a.jpg"));
    ASSERT_FALSE(g_frame_codes[0].empty());
    EXPECT_EQ(g_frame_codes[0].back(), kViewRemoveMarked);
    EXPECT_EQ(g_shell.main_settings.tree_auto_show, 1);

    // One marked file is already gone: whatever the shell reports, the view drops its marked
    // entries only when none of them is left in the folder.
    g_frame_codes[0].clear();
    make_file(source + L"\\c.jpg");
    publish(0, source, {L"b.jpg", L"ghost.jpg", L"c.jpg"}, {false, true, true});
    set_file_drag_state(1);
    // The missing file counts as gone from the folder, so the destination always changed.
    EXPECT_TRUE(move_or_copy_marked_files(target.c_str(), 0));
    pump();
    const bool removed = !g_frame_codes[0].empty() && g_frame_codes[0].back() == kViewRemoveMarked;
    EXPECT_EQ(removed, !exists(source + L"\\c.jpg"));
    EXPECT_TRUE(exists(source + L"\\b.jpg"));

    // No drag, no operation.
    set_file_drag_state(0);
    EXPECT_FALSE(move_or_copy_marked_files(target.c_str(), 0));
}

TEST_F(TreePaneWinTest, AFileDragHoveringTheExpandButtonExpandsTheFolder) {
    const std::wstring a = sub(L"a");
    CreateDirectoryW((a + L"\\inner").c_str(), nullptr);
    const std::wstring b = sub(L"b");
    CreateDirectoryW((b + L"\\inner").c_str(), nullptr);
    create_pane({a, b});
    set_file_drag_state(1);
    SetCapture(g_shell.tree);
    auto hover = [](HTREEITEM item, bool on_button) {
        POINT at = point_on(item);
        if (on_button) {
            // The expand button lies left of the text: the first point the control says is on it.
            TVHITTESTINFO hit = {};
            for (hit.pt = {0, at.y}; hit.pt.x < at.x; ++hit.pt.x)
                if (TreeView_HitTest(g_shell.tree, &hit) == item && (hit.flags & TVHT_ONITEMBUTTON)) break;
            ASSERT_LT(hit.pt.x, at.x);
            at = hit.pt;
        }
        SendMessageW(g_shell.tree, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(at.x, at.y));
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < 1200) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            pump();
        }
    };
    auto expanded = [](HTREEITEM item) {
        return (TreeView_GetItemState(g_shell.tree, item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    };
    hover(item_of(b), false);
    EXPECT_FALSE(expanded(item_of(b)));
    hover(item_of(a), true);
    EXPECT_TRUE(expanded(item_of(a)));
    EXPECT_FALSE(expanded(item_of(b)));
    ReleaseCapture();
}

// --- information list ---------------------------------------------------------------------

std::vector<std::vector<std::wstring>> info_rows() {
    std::vector<std::vector<std::wstring>> rows;
    const int n = static_cast<int>(SendMessageW(g_shell.info_list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        std::vector<std::wstring> row;
        for (int column = 0; column < 2; ++column) {
            wchar_t text[1100] = {};
            LVITEMW item = {};
            item.iSubItem = column;
            item.pszText = text;
            item.cchTextMax = 1100;
            SendMessageW(g_shell.info_list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
            row.push_back(text);
        }
        rows.push_back(row);
    }
    return rows;
}

void write_le16(Bytes* b, uint16_t v) {
    b->push_back(static_cast<uint8_t>(v));
    b->push_back(static_cast<uint8_t>(v >> 8));
}
void write_le32(Bytes* b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// An Exif APP1 segment: IFD0 with Make and the Exif IFD pointer, the Exif IFD with ISO speed and
// the original date-time (little-endian TIFF block).
Bytes exif_segment() {
    const std::string maker = "Maker";  // 6 bytes with its zero: stored after the IFDs
    const std::string date = "2024:05:06 07:08:09";
    Bytes tiff = {'I', 'I', 42, 0};
    write_le32(&tiff, 8);
    const uint32_t ifd0 = 8;
    const uint32_t exif_ifd = ifd0 + 2 + 2 * 12 + 4;
    const uint32_t data = exif_ifd + 2 + 2 * 12 + 4;
    write_le16(&tiff, 2);
    write_le16(&tiff, 0x010F);
    write_le16(&tiff, 2);
    write_le32(&tiff, static_cast<uint32_t>(maker.size() + 1));
    write_le32(&tiff, data);
    write_le16(&tiff, 0x8769);
    write_le16(&tiff, 4);
    write_le32(&tiff, 1);
    write_le32(&tiff, exif_ifd);
    write_le32(&tiff, 0);
    write_le16(&tiff, 2);
    write_le16(&tiff, 0x8827);
    write_le16(&tiff, 3);
    write_le32(&tiff, 1);
    write_le16(&tiff, 400);
    write_le16(&tiff, 0);
    write_le16(&tiff, 0x9003);
    write_le16(&tiff, 2);
    write_le32(&tiff, 20);
    write_le32(&tiff, data + static_cast<uint32_t>(maker.size() + 1));
    write_le32(&tiff, 0);
    tiff.insert(tiff.end(), maker.begin(), maker.end());
    tiff.push_back(0);
    tiff.insert(tiff.end(), date.begin(), date.end());
    tiff.push_back(0);
    Bytes segment = {0xFF, 0xE1};
    const size_t length = 2 + 6 + tiff.size();
    segment.push_back(static_cast<uint8_t>(length >> 8));
    segment.push_back(static_cast<uint8_t>(length));
    const char header[6] = {'E', 'x', 'i', 'f', 0, 0};
    segment.insert(segment.end(), header, header + 6);
    segment.insert(segment.end(), tiff.begin(), tiff.end());
    return segment;
}

bool write_jpeg(const std::wstring& path, bool with_exif) {
    JpegWriterContext context;
    init_codec_context(&context, 0);
    jpeg_writer_reset(&context);
    context.conversion.width = 2;
    context.conversion.height = 2;
    context.conversion.source_bits = 24;
    jpeg_set_save_options(&context, 90, 0, 0, 2);
    const Bytes pixels(2 * 8, 0x80);
    const bool written = write_jpeg_image(&context, u16_of(path), nullptr, pixels.data());
    jpeg_writer_release(&context);
    if (!written || !with_exif) return written;
    Bytes file;
    if (!read_bytes(u16_of(path), &file) || file.size() < 2) return false;
    const Bytes segment = exif_segment();
    file.insert(file.begin() + 2, segment.begin(), segment.end());
    return write_bytes(u16_of(path), file);
}

bool write_png_with_comment(const std::wstring& path, const char* comment) {
    PngWriterContext context;
    init_codec_context(&context, 0);
    png_build_crc_table(&context);
    png_writer_reset(&context);
    context.conversion.width = 1;
    context.conversion.height = 1;
    context.conversion.source_bits = 24;
    context.conversion.target_bits = 24;
    compute_row_sizes(&context.conversion);
    context.settings.comment = comment;
    const Bytes pixels(4, 0x40);
    const bool written = write_png_file(u16_of(path), &context, nullptr, pixels.data());
    png_writer_release(&context);
    return written;
}

// Stands in for the Exif dialog's formatter: the values the reader found, as plain numbers.
void plain_exif_texts(const ExifSummary* summary, wchar_t (*texts)[64]) {
    MultiByteToWideChar(CP_ACP, 0, summary->maker, -1, texts[0], 64);
    wsprintfW(texts[5], L"%u", static_cast<unsigned>(summary->iso_speed));
    MultiByteToWideChar(CP_ACP, 0, summary->date_time_original, -1, texts[11], 64);
}

FileEntry entry_for(const wchar_t* name, int32_t format, int32_t text_count) {
    FileEntry e;
    std::memset(&e, 0, sizeof e);
    lstrcpynW(reinterpret_cast<wchar_t*>(e.name), name, kViewPathChars);
    e.load_info.format = format;
    e.load_info.text_count = text_count;
    return e;
}

TEST_F(TreePaneWinTest, InformationListShowsExifRowsOrTextChunks) {
    const std::wstring folder = sub(L"info");
    ASSERT_TRUE(write_jpeg(folder + L"\\shot.jpg", true));
    ASSERT_TRUE(write_jpeg(folder + L"\\plain.jpg", false));
    ASSERT_TRUE(write_png_with_comment(folder + L"\\note.png", "hello there"));
    ShellEntryPoints table;
    table.format_exif_fields = plain_exif_texts;
    install_shell_entry_points(table);
    create_pane({});
    open_folder_in_view(1, folder.c_str());

    const FileEntry shot = entry_for(L"shot.jpg", kFileJpeg, 1);
    show_entry_info(1, reinterpret_cast<LPARAM>(&shot));
    const wchar_t* const labels[12] = {L"メーカー",   L"機種",     L"シャッター", L"絞り値",
                                       L"露出制御",   L"ISO感度",  L"露出補正",   L"測光方式",
                                       L"フラッシュ", L"焦点距離", L"開放Ｆ値",   L"撮影日時"};
    std::vector<std::vector<std::wstring>> rows = info_rows();
    ASSERT_EQ(rows.size(), 12u);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(rows[i][0], labels[i]) << i;
    EXPECT_EQ(rows[0][1], L"Maker");
    EXPECT_EQ(rows[1][1], L"");
    EXPECT_EQ(rows[5][1], L"400");
    EXPECT_EQ(rows[11][1], L"2024:05:06 07:08:09");

    const FileEntry note = entry_for(L"note.png", kFilePng, 1);
    show_entry_info(1, reinterpret_cast<LPARAM>(&note));
    rows = info_rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], L"Comment");
    EXPECT_EQ(rows[0][1], L"hello there");

    // Each of these empties the list and adds nothing.
    const FileEntry plain = entry_for(L"plain.jpg", kFileJpeg, 1);
    const FileEntry counted_none = entry_for(L"shot.jpg", kFileJpeg, 0);
    const FileEntry missing = entry_for(L"gone.png", kFilePng, 1);
    const FileEntry* const empty_cases[] = {&plain, &counted_none, &missing, nullptr};
    for (const FileEntry* e : empty_cases) {
        show_entry_info(1, reinterpret_cast<LPARAM>(&shot));
        ASSERT_EQ(info_rows().size(), 12u);
        show_entry_info(1, reinterpret_cast<LPARAM>(e));
        EXPECT_TRUE(info_rows().empty()) << (e ? wide_of(e->name).c_str() : L"null");
    }
    // The name is read in the folder of the view that reported it.
    open_folder_in_view(0, base_.c_str());
    show_entry_info(0, reinterpret_cast<LPARAM>(&shot));
    EXPECT_TRUE(info_rows().empty());
}

}  // namespace
