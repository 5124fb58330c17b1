#include "shell/core/shell_rules.h"

int os_class_for_version(uint32_t major, uint32_t minor) {
    if (major == 5 && minor == 1) return 1;
    if (major == 6) return 2;
    if (major >= 7) return 3;
    return 0;
}

WindowPlace fit_window_to_work_area(const WindowPlace& window, const ScreenRect& work) {
    const int64_t work_w = static_cast<int64_t>(work.right) - work.left;
    const int64_t work_h = static_cast<int64_t>(work.bottom) - work.top;
    const int64_t right = static_cast<int64_t>(window.left) + window.width;
    const int64_t bottom = static_cast<int64_t>(window.top) + window.height;
    if (window.width > 0 && window.height > 0 && window.left >= work.left && window.top >= work.top &&
        right <= work.right && bottom <= work.bottom)
        return window;
    WindowPlace out = window;
    int64_t w = window.width < work_w ? window.width : work_w;
    int64_t h = window.height < work_h ? window.height : work_h;
    // A stored size of zero or less is no size at all; the work area stands in for it.
    if (w <= 0) w = work_w;
    if (h <= 0) h = work_h;
    int64_t left = window.left;
    int64_t top = window.top;
    if (left > work.right - w) left = work.right - w;
    if (left < work.left) left = work.left;
    if (top > work.bottom - h) top = work.bottom - h;
    if (top < work.top) top = work.top;
    out.left = static_cast<int32_t>(left);
    out.top = static_cast<int32_t>(top);
    out.width = static_cast<int32_t>(w);
    out.height = static_cast<int32_t>(h);
    return out;
}

PaneLayout compute_view_layout(int32_t client_width, int32_t client_height, int32_t views_left,
                               int32_t layout) {
    PaneLayout out;
    const int32_t w = client_width;
    const int32_t x = views_left;
    for (PaneRect& v : out.view) v.height = client_height;
    if (layout == 0) {
        const int32_t half = (w - x) / 2;
        out.view[0] = PaneRect{x, 0, half - 1, client_height, true};
        out.view[1] = PaneRect{w - half, 0, half - 1, client_height, true};
    } else {
        const int shown = layout == 2 ? 1 : 0;
        out.view[shown] = PaneRect{x, 0, w - x, client_height, true};
        out.view[1 - shown] = PaneRect{x, 0, w - x, client_height, false};
    }
    return out;
}

void insert_thousands_separators(std::u16string& digits) {
    const size_t n = digits.size();
    if (n < 4) return;
    std::u16string out;
    const size_t head = n % 3;
    out.append(digits, 0, head);
    for (size_t i = head; i < n; i += 3) {
        if (!out.empty()) out.push_back(u',');
        out.append(digits, i, 3);
    }
    if (out.size() > 255) out.resize(255);
    digits = out;
}

std::u16string main_title_text(int active_view, const std::u16string& folder) {
    std::u16string title = active_view == 1 ? u"-2- " : u"-1- ";
    title += folder.empty() ? u"Pexaron" : folder;
    return title;
}
