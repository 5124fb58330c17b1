#include "imagewin/save_window_seam.h"

#include <string>

#include "imagewin/edit_state.h"
#include "imagewin/edit_tools_seam.h"
#include "view/core/view_titles.h"

void update_image_window_title() {
    const EditState& s = g_edit_state;
    if (!s.image_window) return;
    ImageInfoFields info;
    info.file_name = s.image.file_name;
    info.modified = history_unsaved(s.history);
    info.source_format = s.image.source_format;
    info.flag_interlaced = s.image.flag_interlaced != 0;
    info.flag_alpha_or_transparent = s.image.flag_alpha_or_transparent != 0;
    info.flag_metadata = s.image.flag_metadata;
    info.flag_comment = s.image.flag_comment;
    info.width = s.image.width;
    info.height = s.image.height;
    info.source_bits = s.image.source_bits;
    info.file_size = s.image.file_size;
    const std::u16string text = build_image_info_text(info);
    const std::u16string title =
        s.window_kind == 1 ? edit_window_title(text, open_edit_tool_kind() != 0, s.save_preview_shown,
                                               static_cast<int32_t>(s.save_preview_file_size))
                           : single_view_title(text, s.view.zoom);
    SetWindowTextW(s.image_window, reinterpret_cast<const wchar_t*>(title.c_str()));
}

void refresh_image_folder_list() {}

void update_format_list() {}

void update_bit_depth_list() {}

void update_save_bar() {}

void repaint_edited_pane() {
    if (g_edit_state.image_window) InvalidateRect(g_edit_state.image_window, nullptr, FALSE);
}
