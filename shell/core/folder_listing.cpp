#include "shell/core/folder_listing.h"

#include <algorithm>
#include <atomic>

#include "common/utf16.h"

namespace {

char16_t fold_ascii(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

int portable_name_order(const char16_t* a, const char16_t* b) {
    for (;; ++a, ++b) {
        const char16_t x = fold_ascii(*a);
        const char16_t y = fold_ascii(*b);
        if (x != y) return x < y ? -1 : 1;
        if (x == 0) return 0;
    }
}

std::atomic<NameOrder> g_name_order{nullptr};

struct BuiltInSearch {
    const char16_t* extension;
    size_t length;
};

constexpr BuiltInSearch kBmp[] = {{u".bmp", 4}};
constexpr BuiltInSearch kPng[] = {{u".png", 4}};
constexpr BuiltInSearch kJpeg[] = {{u".jpg", 4}, {u".jpe", 4}, {u".jpeg", 5}};
constexpr BuiltInSearch kTiff[] = {{u".tif", 4}, {u".tiff", 5}};
constexpr BuiltInSearch kGif[] = {{u".gif", 4}};

template <size_t N>
void add_searches(const BuiltInSearch (&searches)[N], std::vector<ListingPattern>* out) {
    for (const BuiltInSearch& s : searches)
        out->push_back(ListingPattern{std::u16string(u"*") + s.extension, s.length});
}

bool has_entries(const ViewState& view) {
    return view.entries && view.count > 0;
}

std::u16string entry_path(const ViewState& view, const FileEntry& entry) {
    return with_backslash(view.folder) + entry.name;
}

void append_two_digits(std::u16string* out, uint16_t value) {
    if (value < 10) out->push_back(u'0');
    for (char c : std::to_string(value)) out->push_back(static_cast<char16_t>(c));
}

}  // namespace

int compare_names(const char16_t* a, const char16_t* b) {
    const NameOrder order = g_name_order.load();
    return order ? order(a, b) : portable_name_order(a, b);
}

NameOrder set_name_order(NameOrder order) {
    return g_name_order.exchange(order);
}

void sort_names(std::vector<std::u16string>* names) {
    // A stable merge sort: it never reads outside the array, whatever the installed order does
    // with equal or ill-ordered names.
    std::stable_sort(names->begin(), names->end(), [](const std::u16string& a, const std::u16string& b) {
        return compare_names(a.c_str(), b.c_str()) < 0;
    });
}

int32_t capped_entry_count(int64_t listed) {
    if (listed <= 0) return 0;
    return listed > kMaxViewEntries ? kMaxViewEntries : static_cast<int32_t>(listed);
}

std::u16string with_backslash(const std::u16string& path) {
    if (path.empty() || path.back() == u'\\') return path;
    return path + u'\\';
}

bool listed_by_search(const FoundFile& file, size_t extension_length, uint32_t excluded) {
    if (file.name.empty() || file.name.size() >= kViewPathChars) return false;
    if (file.attributes & kFileAttributeDirectory) return false;
    if (file.attributes & excluded) return false;
    return path_find_extension(file.name).size() == extension_length;
}

void find_files_with_extension(FolderSearch& search, const std::u16string& pattern, size_t extension_length,
                               uint32_t excluded, size_t capacity, std::vector<std::u16string>* names) {
    if (names->size() >= capacity) return;
    std::vector<FoundFile> found;
    if (!search.find(pattern, &found)) return;
    for (const FoundFile& file : found) {
        if (names->size() >= capacity) return;
        if (listed_by_search(file, extension_length, excluded)) names->push_back(file.name);
    }
}

int32_t count_files_in_folder(FolderSearch& search, const std::u16string& folder) {
    std::vector<FoundFile> found;
    if (!search.find(with_backslash(folder) + u"*.*", &found)) return 0;
    int32_t count = 0;
    for (const FoundFile& file : found)
        if (!(file.attributes & kFileAttributeDirectory) && count < INT32_MAX) ++count;
    return count;
}

std::vector<ListingPattern> listing_patterns(int32_t type_filter,
                                             const std::vector<std::u16string>& plugin_patterns) {
    std::vector<ListingPattern> out;
    switch (type_filter) {
        case 1: add_searches(kBmp, &out); break;
        case 2: add_searches(kPng, &out); break;
        case 3: add_searches(kJpeg, &out); break;
        case 4: add_searches(kTiff, &out); break;
        case 5: add_searches(kGif, &out); break;
        default: {
            add_searches(kBmp, &out);
            add_searches(kPng, &out);
            add_searches(kJpeg, &out);
            add_searches(kTiff, &out);
            add_searches(kGif, &out);
            int taken = 0;
            for (const std::u16string& pattern : plugin_patterns) {
                if (pattern.empty() || taken == kMaxPluginPatterns) break;
                out.push_back(ListingPattern{pattern, pattern.size() - 1});
                ++taken;
            }
            break;
        }
    }
    return out;
}

int32_t list_folder_images(FolderSearch& search, const std::u16string& folder, const ListingOptions& options,
                           size_t capacity, std::vector<std::u16string>* names) {
    names->clear();
    const std::u16string base = with_backslash(folder);
    for (const ListingPattern& p : listing_patterns(options.type_filter, options.plugin_patterns))
        find_files_with_extension(search, base + p.pattern, p.extension_length, options.excluded_attributes,
                                  capacity, names);
    sort_names(names);
    return static_cast<int32_t>(names->size());
}

int32_t first_selected_entry(const ViewState& view) {
    if (!has_entries(view)) return -1;
    for (int32_t i = 0; i < view.count; ++i)
        if (view.entries[i].marked == kEntryMarked) return i;
    return -1;
}

std::u16string build_selected_path_list(const ViewState& view) {
    std::u16string out;
    // An entry without a name would make the path of the folder itself: a delete or move of
    // the list would take the whole folder with it.
    auto add = [&](const FileEntry& entry) {
        if (entry.name[0] == 0) return;
        out += entry_path(view, entry);
        out.push_back(0);
    };
    if (view.marked_count == 1) {
        const int32_t first = first_selected_entry(view);
        if (first >= 0) add(view.entries[first]);
    } else if (has_entries(view)) {
        for (int32_t i = 0; i < view.count; ++i)
            if (view.entries[i].marked == kEntryMarked) add(view.entries[i]);
    }
    out.push_back(0);
    return out;
}

std::u16string build_quoted_selected_paths(const ViewState& view) {
    std::u16string out;
    if (!has_entries(view)) return out;
    for (int32_t i = 0; i < view.count; ++i) {
        const FileEntry& entry = view.entries[i];
        if (entry.marked != kEntryMarked || entry.name[0] == 0) continue;
        if (!out.empty()) out.push_back(u' ');
        out += u'"' + entry_path(view, entry) + u'"';
    }
    return out;
}

std::u16string format_file_time(const LocalFileTime& time) {
    std::u16string out;
    for (char c : std::to_string(time.year)) out.push_back(static_cast<char16_t>(c));
    out.push_back(u'/');
    append_two_digits(&out, time.month);
    out.push_back(u'/');
    append_two_digits(&out, time.day);
    out.push_back(u' ');
    append_two_digits(&out, time.hour);
    out.push_back(u':');
    append_two_digits(&out, time.minute);
    out.push_back(u':');
    append_two_digits(&out, time.second);
    return out;
}
