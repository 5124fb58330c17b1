#include "imagewin/core/image_file_list.h"

#include <algorithm>
#include <set>
#include <utility>

#include "common/utf16.h"

namespace {

bool is_separator(char16_t c) {
    return c == u'\\' || c == u'/';
}

std::u16string join_path(const std::u16string& folder, const std::u16string& name) {
    if (!folder.empty() && is_separator(folder.back())) return folder + name;
    return folder + u"\\" + name;
}

}  // namespace

bool find_files_with_extension(const ImageListSources& sources, std::vector<std::u16string>* names,
                               const std::u16string& pattern, size_t extension_length) {
    std::vector<FolderItem> items;
    if (!sources.enumerate(pattern, &items)) return false;
    for (FolderItem& item : items) {
        if (listed_by_search(FoundFile{item.name, item.attributes}, extension_length,
                             sources.excluded_attributes))
            names->push_back(std::move(item.name));
    }
    return true;
}

bool build_image_folder_list(const std::u16string& folder, const ImageListSources& sources,
                             std::vector<std::u16string>* names) {
    std::vector<std::u16string> found;
    for (const ListingPattern& p : listing_patterns(0, sources.plugin_patterns)) {
        if (!find_files_with_extension(sources, &found, join_path(folder, p.pattern), p.extension_length))
            return false;
    }
    // A plug-in pattern that repeats a built-in one would list its files twice.
    std::set<std::u16string> seen;
    std::vector<std::u16string> unique;
    unique.reserve(found.size());
    for (std::u16string& name : found) {
        if (seen.insert(name).second) unique.push_back(std::move(name));
    }
    std::stable_sort(unique.begin(), unique.end(), [&](const std::u16string& a, const std::u16string& b) {
        return sources.compare(a, b) < 0;
    });
    *names = std::move(unique);
    return true;
}

int32_t find_list_entry(const ImageFileList& list, const std::u16string& file_name,
                        const NameComparator& compare) {
    if (file_name.empty()) return -1;
    const int32_t count = static_cast<int32_t>(list.names.size());
    for (int32_t i = 0; i < count; ++i) {
        if (list.names[i] == file_name) return i;
    }
    for (int32_t i = 0; i < count; ++i) {
        if (compare(list.names[i], file_name) == 0) return i;
    }
    return -1;
}

void set_list_names(ImageFileList& list, std::vector<std::u16string> names, const std::u16string& file_name,
                    const NameComparator& compare) {
    list.names = std::move(names);
    list.selected = find_list_entry(list, file_name, compare);
}

void remove_list_entry(ImageFileList& list, int32_t index) {
    if (index < 0 || index >= static_cast<int32_t>(list.names.size())) return;
    list.names.erase(list.names.begin() + index);
    if (list.selected == index) {
        list.selected = -1;
    } else if (list.selected > index) {
        --list.selected;
    }
}

std::u16string folder_of_path(const std::u16string& path) {
    size_t last = std::u16string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        if (is_separator(path[i])) last = i;
    }
    if (last == std::u16string::npos) return std::u16string();
    const bool drive_root = last == 2 && path[1] == u':';
    if (last == 0 || drive_root) return path.substr(0, last + 1);
    return path.substr(0, last);
}

bool list_entry_path(const std::u16string& folder, const std::u16string& name, std::u16string* path) {
    if (folder.empty() || name.empty()) return false;
    std::u16string joined = join_path(folder, name);
    if (joined.size() >= kImageListPathChars) return false;
    *path = std::move(joined);
    return true;
}

ListSync decide_list_sync(const std::u16string& path, std::u16string* folder, bool change_fired) {
    const std::u16string part = folder_of_path(path);
    if (part.empty()) return ListSync::nothing;
    if (part != *folder) {
        *folder = part;
        return ListSync::rebuild;
    }
    return change_fired ? ListSync::rebuild : ListSync::select;
}

int32_t navigation_target(int32_t kind, int32_t count, int32_t current) {
    if (count <= 0) return -1;
    if (current < -1 || current >= count) current = -1;
    const int32_t last = count - 1;
    switch (kind) {
        case kNavigateFirst: return current == 0 ? -1 : 0;
        case kNavigateLast: return current == last ? -1 : last;
        case kNavigatePrevious: return current <= 0 ? -1 : current - 1;
        case kNavigateNext: return current >= last ? -1 : current + 1;
        default: return -1;
    }
}

int32_t entry_after_deletion(int32_t removed, int32_t count) {
    if (count <= 0) return -1;
    return removed >= 0 && removed < count ? removed : 0;
}

bool clicked_entry_opens(const ImageFileList& list, int32_t index, const std::u16string& file_name) {
    if (index < 0 || index >= static_cast<int32_t>(list.names.size())) return false;
    return list.names[index] != file_name;
}
