// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "imagewin/image_window_keys.h"

#include <string>

#include "shell/settings_win.h"
#include "shell/shell_state.h"

namespace {

static_assert(sizeof(void*) != 4 || sizeof(TOOLINFOW) == 48, "the tooltip record the bars were made for");

CommandLabels g_labels;

constexpr int kMaxBars = 4;
struct OpenBars {
    HWND tooltip = nullptr;
    ImageBarTips bars[kMaxBars];
    int count = 0;
};
OpenBars g_open_bars;

}  // namespace

CommandLabels& image_command_labels() {
    return g_labels;
}

void refresh_image_command_labels() {
    KeyEntry live[kImageAcceleratorCount];
    if (copy_accelerators(g_shell.view_accelerators.get(), live, kImageAcceleratorCount) >= kViewKeyCount) {
        update_command_labels(live, &g_labels);
    } else if (g_shell.view_keys.count >= kViewKeyCount) {
        update_command_labels(g_shell.view_keys.entries, &g_labels);
    } else {
        // Before any key table is loaded the rows still name their commands, so that a menu
        // built now points at the rows a later load fills.
        KeyEntry defaults[kViewKeyCount];
        fill_default_view_keys(defaults);
        update_command_labels(defaults, &g_labels);
    }
}

void update_bar_tooltips(HWND tooltip, const ImageBarTips& bar, UINT message) {
    if (!tooltip || !bar.bar) return;
    for (int i = 0; i < bar.count; ++i) {
        const uint16_t cmd = bar.commands[i];
        RECT rect = {};
        if (!SendMessageW(bar.bar, TB_GETRECT, cmd, reinterpret_cast<LPARAM>(&rect))) continue;
        std::u16string text;
        if (const char16_t* fixed = save_option_tooltip(cmd)) {
            text = fixed;
        } else if (const CommandLabel* label = find_command_label(g_labels, cmd)) {
            text = command_tooltip(*label);
        }
        TOOLINFOW info = {};
        info.cbSize = sizeof(info);
        info.uFlags = TTF_SUBCLASS;
        info.hwnd = bar.bar;
        info.uId = cmd;
        info.rect = rect;
        info.lpszText = const_cast<wchar_t*>(reinterpret_cast<const wchar_t*>(text.c_str()));
        SendMessageW(tooltip, message, 0, reinterpret_cast<LPARAM>(&info));
    }
}

void set_image_window_bars(HWND tooltip, const ImageBarTips* bars, int count) {
    OpenBars open;
    open.tooltip = tooltip;
    for (int i = 0; i < count && i < kMaxBars; ++i) open.bars[open.count++] = bars[i];
    g_open_bars = open;
}

bool rebuild_image_window_accelerators(const KeyEntry* view_entries, const KeyEntry* main_entries) {
    HACCEL fresh = create_view_accelerators(view_entries, main_entries);
    if (!fresh) return false;
    // The image window's thread translates through this table while we replace it.
    AcceleratorHandle old(g_shell.view_accelerators.exchange(fresh));
    old.reset();
    for (int i = 0; i < kViewKeyCount; ++i) g_shell.view_keys.entries[i] = view_entries[i];
    g_shell.view_keys.count = kViewKeyCount;
    update_command_labels(view_entries, &g_labels);
    const OpenBars open = g_open_bars;
    for (int i = 0; i < open.count; ++i) update_bar_tooltips(open.tooltip, open.bars[i], TTM_SETTOOLINFOW);
    return true;
}
