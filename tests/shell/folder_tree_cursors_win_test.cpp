// The folder tree's own cursors under Wine: which one the pointer shows during a file drag, a
// folder drag from the tree and while the tree chooses its target view.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
// clang-format on
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/folder_tree.h"
#include "shell/shell_helpers.h"
#include "shell/shell_state.h"
#include "shell/thumbnail_view.h"
#include "tests/shell/unique_scratch.h"

namespace {

std::wstring wide_of(const std::u16string& s) {
    return std::wstring(s.begin(), s.end());
}

void set_shift(bool down) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

HCURSOR system_arrow() {
    return LoadCursorW(nullptr, IDC_ARROW);
}

class TreeCursorTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_shell.instance = GetModuleHandleW(nullptr);
        if (!g_shell.ui_font.valid()) create_ui_font();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        WNDCLASSEXW existing = {sizeof existing};
        if (!GetClassInfoExW(g_shell.instance, L"Pexaron_trbase_class", &existing))
            register_window_class(tree_pane_proc, nullptr, system_arrow(), COLOR_BTNFACE + 1,
                                  L"Pexaron_trbase_class");
        g_shell.main_settings = MainSettings{};
        g_shell.main_settings.tree_width = 180;
        g_shell.active_view = 0;
        base_ = wide_of(unique_scratch_path("cursors"));
        CreateDirectoryW(base_.c_str(), nullptr);
        source_ = sub(L"source");
        target_ = sub(L"target");

        // The pane left of two view frames, as the main window lays them out side by side.
        client_ = CreateWindowExW(0, L"STATIC", nullptr, WS_POPUP, 0, 0, 600, 600, nullptr, nullptr,
                                  g_shell.instance, nullptr);
        ASSERT_NE(client_, nullptr);
        g_shell.client_window = client_;
        create_folder_tree_pane(client_);
        ASSERT_NE(g_shell.tree, nullptr);
        SetWindowPos(g_shell.tree_pane, nullptr, 0, -30, 200, 660, SWP_NOZORDER | SWP_NOACTIVATE);
        for (int v = 0; v < 2; ++v)
            g_shell.view_frame[v] =
                CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE, 200 + v * 200, 0, 200, 600,
                                client_, nullptr, g_shell.instance, nullptr);
        ASSERT_NE(add_registered_folder(source_.c_str()), nullptr);
        ASSERT_NE(add_registered_folder(target_.c_str()), nullptr);
        open_folder_in_view(0, source_.c_str());
    }

    void TearDown() override {
        // Windows that later tests create must not appear under a pointer left over the tree.
        SetCursorPos(0, 0);
        ReleaseCapture();
        set_file_drag_state(0);
        set_shift(false);
        for (int v = 0; v < 2; ++v) {
            open_folder_in_view(v, L"");
            g_shell.view_frame[v] = nullptr;
        }
        if (client_) DestroyWindow(client_);
        UnregisterClassW(L"Pexaron_trbase_class", g_shell.instance);
        g_shell.client_window = nullptr;
        g_shell.tree_pane = nullptr;
        g_shell.tree = nullptr;
        g_shell.info_list = nullptr;
        g_shell.active_view = 0;
        g_shell.main_settings = MainSettings{};
        CoUninitialize();
    }

    std::wstring sub(const wchar_t* name) {
        const std::wstring path = base_ + L"\\" + name;
        CreateDirectoryW(path.c_str(), nullptr);
        return path;
    }

    static POINT point_on(HTREEITEM item) {
        RECT rc = {};
        TreeView_GetItemRect(g_shell.tree, item, &rc, TRUE);
        return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }

    // The middle of a view's frame, in the tree's client coordinates.
    static POINT point_on_frame(int view) {
        RECT frame;
        GetWindowRect(g_shell.view_frame[view], &frame);
        POINT p = {(frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2};
        ScreenToClient(g_shell.tree, &p);
        return p;
    }

    HTREEITEM item_of(const std::wstring& path) const {
        return find_child_by_path(path.c_str(), registered_root_item());
    }

    std::wstring base_;
    std::wstring source_;
    std::wstring target_;
    HWND client_ = nullptr;
};

TEST_F(TreeCursorTest, TheCursorsAreTheProgramsOwnResources) {
    const struct {
        TreeCursor which;
        int id;
        POINT hot_spot;
    } cursors[] = {
        {TreeCursor::move, 170, {1, 1}},      {TreeCursor::copy, 171, {1, 1}},
        {TreeCursor::no_drop, 172, {16, 16}}, {TreeCursor::folder, 173, {1, 1}},
        {TreeCursor::view1, 174, {1, 1}},     {TreeCursor::view2, 175, {1, 1}},
    };
    std::vector<HCURSOR> seen;
    for (const auto& c : cursors) {
        SCOPED_TRACE(c.id);
        const HCURSOR handle = tree_cursor(c.which);
        ASSERT_NE(handle, nullptr);
        EXPECT_NE(handle, system_arrow());
        // Loaded once and shared: the resource asked for again is the same cursor.
        EXPECT_EQ(handle, LoadImageW(g_shell.instance, MAKEINTRESOURCEW(c.id), IMAGE_CURSOR, 0, 0,
                                     LR_DEFAULTSIZE | LR_SHARED));
        for (HCURSOR other : seen) EXPECT_NE(handle, other);
        seen.push_back(handle);
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(handle, &info));
        EXPECT_FALSE(info.fIcon);
        EXPECT_EQ(static_cast<LONG>(info.xHotspot), c.hot_spot.x);
        EXPECT_EQ(static_cast<LONG>(info.yHotspot), c.hot_spot.y);
        BITMAP bits = {};
        GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bits, &bits);
        EXPECT_EQ(bits.bmWidth, 32);
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
    }
}

TEST_F(TreeCursorTest, AFileDragShowsMoveCopyOrNoDrop) {
    enum Where { on_target, on_source, on_root, on_active_frame, on_other_frame, on_blank };
    const struct {
        const char* name;
        int drag_state;
        Where where;
        const wchar_t* other_view_folder;  // null: the other view shows nothing
        TreeCursor expected;
    } cases[] = {
        {"left onto another folder", 1, on_target, nullptr, TreeCursor::move},
        {"right onto another folder", 2, on_target, nullptr, TreeCursor::copy},
        {"onto the folder the view shows", 1, on_source, nullptr, TreeCursor::no_drop},
        {"right onto the folder the view shows", 2, on_source, nullptr, TreeCursor::no_drop},
        {"onto the registered root", 1, on_root, nullptr, TreeCursor::no_drop},
        {"back over the dragging view", 2, on_active_frame, nullptr, TreeCursor::copy},
        {"over the other view showing another folder", 1, on_other_frame, L"target", TreeCursor::move},
        {"over the other view showing the same folder", 1, on_other_frame, L"source", TreeCursor::no_drop},
        {"over the other view showing nothing", 1, on_other_frame, nullptr, TreeCursor::no_drop},
        {"over the tree's empty space", 2, on_blank, L"target", TreeCursor::no_drop},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        open_folder_in_view(1, c.other_view_folder ? sub(c.other_view_folder).c_str() : L"");
        POINT at = {};
        switch (c.where) {
            case on_target: at = point_on(item_of(target_)); break;
            case on_source: at = point_on(item_of(source_)); break;
            case on_root: at = point_on(registered_root_item()); break;
            case on_active_frame: at = point_on_frame(0); break;
            case on_other_frame: at = point_on_frame(1); break;
            case on_blank: {
                RECT rc;
                GetClientRect(g_shell.tree, &rc);
                at = {rc.right / 2, rc.bottom - 4};
                break;
            }
        }
        set_file_drag_state(c.drag_state);
        SetCapture(g_shell.tree);
        SetCursor(system_arrow());
        SendMessageW(g_shell.tree, WM_MOUSEMOVE, c.drag_state == 1 ? MK_LBUTTON : MK_RBUTTON,
                     MAKELPARAM(at.x, at.y));
        EXPECT_EQ(GetCursor(), tree_cursor(c.expected));
        ReleaseCapture();
        set_file_drag_state(0);
        clear_tree_drop_target();
    }
    // The drop ends the drag with the arrow.
    open_folder_in_view(1, L"");
    set_file_drag_state(1);
    SetCapture(g_shell.tree);
    const POINT root = point_on(registered_root_item());
    SendMessageW(g_shell.tree, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(root.x, root.y));
    ASSERT_EQ(GetCursor(), tree_cursor(TreeCursor::no_drop));
    SendMessageW(g_shell.tree, WM_LBUTTONUP, 0, MAKELPARAM(root.x, root.y));
    EXPECT_EQ(GetCursor(), system_arrow());
    EXPECT_EQ(file_drag_state(), 0);
}

TEST_F(TreeCursorTest, AFolderDraggedFromTheTreeShowsTheFolderCursorUntilReleased) {
    HTREEITEM item = item_of(target_);
    NMTREEVIEWW n = {};
    n.hdr.hwndFrom = g_shell.tree;
    n.hdr.idFrom = 404;
    n.hdr.code = TVN_BEGINDRAGW;
    n.itemNew.hItem = item;
    n.itemNew.lParam = reinterpret_cast<LPARAM>(tree_item_data(item));
    SetCursor(system_arrow());
    SendMessageW(g_shell.tree_pane, WM_NOTIFY, 404, reinterpret_cast<LPARAM>(&n));
    EXPECT_EQ(GetCursor(), tree_cursor(TreeCursor::folder));
    EXPECT_EQ(GetCapture(), g_shell.tree_pane);

    // Released over view 2's frame: the folder opens there and the arrow comes back.
    RECT frame;
    GetWindowRect(g_shell.view_frame[1], &frame);
    POINT over = {(frame.left + frame.right) / 2, (frame.top + frame.bottom) / 2};
    ScreenToClient(g_shell.tree_pane, &over);
    SendMessageW(g_shell.tree_pane, WM_LBUTTONUP, 0, MAKELPARAM(over.x, over.y));
    EXPECT_EQ(GetCursor(), system_arrow());
    EXPECT_NE(GetCapture(), g_shell.tree_pane);
    wchar_t shown[MAX_PATH] = {};
    view_folder(1, shown);
    EXPECT_EQ(std::wstring(shown), target_);
}

TEST_F(TreeCursorTest, TheTargetViewsCursorFollowsShiftAndTheActiveView) {
    const struct {
        int active_view;
        bool shift;
        TreeCursor expected;
        int target_view;
    } cases[] = {
        {0, false, TreeCursor::view1, 0},
        {0, true, TreeCursor::view2, 1},
        {1, false, TreeCursor::view2, 1},
        {1, true, TreeCursor::view1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.active_view * 2 + (c.shift ? 1 : 0));
        g_shell.active_view = c.active_view;
        SetCursor(system_arrow());
        set_tree_target_view(c.shift, false);
        EXPECT_EQ(GetCursor(), tree_cursor(c.expected));
        EXPECT_EQ(tree_target_view_now(), c.target_view);

        // The tree's own cursor request reads the Shift key.
        set_shift(c.shift);
        SetCursor(system_arrow());
        EXPECT_TRUE(SendMessageW(g_shell.tree, WM_SETCURSOR, reinterpret_cast<WPARAM>(g_shell.tree),
                                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
        EXPECT_EQ(GetCursor(), tree_cursor(c.expected));
        EXPECT_EQ(tree_target_view_now(), c.target_view);
        set_shift(false);
    }
}

TEST_F(TreeCursorTest, AnActiveViewChangeUnderThePointerRetargetsTheTree) {
    ShowWindow(client_, SW_SHOWNOACTIVATE);
    ShowWindow(g_shell.tree_pane, SW_SHOWNOACTIVATE);
    UpdateWindow(client_);
    RECT tree;
    GetWindowRect(g_shell.tree, &tree);
    g_shell.active_view = 0;
    set_tree_target_view(false, false);

    // The pointer elsewhere: the tree keeps its target.
    SetCursorPos(tree.right + 250, tree.bottom - 20);
    g_shell.active_view = 1;
    SetCursor(system_arrow());
    tree_active_view_changed();
    EXPECT_EQ(tree_target_view_now(), 0);
    EXPECT_EQ(GetCursor(), system_arrow());

    // Over the tree: the new active view is the target and the pointer shows its cursor.
    SetCursorPos((tree.left + tree.right) / 2, (tree.top + tree.bottom) / 2);
    ASSERT_EQ(WindowFromPoint({(tree.left + tree.right) / 2, (tree.top + tree.bottom) / 2}), g_shell.tree);
    tree_active_view_changed();
    EXPECT_EQ(tree_target_view_now(), 1);
    EXPECT_EQ(GetCursor(), tree_cursor(TreeCursor::view2));
}

}  // namespace
