// What saving uses of the edit window's save bar and panes.
#pragma once

// The save bar's buttons and the two combo boxes after a format or option change.
void update_format_list();
void update_bit_depth_list();
void update_save_bar();
// Repaints the edit window's edited-image pane.
void repaint_edited_pane();
