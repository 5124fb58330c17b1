// What the image windows' commands and file list use of saving (imagewin/save_*.h).
#pragma once

// The save dialog, then the save; true only when the image was saved.
bool save_edit_image_as();
// Gives up a save preview shown in the edit window's work DC.
void end_save_preview();
