// Stands in for the edit window until it is built: what the shell reaches of it.
#pragma once

#include "shell/entry_points.h"

// Fills the image-window entries of the shell's table.
void fill_image_window_entry_points(ShellEntryPoints* table);
