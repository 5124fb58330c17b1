// The view helpers of the image windows over EditState: the info text and the title.
#pragma once

#include <string>

// The info text of the current image ("name*  ( ... )").
std::u16string current_image_info_text();
// The image window's title from the info text and the zoom or the save preview's size.
void update_image_window_title();
