// Views filled in code: a folder, names and marks, as a view thread publishes them.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "shell/core/folder_listing.h"

struct TestView {
    std::vector<FileEntry> entries;
    ViewState state{};

    // Each name marked when it starts with '*' (the star is not part of the name).
    TestView(const std::u16string& folder, const std::vector<std::u16string>& names) { set(folder, names); }
    TestView() = default;

    void set(const std::u16string& folder, const std::vector<std::u16string>& names) {
        entries.assign(names.size(), FileEntry{});
        state = ViewState{};
        for (size_t i = 0; i < names.size(); ++i) {
            std::u16string name = names[i];
            if (!name.empty() && name[0] == u'*') {
                name.erase(0, 1);
                entries[i].marked = kEntryMarked;
                ++state.marked_count;
            }
            copy_text(entries[i].name, name);
        }
        copy_text(state.folder, folder);
        state.entries = entries.empty() ? nullptr : entries.data();
        state.count = static_cast<int32_t>(entries.size());
    }

    static void copy_text(char16_t* out, const std::u16string& text) {
        const size_t n = text.size() < kViewPathChars - 1 ? text.size() : kViewPathChars - 1;
        std::memcpy(out, text.data(), n * sizeof(char16_t));
        out[n] = 0;
    }
};

// A name that makes "C:\p\" + name exactly `length` characters long.
inline std::u16string name_for_path_length(size_t length) {
    return std::u16string(length - 5, u'n');
}
