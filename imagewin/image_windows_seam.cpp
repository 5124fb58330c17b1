// Stands in for the brush tools until they are built: no brush outline is drawn.
#include "imagewin/edit_tool_host.h"
#include "imagewin/image_windows.h"

void draw_brush_outline() {}
