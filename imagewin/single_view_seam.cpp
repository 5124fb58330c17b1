// Stands in until the saving code, the edit tools and the main menus are there: no file is
// turned, no histogram is shown, the tools submenu has plain items, bar buttons draw as the
// toolbar does.
#include "imagewin/single_view_seam.h"

#include "shell/shell_state.h"

bool lossless_rotate_current_file(int32_t) {
    return false;
}

void show_luminance_histogram_dialog() {}

void fill_tools_menu(HMENU popup) {
    if (!popup) return;
    UINT position = 0;
    for (int i = 0; i < kToolCount; ++i) {
        if (g_shell.main_settings.tool_path[i].empty()) continue;
        const std::u16string& name = g_shell.main_settings.tool_name[i];
        InsertMenuW(popup, position++, MF_BYPOSITION | MF_STRING, UINT_PTR(7311 + i),
                    reinterpret_cast<const wchar_t*>(name.c_str()));
    }
    if (position == 0) InsertMenuW(popup, 0, MF_BYPOSITION | MF_STRING | MF_GRAYED, 7310, L"<未登録>");
}

LRESULT draw_menubar_button(NMTBCUSTOMDRAW*) {
    return CDRF_DODEFAULT;
}
