#include "imagewin/saving_seam.h"

#include "imagewin/save_preview.h"

void end_save_preview() {
    discard_save_preview();
}
