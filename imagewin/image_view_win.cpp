#include "imagewin/image_view_win.h"

#include <windows.h>

#include "imagewin/edit_state.h"
#include "imagewin/edit_tool_host.h"
#include "view/core/view_titles.h"

std::u16string current_image_info_text() {
    const EditState& s = g_edit_state;
    ImageInfoFields info;
    info.file_name = s.image.file_name;
    info.modified = s.window_kind == 1 && history_unsaved(s.history);
    info.source_format = s.image.source_format;
    info.flag_interlaced = s.image.flag_interlaced != 0;
    info.flag_alpha_or_transparent = s.image.flag_alpha_or_transparent != 0;
    info.flag_metadata = s.image.flag_metadata;
    info.flag_comment = s.image.flag_comment;
    info.width = s.image.width;
    info.height = s.image.height;
    info.source_bits = s.image.source_bits;
    info.file_size = s.image.file_size;
    return build_image_info_text(info);
}

void update_image_window_title() {
    const EditState& s = g_edit_state;
    if (!s.image_window) return;
    const std::u16string info = current_image_info_text();
    const std::u16string title =
        s.window_kind == 1 ? edit_window_title(info, open_edit_tool_kind() != 0, s.save_preview_shown,
                                               int32_t(s.save_preview_file_size))
                           : single_view_title(info, s.view.zoom);
    SetWindowTextW(s.image_window, reinterpret_cast<const wchar_t*>(title.c_str()));
}
