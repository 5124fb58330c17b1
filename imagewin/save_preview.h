// The edit window's save preview: the current image as a save with the current settings would
// write it, decoded back from that file.
#pragma once

// Nothing when the preview on show is current; otherwise writes the temporary file, decodes it
// into the preview's DC and shows its size in the title. False when nothing could be shown.
bool show_save_preview();
// Gives the preview's bitmap and temporary file up.
void discard_save_preview();
// Makes the decoded bitmap in the preview's DC the current image's size: a picture of another
// size (a trimmed or turned JPEG) is copied into a canvas of that size, at its right end.
bool fit_preview_to_image_size();
