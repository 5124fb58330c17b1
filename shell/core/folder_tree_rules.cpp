#include "shell/core/folder_tree_rules.h"

#include <algorithm>

namespace {

// The used entries as a vector index range; entries past the first empty one or past the
// capacity are not part of the list.
size_t used_end(const std::vector<std::u16string>& list, int32_t capacity) {
    return static_cast<size_t>(registered_entry_count(list, capacity));
}

int32_t find_registered(const std::vector<std::u16string>& list, const std::u16string& path,
                        int32_t capacity) {
    const size_t n = used_end(list, capacity);
    for (size_t i = 0; i < n; ++i)
        if (list[i] == path) return static_cast<int32_t>(i);
    return -1;
}

// Drops the unused tail so that the vector is exactly the list again.
void trim_to_list(std::vector<std::u16string>& list, int32_t capacity) {
    list.resize(used_end(list, capacity));
}

size_t length_of(const char16_t* s) {
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

}  // namespace

int32_t registered_entry_count(const std::vector<std::u16string>& list, int32_t capacity) {
    const size_t limit = std::min(list.size(), static_cast<size_t>(std::max<int32_t>(capacity, 0)));
    size_t n = 0;
    while (n < limit && !list[n].empty()) ++n;
    return static_cast<int32_t>(n);
}

RegisterResult add_registered_entry(std::vector<std::u16string>& list, const std::u16string& path,
                                    int32_t capacity) {
    if (path.empty()) return {RegisterOutcome::refused, -1};
    const int32_t found = find_registered(list, path, capacity);
    if (found >= 0) return {RegisterOutcome::already_registered, found};
    const int32_t n = registered_entry_count(list, capacity);
    if (n >= capacity) return {RegisterOutcome::list_full, -1};
    trim_to_list(list, capacity);
    list.push_back(path);
    return {RegisterOutcome::stored, n};
}

bool remove_registered_entry(std::vector<std::u16string>& list, const std::u16string& path,
                             int32_t capacity) {
    const int32_t found = find_registered(list, path, capacity);
    if (found < 0) return false;
    trim_to_list(list, capacity);
    list.erase(list.begin() + found);
    return true;
}

bool replace_registered_entry(std::vector<std::u16string>& list, const std::u16string& old_path,
                              const std::u16string& new_path, int32_t capacity) {
    if (new_path.empty()) return false;
    const int32_t found = find_registered(list, old_path, capacity);
    if (found < 0) return false;
    list[static_cast<size_t>(found)] = new_path;
    return true;
}

int32_t prune_registered_entries(std::vector<std::u16string>& list, int32_t capacity,
                                 const std::function<bool(const std::u16string&)>& is_directory) {
    trim_to_list(list, capacity);
    int32_t removed = 0;
    size_t i = 0;
    while (i < list.size()) {
        if (is_directory(list[i])) {
            ++i;
        } else {
            // The next entry moves into slot i and is examined without advancing.
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
            ++removed;
        }
    }
    return removed;
}

TreeSelectionOutcome tree_selection_outcome(TreeSelectionSource source, TreeSelectionEvent event,
                                            const std::u16string& item_folder,
                                            const std::u16string& target_folder) {
    const bool differs = item_folder != target_folder;
    switch (event) {
        case TreeSelectionEvent::changing_by_user: return {true, false};
        case TreeSelectionEvent::changing_by_program:
            switch (source) {
                case TreeSelectionSource::silent:
                case TreeSelectionSource::apply: return {true, false};
                case TreeSelectionSource::folder_only: return {false, differs};
                // The control moves its own selection after deletions and collapses: no view
                // may follow that.
                case TreeSelectionSource::user: return {false, false};
            }
            return {false, false};
        case TreeSelectionEvent::changed: return {true, source != TreeSelectionSource::silent && differs};
    }
    return {false, false};
}

int32_t tree_target_view(int32_t active_view, bool shift_held) {
    const int32_t active = active_view == 1 ? 1 : 0;
    return shift_held ? 1 - active : active;
}

AutoScrollBand auto_scroll_band(int32_t item_height, int32_t client_height, int32_t scroll_bar_height) {
    return {item_height, client_height - item_height - scroll_bar_height};
}

AutoScroll auto_scroll_direction(const AutoScrollBand& band, int32_t y) {
    if (y < band.top) return AutoScroll::previous;
    if (y > band.bottom) return AutoScroll::next;
    return AutoScroll::none;
}

FileOperationFollowUp file_operation_follow_up(bool move, const std::vector<bool>& source_left,
                                               const std::vector<bool>& arrived) {
    FileOperationFollowUp follow_up;
    if (move) {
        const size_t left = static_cast<size_t>(std::count(source_left.begin(), source_left.end(), true));
        follow_up.remove_marked = left > 0 && left == source_left.size();
        follow_up.rescan_source = left > 0 && left < source_left.size();
        follow_up.destination_changed = left > 0;
    } else {
        follow_up.destination_changed = std::find(arrived.begin(), arrived.end(), true) != arrived.end();
    }
    return follow_up;
}

bool join_folder_path(const char16_t* folder, const char16_t* name, char16_t* out, size_t capacity) {
    const size_t folder_length = length_of(folder);
    const size_t name_length = length_of(name);
    const bool separator = folder_length == 0 || folder[folder_length - 1] != u'\\';
    const size_t total = folder_length + (separator ? 1 : 0) + name_length;
    if (capacity == 0 || total >= capacity) return false;
    // `out` may be `folder` itself: the folder part is already in place then.
    if (out != folder) std::copy(folder, folder + folder_length, out);
    size_t at = folder_length;
    if (separator) out[at++] = u'\\';
    std::copy(name, name + name_length, out + at);
    out[total] = 0;
    return true;
}
