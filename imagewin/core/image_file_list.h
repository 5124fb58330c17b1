// The rules of the image windows' file list: which files of the current image's folder it
// holds and in what order, which entry is the current file, where navigation goes, and when the
// list is rebuilt. The folder is read through an injected enumerator and names are ordered by
// an injected comparison, so the rules run natively; the list box mirrors `ImageFileList`.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "shell/core/folder_listing.h"

// The folder is listed as the browser lists it with every type shown: the eight built-in
// extensions in order, then the plug-ins' patterns.
constexpr int kImageListExtensionCount = 8;
constexpr int kPluginPatternLimit = kMaxPluginPatterns;
// Paths are buffers of 260 characters, the terminator included.
constexpr size_t kImageListPathChars = 260;

struct FolderItem {
    std::u16string name;
    uint32_t attributes = 0;
};

// Lists what a search pattern (folder, separator, name with wildcards) matches, as the system's
// file search does, short names included. False when the folder cannot be read; a pattern that
// matches nothing gives true and no items.
using FolderEnumerator = std::function<bool(const std::u16string& pattern, std::vector<FolderItem>* items)>;
// Orders names as the system orders file names: negative, 0 or positive.
using NameComparator = std::function<int(const std::u16string& a, const std::u16string& b)>;

struct ImageListSources {
    FolderEnumerator enumerate;
    NameComparator compare;
    uint32_t excluded_attributes = 0;  // a file with any of these bits is not listed
    // The plug-ins' patterns ("*" and an extension), at most kPluginPatternLimit; empty when the
    // plug-in folder setting names no existing folder.
    std::vector<std::u16string> plugin_patterns;
};

// Appends the files that `pattern` matches whose extension, dot included, is exactly
// `extension_length` characters long: the search also matches short names, through which
// "*.jpe" would find "photo.jpeg". Directories and excluded files are skipped. False when the
// folder cannot be read.
bool find_files_with_extension(const ImageListSources& sources, std::vector<std::u16string>* names,
                               const std::u16string& pattern, size_t extension_length);

// The names of the image files of `folder`, sorted, each once (a plug-in pattern may repeat a
// built-in one). An empty folder gives an empty list. False, and `names` untouched, when the
// folder cannot be read.
bool build_image_folder_list(const std::u16string& folder, const ImageListSources& sources,
                             std::vector<std::u16string>* names);

struct ImageFileList {
    std::vector<std::u16string> names;
    int32_t selected = -1;  // the current file's entry, -1 for none
};

// The entry of `file_name`: the one spelled exactly so, else one the comparison calls equal
// (a path typed in another case); never an entry that merely begins with it. -1 when none.
int32_t find_list_entry(const ImageFileList& list, const std::u16string& file_name,
                        const NameComparator& compare);
// Replaces the names and selects `file_name` among them.
void set_list_names(ImageFileList& list, std::vector<std::u16string> names, const std::u16string& file_name,
                    const NameComparator& compare);
// Removes an entry; the selection stays on its file, or is gone when it was that entry.
void remove_list_entry(ImageFileList& list, int32_t index);

// The folder part of a path as the system's path helper takes it: a drive root keeps its
// separator ("C:\"), other folders lose it; empty for a bare name or an empty path.
std::u16string folder_of_path(const std::u16string& path);
// `folder` and `name` joined by one separator. False when the result does not fit a path buffer.
bool list_entry_path(const std::u16string& folder, const std::u16string& name, std::u16string* path);

enum class ListSync {
    nothing,  // no folder to list (an image pasted from the clipboard)
    rebuild,  // the folder is another one, or its file names changed
    select,   // only the current file's entry is selected again
};

// What `sync_image_folder_list` does for the current `path`; with rebuild, `folder` becomes the
// folder to list.
ListSync decide_list_sync(const std::u16string& path, std::u16string* folder, bool change_fired);

enum NavigateKind : int32_t {
    kNavigateFirst = 0,
    kNavigateLast = 1,
    kNavigatePrevious = 2,
    kNavigateNext = 3,
};

// The entry that first, last, previous or next goes to from `current` (-1: none selected),
// or -1 when there is nowhere to go: navigation never wraps around.
int32_t navigation_target(int32_t kind, int32_t count, int32_t current);
// The entry shown after the entry `removed` was deleted and `count` entries remain: the one
// that took its place, or the first when it was the last; -1 when none remain.
int32_t entry_after_deletion(int32_t removed, int32_t count);
// A click on `index` opens a file unless it is the current one (exact comparison).
bool clicked_entry_opens(const ImageFileList& list, int32_t index, const std::u16string& file_name);
