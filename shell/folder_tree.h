// The folder tree pane on the left of the main window, and the items of its tree: the shell's
// desktop branch and the registered folders read from the file system.
#pragma once

// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
// clang-format on

#include <string>
#include <vector>

struct FileEntry;

LRESULT CALLBACK tree_pane_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
// Pane (id 400) with the tree and the information list, child of the client window, hidden.
void create_folder_tree_pane(HWND client);
// A shortcut is resolved, a file cut to its folder, and the folder registered and opened in the
// active view; false when the folder could not be registered.
bool go_to_path(const wchar_t* path);
// The main window's entry for command-line, forwarded and dropped paths: go_to_path.
void open_path_in_folder_tree(const wchar_t* path);
// The tree's drag cursors, cursor resources 170-175 in this order: moving or copying files onto
// a folder, a drop that is refused, a folder dragged from the tree, and the target view's cursor
// over the tree (view 1, view 2).
enum class TreeCursor : int { move, copy, no_drop, folder, view1, view2 };
constexpr int kFirstTreeCursorId = 170;
constexpr int kTreeCursorCount = 6;
// Loaded with the pane; the arrow stands in for a cursor that could not be loaded.
HCURSOR tree_cursor(TreeCursor which);
// The view a tree selection opens in, and the item each view is linked to.
int tree_target_view_now();
HTREEITEM tree_linked_item(int view);
// Codes 153/154: the information of a FileEntry of that view, or nothing for 0.
void show_entry_info(int view, LPARAM entry);
// Empties the information list, then shows the Exif rows of a JPEG entry or the text rows of
// any other entry of `view` (null: the list stays empty).
void show_file_info(int view, const FileEntry* entry);
void restore_subclassed_controls();
bool tree_wants_context_menu();
void clear_tree_drop_target();

// The pressed-button state of the thumbnail cells: 0 none, 1 left, 2 right. Once a view has
// started a drag of its marked files (code 152), it says which button drags.
int file_drag_state();
void set_file_drag_state(int state);
// Code 152: a view starts dragging its marked files. An auto-shown pane stays up for the drag
// and auto-show comes back after the drop.
void tree_pane_drag_starts();
// Moves (drag state 1) or copies (state 2) the marked files of `view` into `folder`; true when
// the destination changed.
bool move_or_copy_marked_files(const wchar_t* folder, int view);

// Commands 7110, 7111 and 7160 (the View menu's toggle of hidden folders too).
void toggle_tree_auto_show();
void toggle_info_list();
void toggle_hidden_folders();
// The folder-tree context popup's state of `command` (MF_ENABLED, MF_GRAYED, MF_CHECKED).
UINT tree_context_item_state(int command);
// The folder-tree context popup of the main menus, or null while there is none.
HMENU folder_tree_context_popup();

// Shift over the tree: the other view becomes the target (the selection is removed);
// otherwise the active view, whose linked item is selected when `select` is set.
void set_tree_target_view(bool shift, bool select);

// Code 151: with the pointer over the tree, the new active view becomes the target view and
// the pointer shows its cursor.
void tree_active_view_changed();

// Follow-ups of the name dialog (5500).
void tree_after_folder_rename(const wchar_t* new_path, const wchar_t* old_path);
void tree_after_folder_create(const wchar_t* parent_path);
// Screen y of the top of the item the context menu acted on; 0 when it has no rectangle.
int tree_selected_item_top();
// Code 190: a folder gained content; its parent's item, when it has no children, can expand.
void tree_mark_parent_expandable(const wchar_t* path);
// The folder last opened through open_path_in_folder_tree.
const wchar_t* last_opened_folder();

enum FolderTreeKind : int { kShellTreeItem = 0, kFileSystemTreeItem = 1 };
enum RegistrationFlag : int { kRegisteredRoot = 0, kRegisteredEntry = 1, kRegisteredSubfolder = 2 };

// The lParam of every tree item; allocated from the tree's heap, freed on TVN_DELETEITEMW.
struct FolderTreeItem {
    int kind = kShellTreeItem;
    // Shell item: its own folder, the list its parent's enumeration returned (task memory) and
    // the absolute list (heap).
    IShellFolder* folder = nullptr;
    LPITEMIDLIST relative = nullptr;
    LPITEMIDLIST absolute = nullptr;
    // File-system item.
    int registration = kRegisteredRoot;
    wchar_t path[MAX_PATH] = {};
};

// Hands the tree its window, the heap its records come from (null: the process heap), the
// hidden-attribute mask and the registered-folder list it keeps up to date.
void set_folder_tree_context(HWND tree, HANDLE heap, DWORD hidden_mask,
                             std::vector<std::u16string>* registered);
void set_folder_tree_hidden_mask(DWORD hidden_mask);
HTREEITEM create_desktop_root(HWND tree);
HTREEITEM create_registered_root(std::vector<std::u16string>* list);
HTREEITEM desktop_root_item();
HTREEITEM registered_root_item();

// On success the item owns `relative`; on refusal (0) the caller still does.
HTREEITEM insert_shell_item(IShellFolder* parent_folder, LPCITEMIDLIST parent_absolute, HTREEITEM parent_item,
                            LPITEMIDLIST relative);
HTREEITEM insert_folder_item(const wchar_t* path, HTREEITEM parent_item, int registration);
// TVN_ITEMEXPANDINGW with TVE_EXPAND.
void fill_tree_children(const NMTREEVIEWW* notification);
// TVN_DELETEITEMW.
void free_tree_item(const NMTREEVIEWW* notification);
int CALLBACK compare_shell_items(LPARAM first, LPARAM second, LPARAM parent_folder) noexcept;
HTREEITEM find_child_by_path(const wchar_t* path, HTREEITEM parent_item);
HTREEITEM add_registered_folder(const wchar_t* path);
bool remove_registered_folder(HTREEITEM item);
void replace_registered_path(const wchar_t* old_path, const wchar_t* new_path);
void set_children_flag(HTREEITEM item, int value);
// `path` has room for MAX_PATH characters; false for an item without an existing folder.
bool tree_item_folder_path(HTREEITEM item, wchar_t* path);
// The path an item stands for whether or not it still exists (MAX_PATH characters); false for
// the registered root and an item without data.
bool tree_item_stored_path(HTREEITEM item, wchar_t* path);
bool is_registered_branch_item(HTREEITEM item);
FolderTreeItem* tree_item_data(HTREEITEM item);
