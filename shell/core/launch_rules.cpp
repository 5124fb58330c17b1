#include "shell/core/launch_rules.h"

namespace {

bool has_entries(const ViewState& view) {
    return view.entries && view.count > 0;
}

bool has_marks(const ViewState& view) {
    return has_entries(view) && view.marked_count > 0;
}

std::u16string bounded_string(const char16_t* s, size_t cap) {
    size_t n = 0;
    while (n < cap && s[n]) ++n;
    return std::u16string(s, n);
}

std::optional<std::u16string> entry_path(const ViewState& view, int32_t index) {
    return join_entry_path(view.folder, view.entries[index].name);
}

}  // namespace

std::optional<std::u16string> join_entry_path(const char16_t* folder, const char16_t* name) {
    // The record's buffers may lack a terminator; a missing one reads as a path too long.
    const std::u16string f = bounded_string(folder, kViewPathChars);
    const std::u16string n = bounded_string(name, kViewPathChars);
    if (n.empty() || f.size() >= kViewPathChars || n.size() >= kViewPathChars) return std::nullopt;
    std::u16string path = f;
    if (!path.empty() && path.back() != u'\\') path.push_back(u'\\');
    path += n;
    if (path.size() > kMaxPathChars) return std::nullopt;
    return path;
}

std::optional<std::u16string> quote_path_with_spaces(const std::u16string& path) {
    if (path.find(u' ') == std::u16string::npos) return path;
    if (path.size() + 2 > kMaxPathChars) return std::nullopt;
    return u'"' + path + u'"';
}

std::optional<std::u16string> build_tool_parameters(const std::u16string& program, const std::u16string& text,
                                                    bool executable, const ViewState& view) {
    std::u16string out;
    if (!executable) return out;
    out = text;
    if (!out.empty()) out.push_back(u' ');
    if (has_marks(view)) {
        bool first = true;
        for (int32_t i = 0; i < view.count; ++i) {
            if (view.entries[i].marked != kEntryMarked) continue;
            const std::optional<std::u16string> path = entry_path(view, i);
            if (!path) return std::nullopt;
            if (!first) out.push_back(u' ');
            first = false;
            out += u'"' + *path + u'"';
            if (program.size() + 3 + out.size() > kMaxCommandLineChars) return std::nullopt;
        }
    }
    if (program.size() + 3 + out.size() > kMaxCommandLineChars) return std::nullopt;
    return out;
}

std::vector<ViewerLaunch> plan_viewer_launches(const ViewState* const views[2], int v, int32_t limit) {
    std::vector<ViewerLaunch> out;
    const size_t cap = limit < 1 ? 1 : static_cast<size_t>(limit);
    const int w = 1 - v;
    auto add = [&](int view, int32_t index) {
        if (out.size() >= cap) return;
        const std::optional<std::u16string> path = entry_path(*views[view], index);
        if (!path) return;
        out.push_back(ViewerLaunch{view, index, u'"' + *path + u'"'});
    };
    if (has_marks(*views[v]) || has_marks(*views[w])) {
        for (const int view : {v, w}) {
            if (!has_marks(*views[view])) continue;
            for (int32_t i = 0; i < views[view]->count; ++i)
                if (views[view]->entries[i].marked == kEntryMarked) add(view, i);
        }
    } else if (has_entries(*views[v])) {
        add(v, 0);
    } else if (has_entries(*views[w])) {
        add(w, 0);
    }
    return out;
}

MouseAction decode_mouse_action(int32_t code) {
    switch (code) {
        case 0: return {MouseActionKind::single_view_window, 0};
        case 1: return {MouseActionKind::single_view_full_screen, 0};
        case 2: return {MouseActionKind::edit_window, 0};
        case 3: return {MouseActionKind::rename, 0};
        case 4: return {MouseActionKind::associated_program, 0};
        default: break;
    }
    if (code >= 5 && code <= 12) return {MouseActionKind::external_tool, code - 5};
    return {MouseActionKind::viewer, 0};
}

int32_t image_window_entry(const ViewState& view, int32_t requested) {
    if (!has_entries(view)) return -1;
    int32_t index = requested;
    if (index < 0) {
        index = 0;
        if (view.marked_count > 0) {
            index = -1;
            for (int32_t i = 0; i < view.count && index < 0; ++i)
                if (view.entries[i].marked == kEntryMarked) index = i;
        }
    }
    if (index < 0 || index >= view.count || view.entries[index].name[0] == 0) return -1;
    return index;
}
