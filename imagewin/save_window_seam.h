// Stands in for what saving uses of the image windows' title, file list and save bar until
// they are built.
#pragma once

// The frame's title from the info text, the zoom or the save preview's size.
void update_image_window_title();
// Rebuilds the file list from `folder`.
void refresh_image_folder_list();
// The save bar's buttons and the two combo boxes after a format or option change.
void update_format_list();
void update_bit_depth_list();
void update_save_bar();
// Repaints the edit window's edited-image pane.
void repaint_edited_pane();
