// Lets tests make the image window refuse WM_CLOSE, as when its user cancels closing.
#pragma once

void set_image_window_refuses_close(bool refuse);
