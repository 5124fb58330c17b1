// The items of the folder tree: the shell namespace under the desktop, the registered folders
// under their own root, lazily filled children and the folder path behind each item.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <shlwapi.h>
// clang-format on

#include <cstring>
#include <new>

#include "common/win/handle.h"
#include "shell/core/folder_tree_rules.h"
#include "shell/core/settings_slots.h"
#include "shell/folder_tree.h"
#include "shell/shell_state.h"
#include "shell/shell_texts.h"

namespace {

struct TreeModule {
    HWND tree = nullptr;
    HANDLE heap = nullptr;
    DWORD hidden_mask = 0;
    HTREEITEM desktop_root = nullptr;
    HTREEITEM registered_root = nullptr;
    std::vector<std::u16string>* registered = nullptr;
};

TreeModule g_tree;

HANDLE tree_heap() {
    return g_tree.heap ? g_tree.heap : GetProcessHeap();
}

char16_t* as_u16(wchar_t* s) {
    return reinterpret_cast<char16_t*>(s);
}
const char16_t* as_u16(const wchar_t* s) {
    return reinterpret_cast<const char16_t*>(s);
}

bool is_existing_directory(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Bytes of an item-id list without its 2-byte terminator.
size_t id_list_bytes(LPCITEMIDLIST list) {
    if (!list) return 0;
    size_t n = 0;
    const BYTE* p = reinterpret_cast<const BYTE*>(list);
    for (;;) {
        USHORT cb;
        std::memcpy(&cb, p + n, sizeof cb);
        if (cb == 0) return n;
        n += cb;
    }
}

// parent + relative + terminator, from the tree's heap.
LPITEMIDLIST join_id_lists(LPCITEMIDLIST parent, LPCITEMIDLIST relative) {
    const size_t a = id_list_bytes(parent);
    const size_t b = id_list_bytes(relative);
    BYTE* out = static_cast<BYTE*>(HeapAlloc(tree_heap(), 0, a + b + 2));
    if (!out) return nullptr;
    if (a) std::memcpy(out, parent, a);
    if (b) std::memcpy(out + a, relative, b);
    out[a + b] = 0;
    out[a + b + 1] = 0;
    return reinterpret_cast<LPITEMIDLIST>(out);
}

FolderTreeItem* new_record() {
    void* memory = HeapAlloc(tree_heap(), HEAP_ZERO_MEMORY, sizeof(FolderTreeItem));
    return memory ? new (memory) FolderTreeItem() : nullptr;
}

void free_record(FolderTreeItem* record) {
    if (!record) return;
    if (record->folder) record->folder->Release();
    if (record->relative) CoTaskMemFree(record->relative);
    if (record->absolute) HeapFree(tree_heap(), 0, record->absolute);
    HeapFree(tree_heap(), 0, record);
}

bool shares_hidden_bit(DWORD attributes) {
    // Unreadable attributes say nothing about hiding: such a folder stays listed.
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & g_tree.hidden_mask) != 0;
}

bool listable_subfolder(const WIN32_FIND_DATAW& found) {
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(found.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM) &&
           !(found.dwFileAttributes & g_tree.hidden_mask) && found.cFileName[0] != L'.';
}

FindHandle find_all_in(const wchar_t* folder, WIN32_FIND_DATAW* found) {
    wchar_t pattern[MAX_PATH];
    if (!join_folder_path(as_u16(folder), u"*", as_u16(pattern), MAX_PATH)) return FindHandle();
    return FindHandle(FindFirstFileW(pattern, found));
}

bool has_listable_subfolder(const wchar_t* folder) {
    WIN32_FIND_DATAW found;
    FindHandle find = find_all_in(folder, &found);
    if (!find.valid()) return false;
    do {
        if (listable_subfolder(found)) return true;
    } while (FindNextFileW(find.get(), &found));
    return false;
}

HTREEITEM insert_item(TVINSERTSTRUCTW* insert) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(g_tree.tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(insert)));
}

HTREEITEM child_of(HTREEITEM item) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(g_tree.tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM next_sibling(HTREEITEM item) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(g_tree.tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
}

void expand(HTREEITEM item) {
    SendMessageW(g_tree.tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
}

// The record of a shell item: `relative` is adopted only when the record is returned.
FolderTreeItem* make_shell_record(IShellFolder* parent_folder, LPCITEMIDLIST parent_absolute,
                                  LPITEMIDLIST relative) {
    FolderTreeItem* record = new_record();
    if (!record) return nullptr;
    record->kind = kShellTreeItem;
    record->absolute = join_id_lists(parent_absolute, relative);
    HRESULT bound = E_FAIL;
    if (record->absolute) {
        if (parent_folder) {
            bound = parent_folder->BindToObject(relative, nullptr, IID_IShellFolder,
                                                reinterpret_cast<void**>(&record->folder));
        } else {
            bound = SHGetDesktopFolder(&record->folder);
        }
    }
    if (FAILED(bound) || !record->folder) {
        record->folder = nullptr;
        free_record(record);
        return nullptr;
    }
    record->relative = relative;
    return record;
}

HTREEITEM insert_shell_record(FolderTreeItem* record, HTREEITEM parent_item, HTREEITEM after,
                              bool has_children, bool shared) {
    SHFILEINFOW normal = {};
    SHGetFileInfoW(reinterpret_cast<LPCWSTR>(record->absolute), 0, &normal, sizeof normal,
                   SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    SHFILEINFOW open = {};
    SHGetFileInfoW(reinterpret_cast<LPCWSTR>(record->absolute), 0, &open, sizeof open,
                   SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_OPENICON | SHGFI_SMALLICON | SHGFI_DISPLAYNAME);
    TVINSERTSTRUCTW insert = {};
    insert.hParent = parent_item;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
    insert.item.pszText = open.szDisplayName;
    insert.item.iImage = normal.iIcon;
    insert.item.iSelectedImage = open.iIcon;
    insert.item.cChildren = has_children ? 1 : 0;
    insert.item.lParam = reinterpret_cast<LPARAM>(record);
    if (shared) {
        insert.item.mask |= TVIF_STATE;
        insert.item.stateMask = TVIS_OVERLAYMASK;
        insert.item.state = INDEXTOOVERLAYMASK(1);
    }
    return insert_item(&insert);
}

bool registered_path_fits(const std::u16string& path) {
    return !path.empty() && path.size() < MAX_PATH;
}

void fill_registered_root(HTREEITEM root) {
    std::vector<std::u16string>* list = g_tree.registered;
    if (!list || registered_entry_count(*list, kFolderSlots) == 0) {
        set_children_flag(root, 0);
        return;
    }
    // A path too long for the tree's records can never be shown: it goes with the vanished.
    prune_registered_entries(*list, kFolderSlots, [](const std::u16string& path) {
        return registered_path_fits(path) &&
               is_existing_directory(reinterpret_cast<const wchar_t*>(path.c_str()));
    });
    int inserted = 0;
    for (const std::u16string& path : *list)
        if (insert_folder_item(reinterpret_cast<const wchar_t*>(path.c_str()), root, kRegisteredEntry))
            ++inserted;
    if (inserted == 0) set_children_flag(root, 0);
}

void fill_folder_children(HTREEITEM item, const FolderTreeItem* record) {
    WIN32_FIND_DATAW found;
    FindHandle find = find_all_in(record->path, &found);
    if (!find.valid()) {
        set_children_flag(item, 0);
        return;
    }
    int inserted = 0;
    do {
        if (!listable_subfolder(found)) continue;
        wchar_t child[MAX_PATH];
        // A name that does not fit beside its folder is left out rather than cut into another.
        if (!join_folder_path(as_u16(record->path), as_u16(found.cFileName), as_u16(child), MAX_PATH))
            continue;
        if (insert_folder_item(child, item, kRegisteredSubfolder)) ++inserted;
    } while (FindNextFileW(find.get(), &found));
    if (inserted == 0) set_children_flag(item, 0);
}

void fill_shell_children(HTREEITEM item, const FolderTreeItem* record) {
    IEnumIDList* enumerator = nullptr;
    const HRESULT hr =
        record->folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_INCLUDEHIDDEN, &enumerator);
    // S_FALSE with no enumerator is how a folder says it has nothing to list.
    if (hr != S_OK || !enumerator) {
        if (enumerator) enumerator->Release();
        set_children_flag(item, 0);
        return;
    }
    int inserted = 0;
    LPITEMIDLIST relative = nullptr;
    ULONG fetched = 0;
    while (enumerator->Next(1, &relative, &fetched) == S_OK && fetched == 1) {
        if (insert_shell_item(record->folder, record->absolute, item, relative))
            ++inserted;
        else
            CoTaskMemFree(relative);
        relative = nullptr;
    }
    enumerator->Release();
    if (inserted == 0) {
        set_children_flag(item, 0);
        return;
    }
    TVSORTCB sort = {};
    sort.hParent = item;
    sort.lpfnCompare = compare_shell_items;
    sort.lParam = reinterpret_cast<LPARAM>(record->folder);
    SendMessageW(g_tree.tree, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
}

// The path an item stands for, whether or not it exists: a stored path, or the file-system
// path of a shell item.
bool item_path(const FolderTreeItem* record, wchar_t* path) {
    if (!record) return false;
    if (record->kind == kFileSystemTreeItem) {
        if (record->registration == kRegisteredRoot) return false;
        lstrcpynW(path, record->path, MAX_PATH);
        return true;
    }
    return record->absolute && SHGetPathFromIDListW(record->absolute, path);
}

}  // namespace

void set_folder_tree_context(HWND tree, HANDLE heap, DWORD hidden_mask,
                             std::vector<std::u16string>* registered) {
    g_tree = TreeModule{};
    g_tree.tree = tree;
    g_tree.heap = heap;
    g_tree.hidden_mask = hidden_mask;
    g_tree.registered = registered;
}

void set_folder_tree_hidden_mask(DWORD hidden_mask) {
    g_tree.hidden_mask = hidden_mask;
}

HTREEITEM desktop_root_item() {
    return g_tree.desktop_root;
}

HTREEITEM registered_root_item() {
    return g_tree.registered_root;
}

FolderTreeItem* tree_item_data(HTREEITEM item) {
    if (!item || !g_tree.tree) return nullptr;
    TVITEMW tv = {};
    tv.mask = TVIF_HANDLE | TVIF_PARAM;
    tv.hItem = item;
    if (!SendMessageW(g_tree.tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv))) return nullptr;
    return reinterpret_cast<FolderTreeItem*>(tv.lParam);
}

HTREEITEM create_desktop_root(HWND tree) {
    g_tree.tree = tree;
    LPITEMIDLIST desktop = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &desktop)) || !desktop) return nullptr;
    SHFILEINFOW info = {};
    const HIMAGELIST images =
        reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(reinterpret_cast<LPCWSTR>(desktop), 0, &info, sizeof info,
                                                    SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    if (images) SendMessageW(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
    FolderTreeItem* record = make_shell_record(nullptr, nullptr, desktop);
    if (!record) {
        CoTaskMemFree(desktop);
        return nullptr;
    }
    HTREEITEM item = insert_shell_record(record, TVI_ROOT, TVI_LAST, true, false);
    if (!item) {
        free_record(record);
        return nullptr;
    }
    g_tree.desktop_root = item;
    return item;
}

HTREEITEM create_registered_root(std::vector<std::u16string>* list) {
    g_tree.registered = list;
    FolderTreeItem* record = new_record();
    if (!record) return nullptr;
    record->kind = kFileSystemTreeItem;
    record->registration = kRegisteredRoot;
    int image = 0;
    LPITEMIDLIST favourites = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_FAVORITES, &favourites)) && favourites) {
        SHFILEINFOW info = {};
        if (SHGetFileInfoW(reinterpret_cast<LPCWSTR>(favourites), 0, &info, sizeof info,
                           SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON))
            image = info.iIcon;
        CoTaskMemFree(favourites);
    }
    TVINSERTSTRUCTW insert = {};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
    insert.item.pszText = const_cast<wchar_t*>(kTreeRegisteredRoot);
    insert.item.iImage = image;
    insert.item.iSelectedImage = image;
    insert.item.cChildren = 1;
    insert.item.lParam = reinterpret_cast<LPARAM>(record);
    HTREEITEM item = insert_item(&insert);
    if (!item) {
        free_record(record);
        return nullptr;
    }
    g_tree.registered_root = item;
    return item;
}

HTREEITEM insert_shell_item(IShellFolder* parent_folder, LPCITEMIDLIST parent_absolute, HTREEITEM parent_item,
                            LPITEMIDLIST relative) {
    if (!parent_folder || !relative) return nullptr;
    LPCITEMIDLIST one[1] = {relative};
    SFGAOF attributes = SFGAO_HASSUBFOLDER | SFGAO_FOLDER | SFGAO_SHARE;
    if (FAILED(parent_folder->GetAttributesOf(1, one, &attributes)) || !(attributes & SFGAO_FOLDER))
        return nullptr;
    FolderTreeItem* record = make_shell_record(parent_folder, parent_absolute, relative);
    if (!record) return nullptr;
    wchar_t path[MAX_PATH];
    if (SHGetPathFromIDListW(record->absolute, path) && !PathIsRootW(path) &&
        shares_hidden_bit(GetFileAttributesW(path))) {
        record->relative = nullptr;  // still the caller's
        free_record(record);
        return nullptr;
    }
    HTREEITEM item =
        insert_shell_record(record, parent_item, TVI_LAST, (attributes & SFGAO_HASSUBFOLDER) != 0,
                            (attributes & SFGAO_SHARE) != 0);
    if (!item) {
        record->relative = nullptr;
        free_record(record);
    }
    return item;
}

HTREEITEM insert_folder_item(const wchar_t* path, HTREEITEM parent_item, int registration) {
    if (!path || lstrlenW(path) >= MAX_PATH) return nullptr;
    FolderTreeItem* record = new_record();
    if (!record) return nullptr;
    record->kind = kFileSystemTreeItem;
    record->registration = registration;
    lstrcpynW(record->path, path, MAX_PATH);
    SHFILEINFOW normal = {};
    SHGetFileInfoW(path, 0, &normal, sizeof normal, SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    SHFILEINFOW open = {};
    SHGetFileInfoW(path, 0, &open, sizeof open,
                   SHGFI_SYSICONINDEX | SHGFI_OPENICON | SHGFI_SMALLICON | SHGFI_DISPLAYNAME);
    // The shell may not know a name for a folder it cannot see; the last path element then.
    const wchar_t* text = open.szDisplayName[0] ? open.szDisplayName : PathFindFileNameW(path);
    TVINSERTSTRUCTW insert = {};
    insert.hParent = parent_item;
    insert.hInsertAfter = TVI_SORT;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_PARAM | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
    insert.item.pszText = const_cast<wchar_t*>(text);
    insert.item.iImage = normal.iIcon;
    insert.item.iSelectedImage = open.iIcon;
    insert.item.cChildren = has_listable_subfolder(path) ? 1 : 0;
    insert.item.lParam = reinterpret_cast<LPARAM>(record);
    HTREEITEM item = insert_item(&insert);
    if (!item) free_record(record);
    return item;
}

void fill_tree_children(const NMTREEVIEWW* notification) {
    HTREEITEM item = notification->itemNew.hItem;
    const FolderTreeItem* record = reinterpret_cast<const FolderTreeItem*>(notification->itemNew.lParam);
    if (!record) record = tree_item_data(item);
    if (!record) return;
    if (record->kind == kShellTreeItem) {
        fill_shell_children(item, record);
    } else if (record->registration == kRegisteredRoot) {
        fill_registered_root(item);
    } else {
        fill_folder_children(item, record);
    }
}

void free_tree_item(const NMTREEVIEWW* notification) {
    free_record(reinterpret_cast<FolderTreeItem*>(notification->itemOld.lParam));
}

int CALLBACK compare_shell_items(LPARAM first, LPARAM second, LPARAM parent_folder) noexcept {
    const FolderTreeItem* a = reinterpret_cast<const FolderTreeItem*>(first);
    const FolderTreeItem* b = reinterpret_cast<const FolderTreeItem*>(second);
    IShellFolder* folder = reinterpret_cast<IShellFolder*>(parent_folder);
    if (!a || !b || !folder) return 0;
    const HRESULT hr = folder->CompareIDs(0, a->relative, b->relative);
    return static_cast<short>(HRESULT_CODE(hr) & 0xFFFF);
}

HTREEITEM find_child_by_path(const wchar_t* path, HTREEITEM parent_item) {
    for (HTREEITEM child = child_of(parent_item); child; child = next_sibling(child)) {
        wchar_t child_path[MAX_PATH];
        if (item_path(tree_item_data(child), child_path) && lstrcmpW(child_path, path) == 0) return child;
    }
    return nullptr;
}

HTREEITEM add_registered_folder(const wchar_t* path) {
    HTREEITEM root = g_tree.registered_root;
    if (!root || !g_tree.registered || !path || lstrlenW(path) >= MAX_PATH || !is_existing_directory(path))
        return nullptr;
    expand(root);
    std::vector<std::u16string>& list = *g_tree.registered;
    const RegisterResult result = add_registered_entry(list, u16(path), kFolderSlots);
    switch (result.outcome) {
        case RegisterOutcome::refused: return nullptr;
        case RegisterOutcome::already_registered: return find_child_by_path(path, root);
        case RegisterOutcome::stored:
            if (result.slot == 0) {
                set_children_flag(root, 1);
                expand(root);
                return find_child_by_path(path, root);
            }
            return insert_folder_item(path, root, kRegisteredEntry);
        case RegisterOutcome::list_full: {
            // Shown for this run without being stored; a second request finds the same item.
            HTREEITEM existing = find_child_by_path(path, root);
            return existing ? existing : insert_folder_item(path, root, kRegisteredEntry);
        }
    }
    return nullptr;
}

bool remove_registered_folder(HTREEITEM item) {
    const FolderTreeItem* record = tree_item_data(item);
    if (!record || record->kind != kFileSystemTreeItem || record->registration != kRegisteredEntry)
        return false;
    if (g_tree.registered) remove_registered_entry(*g_tree.registered, u16(record->path), kFolderSlots);
    SendMessageW(g_tree.tree, TVM_SELECTITEM, TVGN_CARET, 0);
    SendMessageW(g_tree.tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item));
    if (g_tree.registered_root && !child_of(g_tree.registered_root))
        set_children_flag(g_tree.registered_root, 0);
    return true;
}

void replace_registered_path(const wchar_t* old_path, const wchar_t* new_path) {
    if (!g_tree.registered || !old_path || !new_path || lstrlenW(new_path) >= MAX_PATH) return;
    replace_registered_entry(*g_tree.registered, u16(old_path), u16(new_path), kFolderSlots);
}

void set_children_flag(HTREEITEM item, int value) {
    TVITEMW tv = {};
    tv.mask = TVIF_HANDLE | TVIF_STATE | TVIF_CHILDREN;
    tv.hItem = item;
    tv.stateMask = TVIS_EXPANDED | TVIS_EXPANDEDONCE;
    tv.state = 0;
    tv.cChildren = value;
    SendMessageW(g_tree.tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
}

bool tree_item_folder_path(HTREEITEM item, wchar_t* path) {
    wchar_t found[MAX_PATH];
    if (!item_path(tree_item_data(item), found) || !is_existing_directory(found)) return false;
    lstrcpynW(path, found, MAX_PATH);
    return true;
}

bool tree_item_stored_path(HTREEITEM item, wchar_t* path) {
    return item_path(tree_item_data(item), path);
}

bool is_registered_branch_item(HTREEITEM item) {
    const FolderTreeItem* record = tree_item_data(item);
    return record && record->kind == kFileSystemTreeItem;
}
