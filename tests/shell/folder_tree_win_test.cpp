// The folder tree's items under Wine: the registered branch on scratch folders, the desktop
// branch only as far as it expands without error (its content is the machine's).
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
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

std::wstring make_folder(const std::wstring& path, DWORD attributes = 0) {
    CreateDirectoryW(path.c_str(), nullptr);
    if (attributes) SetFileAttributesW(path.c_str(), attributes);
    return path;
}

std::wstring scratch_folder(const char* name) {
    const std::u16string p = unique_scratch_path(name);
    return make_folder(std::wstring(p.begin(), p.end()));
}

std::u16string u16_of(const std::wstring& s) {
    return std::u16string(s.begin(), s.end());
}

int children_flag(HTREEITEM item) {
    TVITEMW tv = {};
    tv.mask = TVIF_HANDLE | TVIF_CHILDREN;
    tv.hItem = item;
    SendMessageW(g_shell.tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    return tv.cChildren;
}

std::vector<HTREEITEM> children(HTREEITEM parent) {
    std::vector<HTREEITEM> out;
    for (HTREEITEM c = TreeView_GetChild(g_shell.tree, parent); c;
         c = TreeView_GetNextSibling(g_shell.tree, c))
        out.push_back(c);
    return out;
}

std::wstring folder_of(HTREEITEM item) {
    wchar_t path[MAX_PATH] = {};
    if (!tree_item_folder_path(item, path)) return L"";
    return path;
}

std::vector<std::wstring> child_folders(HTREEITEM parent) {
    std::vector<std::wstring> out;
    for (HTREEITEM c : children(parent)) out.push_back(folder_of(c));
    return out;
}

void expand(HTREEITEM item, UINT action = TVE_EXPAND) {
    SendMessageW(g_shell.tree, TVM_EXPAND, action, reinterpret_cast<LPARAM>(item));
}

class FolderTreeTest : public ::testing::Test {
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
        g_shell.main_settings = MainSettings{};
        g_shell.main_settings.tree_width = 180;
        g_shell.main_settings.info_column_width[0] = 60;
        g_shell.main_settings.info_column_width[1] = 100;
        base_ = scratch_folder("tree");
    }

    void TearDown() override {
        if (client_) DestroyWindow(client_);
        g_shell.tree_pane = nullptr;
        g_shell.tree = nullptr;
        g_shell.info_list = nullptr;
        g_shell.main_settings = MainSettings{};
        CoUninitialize();
    }

    // The pane as the main window creates it, with `folders` registered.
    void create_pane(const std::vector<std::wstring>& folders, DWORD hidden_mask = FILE_ATTRIBUTE_HIDDEN,
                     bool expand_desktop = false) {
        for (const std::wstring& f : folders) g_shell.main_settings.folders.push_back(u16_of(f));
        g_shell.main_settings.hidden_mask = static_cast<int32_t>(hidden_mask);
        g_shell.main_settings.expand_desktop = expand_desktop ? 1 : 0;
        client_ = CreateWindowExW(0, L"STATIC", nullptr, WS_POPUP, 0, 0, 400, 600, nullptr, nullptr,
                                  g_shell.instance, nullptr);
        ASSERT_NE(client_, nullptr);
        create_folder_tree_pane(client_);
        ASSERT_NE(g_shell.tree, nullptr);
        // A tree without height crashes the control when it discards a root item's children.
        SetWindowPos(g_shell.tree_pane, nullptr, 0, -30, 200, 660, SWP_NOZORDER | SWP_NOACTIVATE);
        ASSERT_NE(registered_root_item(), nullptr);
    }

    std::wstring sub(const wchar_t* name, DWORD attributes = 0) {
        return make_folder(base_ + L"\\" + name, attributes);
    }

    std::wstring base_;
    HWND client_ = nullptr;
};

TEST_F(FolderTreeTest, RegisteredRootListsTheEntriesAndPrunesThoseThatVanished) {
    const std::wstring a = sub(L"a_one");
    const std::wstring gone1 = base_ + L"\\gone1";
    const std::wstring gone2 = base_ + L"\\gone2";
    const std::wstring c = sub(L"c_three");
    // Two vanished entries in a row: the second moves up into the first's place and goes too.
    create_pane({a, gone1, gone2, c});
    HTREEITEM root = registered_root_item();
    EXPECT_EQ(child_folders(root), (std::vector<std::wstring>{a, c}));
    EXPECT_EQ(g_shell.main_settings.folders, (std::vector<std::u16string>{u16_of(a), u16_of(c)}));
    for (HTREEITEM item : children(root)) {
        EXPECT_TRUE(is_registered_branch_item(item));
        EXPECT_EQ(tree_item_data(item)->registration, kRegisteredEntry);
    }
    EXPECT_TRUE(is_registered_branch_item(root));
    EXPECT_FALSE(is_registered_branch_item(desktop_root_item()));
    EXPECT_FALSE(is_registered_branch_item(nullptr));
    wchar_t path[MAX_PATH] = L"untouched";
    EXPECT_FALSE(tree_item_folder_path(root, path));
    EXPECT_FALSE(tree_item_folder_path(nullptr, path));
    EXPECT_STREQ(path, L"untouched");
    EXPECT_EQ(find_child_by_path(c.c_str(), root), children(root)[1]);
    EXPECT_EQ(find_child_by_path(gone1.c_str(), root), nullptr);
}

TEST_F(FolderTreeTest, ExpandButtonsAndSubfoldersFollowTheListingRules) {
    const std::wstring only_skipped = sub(L"only_skipped");
    make_folder(only_skipped + L"\\.git");
    make_folder(only_skipped + L"\\sys", FILE_ATTRIBUTE_SYSTEM);
    make_folder(only_skipped + L"\\hid", FILE_ATTRIBUTE_HIDDEN);
    const std::wstring empty = sub(L"empty");
    const std::wstring parent = sub(L"parent");
    const std::wstring child = make_folder(parent + L"\\child");
    make_folder(child + L"\\grandchild");
    make_folder(parent + L"\\.dot");
    make_folder(parent + L"\\hid", FILE_ATTRIBUTE_HIDDEN);
    HANDLE file =
        CreateFileW((parent + L"\\file.jpg").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
    create_pane({only_skipped, empty, parent});
    HTREEITEM root = registered_root_item();
    EXPECT_EQ(children_flag(find_child_by_path(only_skipped.c_str(), root)), 0);
    EXPECT_EQ(children_flag(find_child_by_path(empty.c_str(), root)), 0);
    HTREEITEM parent_item = find_child_by_path(parent.c_str(), root);
    ASSERT_NE(parent_item, nullptr);
    EXPECT_EQ(children_flag(parent_item), 1);
    expand(parent_item);
    EXPECT_EQ(child_folders(parent_item), std::vector<std::wstring>{child});
    HTREEITEM child_item = find_child_by_path(child.c_str(), parent_item);
    ASSERT_NE(child_item, nullptr);
    EXPECT_EQ(tree_item_data(child_item)->registration, kRegisteredSubfolder);
    EXPECT_TRUE(is_registered_branch_item(child_item));
    EXPECT_EQ(children_flag(child_item), 1);

    // A collapse discards the children; the next expansion sees what appeared meanwhile, and
    // with the hidden mask cleared the hidden folder too.
    const std::wstring later = make_folder(parent + L"\\later");
    expand(parent_item, TVE_COLLAPSE | TVE_COLLAPSERESET);
    EXPECT_TRUE(children(parent_item).empty());
    set_folder_tree_hidden_mask(0);
    set_children_flag(parent_item, 1);
    expand(parent_item);
    EXPECT_EQ(children(parent_item).size(), 3u);
    EXPECT_NE(find_child_by_path(later.c_str(), parent_item), nullptr);
    EXPECT_NE(find_child_by_path((parent + L"\\hid").c_str(), parent_item), nullptr);

    // A folder that vanished before it was expanded loses its expand button.
    const std::wstring doomed = make_folder(base_ + L"\\doomed");
    make_folder(doomed + L"\\inner");
    HTREEITEM doomed_item = insert_folder_item(doomed.c_str(), root, kRegisteredSubfolder);
    ASSERT_NE(doomed_item, nullptr);
    EXPECT_EQ(children_flag(doomed_item), 1);
    RemoveDirectoryW((doomed + L"\\inner").c_str());
    RemoveDirectoryW(doomed.c_str());
    expand(doomed_item);
    EXPECT_EQ(children_flag(doomed_item), 0);
    EXPECT_EQ(folder_of(doomed_item), L"");
}

TEST_F(FolderTreeTest, AddingFindsTheExistingItemOrStoresANewOne) {
    const std::wstring a = sub(L"a");
    const std::wstring b = sub(L"b");
    create_pane({a});
    HTREEITEM root = registered_root_item();
    HTREEITEM existing = find_child_by_path(a.c_str(), root);
    ASSERT_NE(existing, nullptr);
    EXPECT_EQ(add_registered_folder(a.c_str()), existing);
    EXPECT_EQ(children(root).size(), 1u);
    HTREEITEM added = add_registered_folder(b.c_str());
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(folder_of(added), b);
    EXPECT_EQ(g_shell.main_settings.folders, (std::vector<std::u16string>{u16_of(a), u16_of(b)}));
    EXPECT_EQ(add_registered_folder((base_ + L"\\missing").c_str()), nullptr);
    HANDLE file =
        CreateFileW((base_ + L"\\file.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
    EXPECT_EQ(add_registered_folder((base_ + L"\\file.txt").c_str()), nullptr);
    EXPECT_EQ(g_shell.main_settings.folders.size(), 2u);

    // A subfolder of a registered folder becomes an entry of its own.
    const std::wstring inner = make_folder(a + L"\\inner");
    HTREEITEM inner_item = add_registered_folder(inner.c_str());
    ASSERT_NE(inner_item, nullptr);
    EXPECT_EQ(TreeView_GetParent(g_shell.tree, inner_item), root);
    EXPECT_EQ(tree_item_data(inner_item)->registration, kRegisteredEntry);
}

TEST_F(FolderTreeTest, AFullListStillShowsTheFolderOnceWithoutStoringIt) {
    std::vector<std::wstring> folders;
    for (int i = 0; i < 100; ++i) folders.push_back(sub((L"f" + std::to_wstring(i)).c_str()));
    const std::wstring extra = sub(L"extra");
    create_pane(folders);
    HTREEITEM root = registered_root_item();
    ASSERT_EQ(children(root).size(), 100u);
    HTREEITEM item = add_registered_folder(extra.c_str());
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(add_registered_folder(extra.c_str()), item);
    EXPECT_EQ(children(root).size(), 101u);
    EXPECT_EQ(g_shell.main_settings.folders.size(), 100u);
}

TEST_F(FolderTreeTest, AddingToAnEmptyListGivesTheRootItsButtonAndRemovingTheLastTakesItAway) {
    const std::wstring a = sub(L"a");
    const std::wstring inner = make_folder(a + L"\\inner");
    create_pane({});
    HTREEITEM root = registered_root_item();
    EXPECT_EQ(children_flag(root), 0);
    HTREEITEM item = add_registered_folder(a.c_str());
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(children_flag(root), 1);
    EXPECT_EQ(children(root), std::vector<HTREEITEM>{item});
    EXPECT_EQ(g_shell.main_settings.folders, std::vector<std::u16string>{u16_of(a)});

    // Only registered entries can be removed.
    expand(item);
    HTREEITEM inner_item = find_child_by_path(inner.c_str(), item);
    ASSERT_NE(inner_item, nullptr);
    EXPECT_FALSE(remove_registered_folder(inner_item));
    EXPECT_FALSE(remove_registered_folder(root));
    EXPECT_FALSE(remove_registered_folder(desktop_root_item()));
    EXPECT_FALSE(remove_registered_folder(nullptr));

    TreeView_SelectItem(g_shell.tree, item);
    EXPECT_TRUE(remove_registered_folder(item));
    EXPECT_TRUE(children(root).empty());
    EXPECT_EQ(children_flag(root), 0);
    EXPECT_TRUE(g_shell.main_settings.folders.empty());
    EXPECT_EQ(TreeView_GetSelection(g_shell.tree), nullptr);
}

TEST_F(FolderTreeTest, RemovingAMiddleEntryKeepsTheOthersAndReplacingRenamesTheStoredPath) {
    const std::wstring a = sub(L"a");
    const std::wstring b = sub(L"b");
    const std::wstring c = sub(L"c");
    create_pane({a, b, c});
    HTREEITEM root = registered_root_item();
    EXPECT_TRUE(remove_registered_folder(find_child_by_path(b.c_str(), root)));
    EXPECT_EQ(g_shell.main_settings.folders, (std::vector<std::u16string>{u16_of(a), u16_of(c)}));
    EXPECT_EQ(children_flag(root), 1);
    const std::wstring renamed = base_ + L"\\c_renamed";
    ASSERT_TRUE(MoveFileW(c.c_str(), renamed.c_str()));
    replace_registered_path(c.c_str(), renamed.c_str());
    EXPECT_EQ(g_shell.main_settings.folders, (std::vector<std::u16string>{u16_of(a), u16_of(renamed)}));
    replace_registered_path(L"C:\\not-registered", L"C:\\other");
    EXPECT_EQ(g_shell.main_settings.folders.size(), 2u);
}

TEST_F(FolderTreeTest, ShellItemsInTheDesktopBranch) {
    create_pane({}, FILE_ATTRIBUTE_HIDDEN, true);
    HTREEITEM desktop = desktop_root_item();
    ASSERT_NE(desktop, nullptr);
    const FolderTreeItem* record = tree_item_data(desktop);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->kind, kShellTreeItem);
    EXPECT_NE(record->folder, nullptr);
    EXPECT_EQ(TreeView_GetNextSibling(g_shell.tree, desktop), registered_root_item());
    // Every child the desktop got is a folder with its own records.
    for (HTREEITEM child : children(desktop)) {
        const FolderTreeItem* c = tree_item_data(child);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->kind, kShellTreeItem);
        EXPECT_NE(c->folder, nullptr);
        EXPECT_NE(c->absolute, nullptr);
    }

    // Shell items of scratch folders, inserted under the desktop: a hidden folder is left out
    // while the mask is set.
    const std::wstring shown = sub(L"shown");
    sub(L"shown\\b");
    sub(L"shown\\a");
    const std::wstring hidden = sub(L"hidden", FILE_ATTRIBUTE_HIDDEN);
    IShellFolder* desktop_folder = nullptr;
    ASSERT_EQ(SHGetDesktopFolder(&desktop_folder), S_OK);
    LPITEMIDLIST base_list = nullptr;
    ASSERT_EQ(desktop_folder->ParseDisplayName(nullptr, nullptr, const_cast<wchar_t*>(base_.c_str()), nullptr,
                                               &base_list, nullptr),
              S_OK);
    IShellFolder* base_folder = nullptr;
    ASSERT_EQ(desktop_folder->BindToObject(base_list, nullptr, IID_IShellFolder,
                                           reinterpret_cast<void**>(&base_folder)),
              S_OK);
    auto relative_of = [&](const wchar_t* name) {
        LPITEMIDLIST list = nullptr;
        EXPECT_EQ(base_folder->ParseDisplayName(nullptr, nullptr, const_cast<wchar_t*>(name), nullptr, &list,
                                                nullptr),
                  S_OK);
        return list;
    };
    LPITEMIDLIST shown_list = relative_of(L"shown");
    HTREEITEM shown_item = insert_shell_item(base_folder, base_list, desktop, shown_list);
    ASSERT_NE(shown_item, nullptr);
    EXPECT_EQ(folder_of(shown_item), shown);
    EXPECT_FALSE(is_registered_branch_item(shown_item));
    EXPECT_EQ(find_child_by_path(shown.c_str(), desktop), shown_item);
    LPITEMIDLIST hidden_list = relative_of(L"hidden");
    EXPECT_EQ(insert_shell_item(base_folder, base_list, desktop, hidden_list), nullptr);
    CoTaskMemFree(hidden_list);  // refused: still ours
    // The scratch folder's children are sorted through the tree's callback.
    expand(shown_item);
    const std::vector<HTREEITEM> sorted = children(shown_item);
    ASSERT_EQ(sorted.size(), 2u);
    EXPECT_EQ(folder_of(sorted[0]), shown + L"\\a");
    EXPECT_EQ(folder_of(sorted[1]), shown + L"\\b");
    const FolderTreeItem* first = tree_item_data(sorted[0]);
    const FolderTreeItem* second = tree_item_data(sorted[1]);
    IShellFolder* shown_folder = tree_item_data(shown_item)->folder;
    EXPECT_LT(compare_shell_items(reinterpret_cast<LPARAM>(first), reinterpret_cast<LPARAM>(second),
                                  reinterpret_cast<LPARAM>(shown_folder)),
              0);
    EXPECT_GT(compare_shell_items(reinterpret_cast<LPARAM>(second), reinterpret_cast<LPARAM>(first),
                                  reinterpret_cast<LPARAM>(shown_folder)),
              0);
    // A shell folder without subfolders loses its expand button when expanded.
    expand(sorted[0]);
    EXPECT_EQ(children_flag(sorted[0]), 0);

    base_folder->Release();
    CoTaskMemFree(base_list);
    desktop_folder->Release();
}

}  // namespace

namespace {

std::wstring window_text(HWND window) {
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    return text;
}

std::wstring shown_in(int view) {
    wchar_t folder[MAX_PATH] = {};
    view_folder(view, folder);
    return folder;
}

class TreePaneTest : public FolderTreeTest {
protected:
    void TearDown() override {
        open_folder_in_view(0, L"");
        open_folder_in_view(1, L"");
        g_shell.active_view = 0;
        FolderTreeTest::TearDown();
    }

    void collapse_by_user(HTREEITEM item) {
        NMTREEVIEWW n = {};
        n.hdr.hwndFrom = g_shell.tree;
        n.hdr.idFrom = 404;
        n.hdr.code = TVN_ITEMEXPANDINGW;
        n.action = TVE_COLLAPSE;
        n.itemNew.hItem = item;
        n.itemNew.lParam = reinterpret_cast<LPARAM>(tree_item_data(item));
        SendMessageW(g_shell.tree_pane, WM_NOTIFY, 404, reinterpret_cast<LPARAM>(&n));
    }

    void press(int id) {
        SendMessageW(g_shell.tree_pane, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(g_shell.tree_pane, id)));
    }
};

TEST_F(TreePaneTest, ChildrenCarryTheirIdsAndTexts) {
    create_pane({});
    HWND pane = g_shell.tree_pane;
    EXPECT_EQ(GetDlgCtrlID(pane), 400);
    EXPECT_EQ(window_text(GetDlgItem(pane, 401)), L"登録フォルダ");
    EXPECT_EQ(window_text(GetDlgItem(pane, 402)), L"追加");
    EXPECT_EQ(window_text(GetDlgItem(pane, 403)), L"除外");
    EXPECT_EQ(GetDlgItem(pane, 404), g_shell.tree);
    EXPECT_EQ(GetDlgItem(pane, 405), g_shell.info_list);
    const wchar_t* const columns[] = {L"項目", L"データ"};
    for (int i = 0; i < 2; ++i) {
        wchar_t text[16] = {};
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT;
        column.pszText = text;
        column.cchTextMax = 16;
        ASSERT_TRUE(SendMessageW(g_shell.info_list, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column)));
        EXPECT_STREQ(text, columns[i]);
    }
    // Without a selection neither button applies.
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(pane, 402)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(pane, 403)));
}

TEST_F(TreePaneTest, GoToPathRegistersTheFolderAndOpensItInTheActiveView) {
    const std::wstring a = sub(L"a");
    const std::wstring b = sub(L"b");
    HANDLE file =
        CreateFileW((b + L"\\pic.jpg").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
    create_pane({a});
    ASSERT_TRUE(go_to_path(a.c_str()));
    EXPECT_EQ(shown_in(0), a);
    EXPECT_EQ(folder_of(TreeView_GetSelection(g_shell.tree)), a);
    EXPECT_EQ(tree_linked_item(0), TreeView_GetSelection(g_shell.tree));
    EXPECT_EQ(g_shell.main_settings.folders.size(), 1u);
    // Only a registered entry can be removed, and it cannot be added again.
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(g_shell.tree_pane, 402)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(g_shell.tree_pane, 403)));

    // A file goes to its folder, in the active view.
    g_shell.active_view = 1;
    ASSERT_TRUE(go_to_path((b + L"\\pic.jpg").c_str()));
    EXPECT_EQ(shown_in(1), b);
    EXPECT_EQ(shown_in(0), a);
    EXPECT_EQ(g_shell.main_settings.folders, (std::vector<std::u16string>{u16_of(a), u16_of(b)}));

    // The selected folder again, now for the other view: the view still gets it.
    g_shell.active_view = 0;
    open_folder_in_view(0, L"");
    ASSERT_TRUE(go_to_path(b.c_str()));
    EXPECT_EQ(shown_in(0), b);

    EXPECT_FALSE(go_to_path((base_ + L"\\missing\\x").c_str()));
    EXPECT_EQ(shown_in(0), b);
}

TEST_F(TreePaneTest, TheControlsOwnSelectionMovesNeverReachAView) {
    const std::wstring a = sub(L"a");
    const std::wstring b = sub(L"b");
    create_pane({a, b});
    ASSERT_TRUE(go_to_path(a.c_str()));
    HTREEITEM a_item = TreeView_GetSelection(g_shell.tree);
    TreeView_SelectItem(g_shell.tree, find_child_by_path(b.c_str(), registered_root_item()));
    EXPECT_EQ(TreeView_GetSelection(g_shell.tree), a_item);
    EXPECT_EQ(shown_in(0), a);
}

TEST_F(TreePaneTest, UnregisteringTheShownFolderEmptiesItsView) {
    const std::wstring a = sub(L"a");
    const std::wstring b = sub(L"b");
    create_pane({a, b});
    ASSERT_TRUE(go_to_path(a.c_str()));
    HTREEITEM a_item = TreeView_GetSelection(g_shell.tree);
    g_shell.active_view = 1;
    ASSERT_TRUE(go_to_path(b.c_str()));
    g_shell.active_view = 0;
    EXPECT_EQ(tree_linked_item(0), a_item);
    ASSERT_TRUE(go_to_path(a.c_str()));
    press(403);
    EXPECT_EQ(g_shell.main_settings.folders, std::vector<std::u16string>{u16_of(b)});
    EXPECT_EQ(shown_in(0), L"");
    EXPECT_EQ(shown_in(1), b);
    EXPECT_EQ(tree_linked_item(0), registered_root_item());
    EXPECT_EQ(find_child_by_path(a.c_str(), registered_root_item()), nullptr);
}

TEST_F(TreePaneTest, CollapsingAboveTheShownFolderEmptiesTheViewAndDiscardsTheChildren) {
    const std::wstring a = sub(L"a");
    const std::wstring b = sub(L"b");
    create_pane({a});
    g_shell.active_view = 1;
    ASSERT_TRUE(go_to_path(b.c_str()));
    g_shell.active_view = 0;
    ASSERT_TRUE(go_to_path(a.c_str()));
    HTREEITEM root = registered_root_item();
    collapse_by_user(root);
    EXPECT_EQ(shown_in(0), L"");
    EXPECT_EQ(shown_in(1), L"");
    EXPECT_EQ(tree_linked_item(0), root);
    EXPECT_EQ(tree_linked_item(1), root);
    EXPECT_TRUE(children(root).empty());
    // Expanded again, the branch is read afresh.
    expand(root);
    EXPECT_EQ(child_folders(root), (std::vector<std::wstring>{a, b}));
}

}  // namespace
