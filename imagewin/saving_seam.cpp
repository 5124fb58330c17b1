#include "imagewin/saving_seam.h"

// Nothing can be saved yet: every "save first" stops where a cancelled dialog would.
bool save_edit_image_as() {
    return false;
}

void end_save_preview() {}
