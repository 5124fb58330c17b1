// Pure rules of the folder tree: the registered-folder list, which tree selections reach a
// thumbnail view, the auto-scroll band of a file drag, and joining a folder with a name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The registered folders are used from the front and stay contiguous: the first empty entry
// (or the end of the vector) ends the list, and at most `capacity` entries are used.
int32_t registered_entry_count(const std::vector<std::u16string>& list, int32_t capacity);

enum class RegisterOutcome : int32_t {
    already_registered,
    stored,
    list_full,
    // An empty path would end the list where it was stored and hide every later entry.
    refused,
};

struct RegisterResult {
    RegisterOutcome outcome = RegisterOutcome::refused;
    int32_t slot = -1;  // where the path is (already registered) or went (stored); else -1
};

// The list is searched from the front; an equal entry is reported, otherwise the path goes
// into the first free slot. A full list stores nothing.
RegisterResult add_registered_entry(std::vector<std::u16string>& list, const std::u16string& path,
                                    int32_t capacity);

// Removes the first entry equal to `path`; every later entry moves up by one.
bool remove_registered_entry(std::vector<std::u16string>& list, const std::u16string& path, int32_t capacity);

// The first entry equal to `old_path` takes `new_path`.
bool replace_registered_entry(std::vector<std::u16string>& list, const std::u16string& old_path,
                              const std::u16string& new_path, int32_t capacity);

// Asks `is_directory` once for every entry, in order, and removes those that are gone; the
// entry that moves up into a removed one's place is examined next. Returns how many went.
int32_t prune_registered_entries(std::vector<std::u16string>& list, int32_t capacity,
                                 const std::function<bool(const std::u16string&)>& is_directory);

// Who asked for the tree's selection to move, which decides whether a view follows it.
enum class TreeSelectionSource : int32_t {
    user = 0,         // only the user's own mouse or keyboard changes are let through
    silent = 1,       // a programmatic change that must not touch a view
    folder_only = 2,  // the folder is applied while the selection itself is refused
    apply = 3,        // a programmatic change applied as if the user made it
};

enum class TreeSelectionEvent : int32_t {
    changing_by_user,     // TVN_SELCHANGING caused by the mouse or the keyboard
    changing_by_program,  // TVN_SELCHANGING for any other cause (selection calls, deletions)
    changed,              // TVN_SELCHANGED
};

struct TreeSelectionOutcome {
    bool allow_change = true;  // only meaningful for the changing events
    bool open_folder = false;  // the target view is linked to the item and opens its folder
};

// `item_folder` is the new item's folder (empty when it has none) and `target_folder` the
// folder the target view shows: reopening the folder already shown does nothing.
TreeSelectionOutcome tree_selection_outcome(TreeSelectionSource source, TreeSelectionEvent event,
                                            const std::u16string& item_folder,
                                            const std::u16string& target_folder);

// The view a tree selection opens in: the active one, the other one while Shift is held.
int32_t tree_target_view(int32_t active_view, bool shift_held);

// While a file drag hovers the tree, a point above `top` brings the previous visible item into
// view and one below `bottom` the next one.
struct AutoScrollBand {
    int32_t top = 0;
    int32_t bottom = 0;
};

enum class AutoScroll : int32_t { none, previous, next };

AutoScrollBand auto_scroll_band(int32_t item_height, int32_t client_height, int32_t scroll_bar_height);
AutoScroll auto_scroll_direction(const AutoScrollBand& band, int32_t y);

// What a move or copy of a view's marked files changed (a delete to the bin is a move), judged
// from the files afterwards and not from the shell's result: a cancelled or failed operation may still have
// moved some of them, and a reported success may have skipped some.
struct FileOperationFollowUp {
    bool remove_marked = false;        // every marked file left the folder: the view drops them
    bool rescan_source = false;        // some left, some stayed: the view reads its folder again
    bool destination_changed = false;  // a view showing the destination reads it again
};

// `source_left[i]`: the i-th marked file is no longer in its folder; `arrived[i]`: a file of
// its name is in the destination. A copy never changes the source view.
FileOperationFollowUp file_operation_follow_up(bool move, const std::vector<bool>& source_left,
                                               const std::vector<bool>& arrived);

// Writes folder + "\" + name with its terminator into `out` (room for `capacity` characters);
// a folder that already ends in "\" (a drive root) gets no second one. Refuses, leaving `out`
// untouched, when the result does not fit: a cut path would name another folder. `out` may be
// `folder` itself, never `name`.
bool join_folder_path(const char16_t* folder, const char16_t* name, char16_t* out, size_t capacity);
